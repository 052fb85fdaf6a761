#include "app/logic/transfer_undo.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "jet/error.h"
#include "jet/file.h"
#include "jet/path_text.h"
#include "jet/undo_image.h"
#include "report/report_error.h"
#include "settings/default_ini.h"
#include "settings/ini_funcs.h"

#ifndef VELTRA_VERSION_TEXT
#define VELTRA_VERSION_TEXT "unknown"
#endif

namespace app {

namespace fs = std::filesystem;

namespace {

constexpr const char* kKindNames[] = {"employee [Employee Master]", "calc [Data Calc]",
                                      "pm [Data Master Detail]", "pd [Data Variant Detail]"};

std::string readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + jet::utf8FromPath(path));
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Writes the file whole or not at all: a crash leaves either the old name or the new file.
void writeWhole(const fs::path& path, const std::function<void(std::ostream&)>& fill) {
    fs::path temporary = path;
    temporary += ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        try {
            fill(out);
        } catch (...) {
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw;
        }
        out.flush();
        if (!out) {
            out.close();
            std::error_code ignored;
            fs::remove(temporary, ignored);
            throw std::runtime_error("cannot write " + jet::utf8FromPath(temporary));
        }
    }
    fs::rename(temporary, path);
}

void writeWhole(const fs::path& path, const char* data, size_t size) {
    writeWhole(path, [&](std::ostream& out) { out.write(data, std::streamsize(size)); });
}

fs::path recordPath(const fs::path& folder, long number) {
    return folder / (std::to_string(number) + ".record");
}

fs::path imagePath(const fs::path& folder, long number) {
    return folder / (std::to_string(number) + ".image");
}

// Numbers of the transfers kept in the folder, ascending.
std::vector<long> keptNumbers(const fs::path& folder) {
    std::vector<long> numbers;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path name = it->path().filename();
        if (name.extension() != ".record") continue;
        const std::string stem = jet::utf8FromPath(name.stem());
        if (stem.empty() || stem.find_first_not_of("0123456789") != std::string::npos) continue;
        numbers.push_back(std::stol(stem));
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string userName() {
    for (const char* name : {"USER", "USERNAME", "LOGNAME"})
        if (!environment(name).empty()) return environment(name);
    return "(unknown)";
}

std::string recordText(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string text;
    for (const auto& [key, value] : fields) text += key + ": " + value + "\n";
    return text;
}

KeptTransfer readKept(const fs::path& folder, long number) {
    KeptTransfer kept;
    kept.number = number;
    std::istringstream lines(readWhole(recordPath(folder, number)));
    for (std::string line; std::getline(lines, line);) {
        const size_t colon = line.find(": ");
        if (colon != std::string::npos)
            kept.fields.emplace_back(line.substr(0, colon), line.substr(colon + 2));
    }
    if (fs::exists(imagePath(folder, number))) kept.image = imagePath(folder, number);
    return kept;
}

std::vector<uint8_t> readImage(const fs::path& path) {
    const std::string bytes = readWhole(path);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace

fs::path undoFolderFor(const fs::path& database) {
    fs::path folder = database;
    folder += ".undo";
    return folder;
}

int undoTransfersToKeep(const std::string& programFolder) {
    const std::string text =
        settings::ReadINI(settings::settingsFilePath(programFolder), "Settings", "UndoTransfers",
                          std::to_string(kDefaultUndoTransfers));
    if (text.empty() || text.size() > 3 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        return kDefaultUndoTransfers;
    const int keep = std::stoi(text);
    return keep >= 1 && keep <= 100 ? keep : kDefaultUndoTransfers;
}

std::string KeptTransfer::field(const std::string& key) const {
    for (const auto& [name, value] : fields)
        if (name == key) return value;
    return {};
}

std::string keepTransferUndo(const fs::path& database, const form::TransferResult& result,
                             const std::string& textFile, const UndoImageSource& image, int keep) {
    const fs::path folder = undoFolderFor(database);
    try {
        fs::create_directories(folder);
        const std::vector<long> numbers = keptNumbers(folder);
        const long number = numbers.empty() ? 1 : numbers.back() + 1;
        // The image first: a record without its image says the data is missing, never the
        // reverse.
        uint64_t imageBytes = 0;
        writeWhole(imagePath(folder, number), [&](std::ostream& out) {
            image([&](const uint8_t* data, size_t size) {
                out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
                imageBytes += size;
            });
        });
        std::string textDigest = "(unreadable)";
        try {
            textDigest = jet::sha256HexOfFile(jet::pathFromUtf8(textFile));
        } catch (const std::exception&) {
        }
        const form::TransferCounts& c = result.counts;
        const std::vector<std::pair<std::string, std::string>> fields = {
            {"when", report::localDateTime()},
            {"kind", kKindNames[std::clamp(result.kind, 0, 3)]},
            {"text file", textFile},
            {"text sha256", textDigest},
            {"outcome", result.outcome == form::TransferOutcome::Completed
                            ? "completed"
                            : "stopped at line " + std::to_string(result.failedLine)},
            {"lines read", std::to_string(result.linesRead)},
            {"lines transferred", std::to_string(result.linesTransferred)},
            {"counts", "employees created " + std::to_string(c.employeesCreated) + ", updated " +
                           std::to_string(c.employeesUpdated) + "; rows deleted " +
                           std::to_string(c.rowsDeleted) + ", written " +
                           std::to_string(c.rowsWritten) + "; amounts written " +
                           std::to_string(c.amountsWritten) + ", dropped " +
                           std::to_string(c.amountsDropped)},
            {"program", VELTRA_VERSION_TEXT},
            {"user", userName()},
            {"machine", jet::computerName()},
            {"undo data bytes", std::to_string(imageBytes)},
        };
        const std::string record = recordText(fields);
        writeWhole(recordPath(folder, number), record.data(), record.size());
        std::vector<long> all = keptNumbers(folder);
        for (size_t i = 0; i + size_t(keep) < all.size(); ++i) {
            std::error_code ignored;
            fs::remove(imagePath(folder, all[i]), ignored);
            fs::remove(recordPath(folder, all[i]), ignored);
        }
        return {};
    } catch (const std::exception& e) {
        report::appendToErrorLog(std::string("the undo data of a transfer was not kept: ") +
                                 e.what());
        return "เก็บข้อมูลสำหรับยกเลิกการโอนครั้งนี้ไม่ได้ (" + jet::utf8FromPath(folder) +
               "): การโอนนี้ยกเลิกภายหลังไม่ได้";
    }
}

std::vector<KeptTransfer> transferHistory(const fs::path& database) {
    const fs::path folder = undoFolderFor(database);
    std::vector<KeptTransfer> history;
    const std::vector<long> numbers = keptNumbers(folder);
    for (auto it = numbers.rbegin(); it != numbers.rend(); ++it) {
        try {
            history.push_back(readKept(folder, *it));
        } catch (const std::exception&) {
            // A record that vanished while listing is simply not kept any more.
        }
    }
    return history;
}

KeptTransfer lastUndoableTransfer(const fs::path& database) {
    for (KeptTransfer& kept : transferHistory(database))
        if (!kept.undone()) return kept;
    return {};
}

std::string whyNotUndoable(const fs::path& database, const KeptTransfer& transfer) {
    if (transfer.number == 0) return "no transfer is kept for undoing";
    if (transfer.undone()) return "it was undone on " + transfer.field("undone");
    if (transfer.image.empty()) return "its undo data is missing from the folder";
    try {
        const std::string difference = jet::undoDifference(database, readImage(transfer.image));
        if (difference.empty()) return {};
        return "the database is no longer as this transfer left it: " + difference;
    } catch (const std::exception& e) {
        return e.what();
    }
}

std::string describeTransfer(const KeptTransfer& transfer) {
    return "#" + std::to_string(transfer.number) + " " + transfer.field("kind") + " of " +
           transfer.field("text file") + " on " + transfer.field("when") + " (" +
           transfer.field("lines transferred") + " lines transferred; " + transfer.field("counts") +
           ")";
}

UndoReport undoLastTransfer(const fs::path& database) {
    UndoReport report;
    KeptTransfer last = lastUndoableTransfer(database);
    if (last.number == 0) {
        report.message = "nothing to undo: no transfer of this database is kept for undoing";
        return report;
    }
    const std::string name = describeTransfer(last);
    if (last.image.empty()) {
        report.message = "cannot undo transfer " + name + ": its undo data is missing";
        return report;
    }
    try {
        const jet::UndoResult result = jet::applyUndo(database, readImage(last.image));
        if (result.outcome == jet::UndoResult::Outcome::Refused) {
            report.message = "cannot undo transfer " + name +
                             ": the database is no longer as this transfer left it (" +
                             result.difference + "). Nothing was changed.";
            return report;
        }
        last.fields.emplace_back("undone", report::localDateTime());
        const std::string record = recordText(last.fields);
        const fs::path folder = undoFolderFor(database);
        writeWhole(recordPath(folder, last.number), record.data(), record.size());
        std::error_code ignored;
        fs::remove(last.image, ignored);
        report.undone = true;
        report.message = (result.outcome == jet::UndoResult::Outcome::AlreadyUndone
                              ? "transfer " + name + " had already been undone"
                              : "undid transfer " + name);
    } catch (const std::exception& e) {
        report.message = "cannot undo transfer " + name + ": " + e.what();
    }
    return report;
}

}  // namespace app
