#include "report/report_error.h"

#include <atomic>
#include <ctime>
#include <exception>
#include <fstream>
#include <map>
#include <mutex>
#include <new>

#include "jet/local_time.h"

namespace report {

namespace {

// Source given to errors that did not come as a RunTimeError, as the language names its own
// project for the errors it raises.
constexpr const char* kProgramSource = "VeltraImport";

struct Registry {
    std::mutex mutex;
    std::map<std::string, ComponentFactory> factories;
};

Registry& registry() {
    static Registry instance;
    return instance;
}

struct ErrorLog {
    std::mutex mutex;
    std::filesystem::path folder;
};

ErrorLog& errorLog() {
    static ErrorLog instance;
    return instance;
}

// Context texts carry CR LF between their pieces; the log keeps one entry per line.
std::string oneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += " / ";
        } else {
            out += c;
        }
    }
    return out;
}

void logReport(const RunTimeError& error, const std::string& ownerName,
               const std::string& context) {
    appendToErrorLog(ownerName + ": error " + std::to_string(error.number()) + " (" +
                     oneLine(error.description()) + ") from " + oneLine(error.source()) +
                     "; context: " + oneLine(context));
}

}  // namespace

std::string localDateTime() {
    const std::time_t now = std::time(nullptr);
    const std::tm parts = jet::localTime(now);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

void registerComponent(const std::string& classId, ComponentFactory factory) {
    auto& reg = registry();
    std::lock_guard lock(reg.mutex);
    if (factory) {
        reg.factories[classId] = std::move(factory);
    } else {
        reg.factories.erase(classId);
    }
}

std::unique_ptr<ErrorReportComponent> createComponent(const std::string& classId) {
    ComponentFactory factory;
    {
        auto& reg = registry();
        std::lock_guard lock(reg.mutex);
        const auto found = reg.factories.find(classId);
        if (found != reg.factories.end()) factory = found->second;
    }
    std::unique_ptr<ErrorReportComponent> component = factory ? factory() : nullptr;
    if (!component) {
        throw RunTimeError(429, "ActiveX component can't create object", kProgramSource);
    }
    return component;
}

void setErrorLogFolder(const std::filesystem::path& folder) {
    auto& log = errorLog();
    std::lock_guard lock(log.mutex);
    log.folder = folder;
}

void appendToErrorLog(const std::string& text) {
    auto& log = errorLog();
    std::lock_guard lock(log.mutex);
    if (log.folder.empty()) return;
    // The log is a courtesy to support: failing to write it must never disturb the program.
    std::ofstream out(log.folder / "errors.log", std::ios::binary | std::ios::app);
    if (!out) return;
    out << localDateTime() << "  " << oneLine(text) << '\n';
}

RunTimeError currentError() {
    try {
        throw;
    } catch (const RunTimeError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return RunTimeError(7, "Out of memory", kProgramSource);
    } catch (const std::exception& other) {
        return RunTimeError(440, other.what(), kProgramSource);
    } catch (...) {
        return RunTimeError(51, "Internal error", kProgramSource);
    }
}

void ReportError(const std::string& ownerName, const std::string& context) {
    ReportError(currentError(), ownerName, context);
}

namespace {
std::atomic<int> quietReports{0};
}  // namespace

QuietReports::QuietReports() {
    ++quietReports;
}

QuietReports::~QuietReports() {
    --quietReports;
}

void ReportError(const RunTimeError& error, const std::string& ownerName,
                 const std::string& context) {
    if (quietReports > 0) return;
    // Logged first, so that the entry exists even when no component can be created.
    logReport(error, ownerName, context);
    std::unique_ptr<ErrorReportComponent> component = createComponent(kErrorReportClassId);
    component->setErrorNumber(error.number());
    component->setErrorDescription(error.description());
    component->setErrorSource(error.source());
    component->setOwnerName(ownerName);
    component->setContext(context);
    component->report();
    component.reset();
}

}  // namespace report
