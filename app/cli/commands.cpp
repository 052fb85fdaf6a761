#include "commands.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>

#include "app/logic/database_copy.h"
#include "app/logic/recovery.h"
#include "app/logic/transfer_command.h"
#include "app/logic/transfer_log.h"
#include "app/logic/transfer_undo.h"
#include "console_window.h"
#include "data_sources/data_sources.h"
#include "form/form.h"
#include "jet/database.h"
#include "jet/file_system.h"
#include "jet/local_time.h"
#include "jet/path_text.h"
#include "jet/program.h"
#include "options.h"
#include "report/console_error_report.h"
#include "report/report_error.h"
#include "sample_company.h"
#include "settings/default_ini.h"
#include "settings/ini_funcs.h"

namespace cli {

using jet::pathFromUtf8;
using jet::utf8FromPath;

const char* const kTransferHelp =
    "Usage: veltra-transfer transfer --kind KIND --text FILE --db FILE --separator SEP\n"
    "                                [--year Y] [--period P] [--bank-code C]\n"
    "                                [--company NAME] [--program-folder DIR] [--dry-run]\n"
    "                                [--check]\n"
    "\n"
    "Transfers the lines of a text file (Windows-874) into the payroll database, exactly as\n"
    "the window's transfer buttons do.\n"
    "\n"
    "  --kind KIND          employee ([Employee Master]), calc ([Data Calc]),\n"
    "                       pm ([Data Master Detail]) or pd ([Data Variant Detail])\n"
    "  --text FILE          the input text file\n"
    "  --db FILE            the payroll database, Melvar.mdb; ImportData.mdb (the layouts)\n"
    "                       is taken from the same folder\n"
    "  --separator SEP      the separator text between columns, such as , ; : |\n"
    "  --year Y, --period P year and period of calc rows (default 2005 and 4)\n"
    "  --bank-code C        bank code for employees with a bank account (default none)\n"
    "  --company NAME       take text file, database and separator from the section NAME of\n"
    "                       Import.INI, the window's settings; options given here win\n"
    "  --program-folder DIR folder of Import.INI and errors.log (default: the program's)\n"
    "  --dry-run            run the whole transfer on a copy of the databases and report\n"
    "                       what it would do; the database is not changed\n"
    "  --check              run every line on a copy of the databases, going on past failing\n"
    "                       lines, and list every line that would fail with its column and\n"
    "                       reason; the database is not changed\n"
    "\n"
    "Exit status: 0 complete, 1 a line failed (the transfer stopped there, earlier lines\n"
    "kept; with --check: some line would fail), 2 usage or file errors (nothing transferred).\n";

const char* const kUndoHelp =
    "Usage: veltra-transfer undo --db FILE\n"
    "\n"
    "Undoes the last transfer into the database that has not been undone, from the undo data\n"
    "kept in the folder FILE.undo beside it. The undo is refused, and nothing changes, unless\n"
    "the database is exactly as that transfer left it. Run it again to undo the transfer\n"
    "before.\n"
    "\n"
    "Exit status: 0 undone, 1 refused or nothing to undo, 2 usage or file errors.\n";

const char* const kHistoryHelp =
    "Usage: veltra-transfer history --db FILE\n"
    "\n"
    "Lists the transfers into the database kept for undoing, newest first, with their records\n"
    "and whether each can still be undone.\n";

const char* const kSampleHelp =
    "Usage: veltra-transfer sample DIR [--employees N] [--seed S] [--full] [--write-settings]\n"
    "\n"
    "Writes a sample company into DIR: Melvar.mdb (employees, calculation data, fixed and\n"
    "variable income details), ImportData.mdb (the four layouts) and one input file per\n"
    "transfer kind (EmployeeMaster.txt, DataCalc.txt, DataMasterDetail.txt,\n"
    "DataVariantDetail.txt; Windows-874, CR LF, separator \",\"). The same seed and size give\n"
    "the same company.\n"
    "\n"
    "  --employees N      number of employees, 1 to 32767 (default 200)\n"
    "  --seed S           seed of the generator (default 1)\n"
    "  --full             a full load: every employee on file with ten calculation rows and\n"
    "                     every detail row, every line of the files holding every amount\n"
    "  --write-settings   point company \"Sample\" of Import.INI in the program's folder (or\n"
    "                     --program-folder DIR) at the new company, so the window opens on it\n";

namespace {

std::optional<int16_t> kindIndex(const std::string& kind) {
    static const std::map<std::string, int16_t> kinds = {
        {"employee", 0}, {"calc", 1}, {"pm", 2}, {"pd", 3}};
    const auto found = kinds.find(kind);
    if (found == kinds.end()) return std::nullopt;
    return found->second;
}

jet::DateTime localNow() {
    const std::time_t now = std::time(nullptr);
    const std::tm t = jet::localTime(now);
    // Days since 1899-12-30 of the civil date, then the time of day as a fraction.
    const int64_t days = jet::daysFromCivil(t.tm_year + 1900, t.tm_mon + 1, t.tm_mday) -
                         jet::daysFromCivil(1899, 12, 30);
    const double seconds = t.tm_hour * 3600.0 + t.tm_min * 60.0 + t.tm_sec;
    return jet::DateTime{static_cast<double>(days) + seconds / 86400.0};
}

// The summary of a run, from what the transfer counted as it went.
void printSummary(const form::TransferResult& result, bool dryRun) {
    std::cout << (result.check ? "Summary of a check (the database was not changed):\n"
                  : dryRun     ? "Summary of a dry run (the database was not changed):\n"
                               : "Summary:\n");
    std::cout << "  lines read:             " << result.linesRead << '\n';
    if (result.check) {
        std::cout << "  lines that pass:        " << result.linesTransferred << '\n';
        std::cout << "  lines that fail:        " << result.failures.size() << '\n';
    } else {
        std::cout << "  lines transferred:      " << result.linesTransferred << '\n';
    }
    const form::TransferCounts& counts = result.counts;
    if (result.kind == 0) {
        std::cout << "  employees created:      " << counts.employeesCreated << '\n';
        std::cout << "  employees updated:      " << counts.employeesUpdated << '\n';
    } else if (result.kind == 1) {
        std::cout << "  rows deleted:           " << counts.rowsDeleted << '\n';
        std::cout << "  rows written:           " << counts.rowsWritten << '\n';
    } else {
        std::cout << "  amounts written:        " << counts.amountsWritten << '\n';
        std::cout << "  amounts dropped:        " << counts.amountsDropped
                  << " (no row of that pay item)\n";
    }
    std::printf("  time taken:             %.1f s\n", result.seconds);
    std::fflush(stdout);
}

}  // namespace

namespace {

// What one transfer asks for, once its options and the company's settings are read.
struct TransferRequest {
    int16_t kind = 0;
    std::filesystem::path settingsFolder;
    std::string company;
    bool companyGiven = false;
    std::optional<std::string> text, db, separator;
    std::string year, period, bankCode;
    bool dryRun = false;
    bool check = false;
};

TransferRequest resolveTransferOptions(const ParsedOptions& options,
                                       const std::filesystem::path& folder) {
    if (!options.positional.empty()) {
        throw UsageError("unexpected word '" + options.positional.front() + "'");
    }
    const std::optional<std::string> kindText = options.value("--kind");
    if (!kindText) throw UsageError("option --kind is required (employee, calc, pm or pd)");
    const std::optional<int16_t> kind = kindIndex(*kindText);
    if (!kind) {
        throw UsageError("option --kind must be employee, calc, pm or pd, not '" + *kindText + "'");
    }
    TransferRequest request;
    request.kind = *kind;
    request.settingsFolder = options.value("--program-folder")
                                 ? pathFromUtf8(*options.value("--program-folder"))
                                 : folder;
    request.text = options.value("--text");
    request.db = options.value("--db");
    request.separator = options.value("--separator");
    request.company = options.value("--company").value_or(settings::kDefaultCompanyCode);
    request.companyGiven = options.value("--company").has_value();
    request.year = options.value("--year").value_or("2005");
    request.period = options.value("--period").value_or("4");
    request.bankCode = options.value("--bank-code").value_or("");
    request.dryRun = options.flag("--dry-run");
    request.check = options.flag("--check");
    return request;
}

// The company's section of the window's settings fills what the options leave out.
void applyCompanySettings(TransferRequest& request) {
    if (!request.companyGiven) return;
    // A missing or unreadable settings file is no error: every value is then its default.
    const std::string ini = settings::settingsFilePath(utf8FromPath(request.settingsFolder));
    const std::string& company = request.company;
    if (!request.text)
        request.text =
            settings::ReadINI(ini, company, "TextFilePath", settings::kDefaultTextFilePath);
    if (!request.db)
        request.db =
            settings::ReadINI(ini, company, "MelvarFilePath", settings::kDefaultMelvarFilePath);
    if (!request.separator)
        request.separator =
            settings::ReadINI(ini, company, "Delimiter", settings::kDefaultDelimiter);
}

void requireFilesAndSeparator(TransferRequest& request) {
    if (!request.text) throw UsageError("option --text is required (or --company)");
    if (!request.db) throw UsageError("option --db is required (or --company)");
    if (!request.separator) throw UsageError("option --separator is required (or --company)");
    // The window holds full paths, and the data folder is cut from the database path; a path
    // that names no file stays as typed, for the message that names it.
    for (std::optional<std::string>* path : {&request.db, &request.text}) {
        if (std::filesystem::exists(pathFromUtf8(**path)))
            **path =
                utf8FromPath(std::filesystem::absolute(pathFromUtf8(**path)).lexically_normal());
    }
}

// A dry run of an existing database works on a copy of it, removed when the copy goes.
// (A check makes its own copy.)
std::unique_ptr<app::DatabaseCopy> dryRunCopyFor(const TransferRequest& request) {
    if (!request.dryRun || !std::filesystem::is_regular_file(pathFromUtf8(*request.db)))
        return nullptr;
    return std::make_unique<app::DatabaseCopy>(pathFromUtf8(*request.db));
}

struct TransferRun {
    form::TransferResult result;
    ConsoleWindow::Outcome outcome{};
};

// Fills a console window as the user fills the real one and presses the kind's button.
TransferRun runInConsoleWindow(const TransferRequest& request, const std::string& dbPath) {
    const bool terminal = jet::program::outputIsConsole();
    form::Form* formPointer = nullptr;
    ConsoleWindow window(std::cout, terminal,
                         [&] { return formPointer ? formPointer->iLineCount : 0L; });
    form::Form form(window);
    formPointer = &form;
    form.now = localNow;
    form.globals.ProgramFolder = utf8FromPath(request.settingsFolder);
    form.globals.CurrentCompanyCode = request.company;
    form.keepTransferLog = !request.dryRun && !request.check;
    form.checkOnly = request.check;
    window.onFieldChanged = [&form](form::Field field) {
        if (field == form::Field::TextFile) data_sources::txtDir_Change(form, 0);
        if (field == form::Field::Database) data_sources::txtDir_Change(form, 1);
    };
    window.setFieldText(form::Field::CompanyCode, request.company);
    window.setFieldText(form::Field::TextFile, *request.text);
    window.setFieldText(form::Field::Database, dbPath);
    window.setFieldText(form::Field::Delimiter, *request.separator);
    window.setFieldText(form::Field::Year, request.year);
    window.setFieldText(form::Field::Period, request.period);
    window.setFieldText(form::Field::BankCode, request.bankCode);

    app::cmdTransfer_Click(form, request.kind);
    window.finishProgress();
    return TransferRun{form.result, window.outcome()};
}

// Prints what the run changed; returns the program's exit status.
int summarize(const TransferRequest& request, const TransferRun& run, int reports) {
    if (run.outcome == ConsoleWindow::Outcome::Refused) {
        std::cerr << "veltra-transfer: nothing was transferred: check --text, --db and "
                     "--separator (see the message above)\n";
        return 2;
    }
    const form::TransferResult& result = run.result;
    printSummary(result, request.dryRun);
    if (result.check && !result.failures.empty()) {
        std::cout << "Lines that would fail:\n";
        for (const form::LineFailure& failure : result.failures) {
            for (const std::string& line : app::lineFailureLines(failure))
                std::cout << "  " << line << '\n';
        }
    }
    const bool failed =
        result.outcome != form::TransferOutcome::Completed || !result.failures.empty();
    if (result.outcome != form::TransferOutcome::Completed) {
        std::cout << "  the transfer stopped at line " << result.failedLine
                  << (reports ? " (see the error report above)" : "") << '\n';
        // The line, its column and the reason, as the window's result panel tells them.
        for (const std::string& line : app::failureLines(result)) std::cout << "  " << line << '\n';
    }
    if (!result.undoNote.empty()) std::cerr << "veltra-transfer: " << result.undoNote << '\n';
    return failed ? 1 : 0;
}

}  // namespace

int runTransfer(const std::vector<std::string>& args, const std::filesystem::path& folder) {
    const ParsedOptions options =
        parseOptions(args,
                     {"--kind", "--text", "--db", "--separator", "--year", "--period",
                      "--bank-code", "--company", "--program-folder"},
                     {"--dry-run", "--check", "--help"});
    if (options.flag("--help")) {
        std::cout << kTransferHelp;
        return 0;
    }
    TransferRequest request = resolveTransferOptions(options, folder);
    applyCompanySettings(request);
    requireFilesAndSeparator(request);
    // Put right what an interrupted writer left before anything reads the databases (a dry run
    // copies the database as its last transfer left it).
    const app::RecoveryNotice recovered = app::recoverDatabases(pathFromUtf8(*request.db));
    if (!recovered.text.empty()) std::cerr << "veltra-transfer: " << recovered.text;
    if (recovered.setAside) return 2;
    const std::unique_ptr<app::DatabaseCopy> copy = dryRunCopyFor(request);
    const std::string dbPath = copy ? utf8FromPath(copy->database()) : *request.db;

    report::setErrorLogFolder(request.settingsFolder);
    int reports = 0;
    report::registerComponent(report::kErrorReportClassId, [&reports] {
        ++reports;
        return std::make_unique<report::ConsoleErrorReport>(std::cerr);
    });
    const TransferRun run = runInConsoleWindow(request, dbPath);
    report::registerComponent(report::kErrorReportClassId, nullptr);

    return summarize(request, run, reports);
}

int runSample(const std::vector<std::string>& args, const std::filesystem::path& folder) {
    const ParsedOptions options = parseOptions(args, {"--employees", "--seed", "--program-folder"},
                                               {"--write-settings", "--full", "--help"});
    if (options.flag("--help")) {
        std::cout << kSampleHelp;
        return 0;
    }
    if (options.positional.size() != 1) {
        throw UsageError(options.positional.empty()
                             ? "the sample needs a folder: sample DIR"
                             : "the sample takes one folder, not " +
                                   std::to_string(options.positional.size()));
    }
    SampleSize size;
    if (auto n = options.value("--employees")) {
        size.employees = static_cast<int>(parseNumber("--employees", *n, 1, kMaxSampleEmployees));
    }
    if (auto s = options.value("--seed")) {
        size.seed = static_cast<uint64_t>(parseNumber("--seed", *s, 0, 2147483647L));
    }
    size.full = options.flag("--full");
    const std::filesystem::path target =
        std::filesystem::absolute(pathFromUtf8(options.positional.front()));
    for (const char* name : {"Melvar.mdb", "ImportData.mdb"}) {
        if (std::filesystem::exists(target / name)) {
            throw std::runtime_error(utf8FromPath(target / name) +
                                     " exists already; choose an empty folder");
        }
    }
    const SampleCounts counts = writeSampleCompany(target, size);
    std::cout << "Sample company written to " << utf8FromPath(target) << ":\n"
              << "  Melvar.mdb: " << counts.employeesInDatabase << " employees, "
              << counts.dataCalcRows << " [Data Calc] rows, " << counts.masterDetailRows
              << " [Data Master Detail] rows, " << counts.variantDetailRows
              << " [Data Variant Detail] rows\n"
              << "  ImportData.mdb: the four layouts\n"
              << "  input files: " << kSampleEmployeeFile << ", " << kSampleDataCalcFile << ", "
              << kSamplePmFile << ", " << kSamplePdFile << " (separator \"" << kSampleSeparator
              << "\")\n";
    if (options.flag("--write-settings")) {
        const std::string settingsFolder =
            options.value("--program-folder").value_or(utf8FromPath(folder));
        const std::string ini = settings::settingsFilePath(settingsFolder);
        report::setErrorLogFolder(pathFromUtf8(settingsFolder));
        settings::WriteINI(ini, "Settings", "CompanyCode", settings::kDefaultCompanyCode);
        settings::WriteINI(ini, "Sample", "TextFilePath",
                           utf8FromPath(target / kSampleEmployeeFile));
        settings::WriteINI(ini, "Sample", "MelvarFilePath", utf8FromPath(target / "Melvar.mdb"));
        settings::WriteINI(ini, "Sample", "Delimiter", kSampleSeparator);
        std::cout << "  settings: company Sample in " << ini << '\n';
    }
    return 0;
}

namespace {

std::filesystem::path databaseOption(const std::vector<std::string>& args, const char* help,
                                     bool& helpOnly) {
    const ParsedOptions options = parseOptions(args, {"--db"}, {"--help"});
    helpOnly = options.flag("--help");
    if (helpOnly) {
        std::cout << help;
        return {};
    }
    if (!options.positional.empty())
        throw UsageError("unexpected word '" + options.positional.front() + "'");
    const std::optional<std::string> db = options.value("--db");
    if (!db) throw UsageError("option --db is required");
    const std::filesystem::path path = pathFromUtf8(*db);
    if (!std::filesystem::is_regular_file(path))
        throw std::runtime_error("'" + *db + "': no such database file");
    return std::filesystem::absolute(path).lexically_normal();
}

}  // namespace

int runUndo(const std::vector<std::string>& args) {
    bool helpOnly = false;
    const std::filesystem::path db = databaseOption(args, kUndoHelp, helpOnly);
    if (helpOnly) return 0;
    const app::UndoReport report = app::undoLastTransfer(db);
    (report.undone ? std::cout : std::cerr)
        << (report.undone ? "" : "veltra-transfer: ") << report.message << '\n';
    return report.undone ? 0 : 1;
}

int runHistory(const std::vector<std::string>& args) {
    bool helpOnly = false;
    const std::filesystem::path db = databaseOption(args, kHistoryHelp, helpOnly);
    if (helpOnly) return 0;
    const std::vector<app::KeptTransfer> history = app::transferHistory(db);
    if (history.empty()) {
        std::cout << "No transfer of " << utf8FromPath(db) << " is kept for undoing ("
                  << utf8FromPath(app::undoFolderFor(db)) << ").\n";
        return 0;
    }
    // Only the newest transfer not yet undone can be undone now; older ones follow it.
    bool newestPending = true;
    for (const app::KeptTransfer& kept : history) {
        std::cout << "Transfer #" << kept.number << '\n';
        for (const auto& [key, value] : kept.fields)
            std::cout << "  " << key << ": " << value << '\n';
        std::string state;
        if (kept.undone()) {
            state = "undone";
        } else if (newestPending) {
            const std::string why = app::whyNotUndoable(db, kept);
            state = why.empty() ? "can be undone now" : "cannot be undone: " + why;
            newestPending = false;
        } else {
            state = kept.image.empty() ? "cannot be undone: its undo data is missing"
                                       : "can be undone once the newer transfers are undone";
        }
        std::cout << "  undo: " << state << "\n\n";
    }
    return 0;
}

}  // namespace cli
