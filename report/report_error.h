// ReportError and the error report component.
//
// Every error handler of the program reports through ReportError, which hands the current error
// (number, description, source) with an owner name and a context text to a new instance of the
// error report component. The component is chosen by class identifier from a registry, so the
// window, the command-line program and the tests each plug in their own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "report/run_time_error.h"

namespace report {

// The component's interface: five properties, set in this order, then one report operation.
class ErrorReportComponent {
  public:
    virtual ~ErrorReportComponent() = default;
    virtual void setErrorNumber(int32_t number) = 0;
    virtual void setErrorDescription(const std::string& description) = 0;
    virtual void setErrorSource(const std::string& source) = 0;
    virtual void setOwnerName(const std::string& owner) = 0;
    virtual void setContext(const std::string& context) = 0;
    virtual void report() = 0;
};

using ComponentFactory = std::function<std::unique_ptr<ErrorReportComponent>()>;

// Class identifier ReportError creates the component by.
inline constexpr const char* kErrorReportClassId = "VeltraErrorReport.Reporter";

// Registers (or replaces) the factory for a class identifier.
void registerComponent(const std::string& classId, ComponentFactory factory);
// A new instance; throws RunTimeError (429, "ActiveX component can't create object") if none.
std::unique_ptr<ErrorReportComponent> createComponent(const std::string& classId);

// Folder of the error log (errors.log, appended for every report with date and time). Empty: no
// log. The programs set it to the folder of the settings file.
void setErrorLogFolder(const std::filesystem::path& folder);
// The local date and time as the logs write it: "2026-12-06 02:58:26".
std::string localDateTime();
// Appends one line of text to the error log (used also for failures nobody else reports, such as
// a settings file that could not be written).
void appendToErrorLog(const std::string& text);

// The "current run-time error" as the exception being handled sees it: a RunTimeError as it
// is; any other exception gets a number and its message. REQUIRES: called inside a catch block.
RunTimeError currentError();

// REQUIRES: called inside a catch block. Reports the error being handled.
void ReportError(const std::string& ownerName, const std::string& context);
// Reports the given error.
void ReportError(const RunTimeError& error, const std::string& ownerName,
                 const std::string& context);

// While one lives, ReportError reports nothing: a check of a file meets every failing line as
// a result, not as an error for a person or for the log.
class QuietReports {
  public:
    QuietReports();
    ~QuietReports();
    QuietReports(const QuietReports&) = delete;
    QuietReports& operator=(const QuietReports&) = delete;
};

}  // namespace report
