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

// data::Recordset::EOF shares its name with the C library's macro, which nothing here uses.
#undef EOF
#include "app/form.h"
#include "app/logic/transfer_command.h"
#include "console_window.h"
#include "data/data_sources.h"
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
#include "transfer_summary.h"

namespace cli {

using jet::pathFromUtf8;
using jet::utf8FromPath;

const char* const kTransferHelp =
    "Usage: veltra-transfer transfer --kind KIND --text FILE --db FILE --separator SEP\n"
    "                                [--year Y] [--period P] [--bank-code C]\n"
    "                                [--company NAME] [--program-folder DIR] [--dry-run]\n"
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
    "\n"
    "Exit status: 0 complete, 1 a line failed (the transfer stopped there, earlier lines\n"
    "kept), 2 usage or file errors (nothing transferred).\n";

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

const char* const kTableOfKind[] = {"Employee Master", "Data Calc", "Data Master Detail",
                                    "Data Variant Detail"};

jet::DateTime localNow() {
    const std::time_t now = std::time(nullptr);
    const std::tm t = jet::localTime(now);
    // Days since 1899-12-30 of the civil date, then the time of day as a fraction.
    const int y = t.tm_year + 1900 - (t.tm_mon + 1 <= 2 ? 1 : 0);
    const int m = t.tm_mon + 1;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + t.tm_mday - 1;
    const long days =
        static_cast<long>(era) * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468 + 25569;
    const double seconds = t.tm_hour * 3600.0 + t.tm_min * 60.0 + t.tm_sec;
    return jet::DateTime{static_cast<double>(days) + seconds / 86400.0};
}

// A folder of copies of the payroll and layout databases, removed with the object.
class DryRunCopy {
  public:
    explicit DryRunCopy(const std::filesystem::path& db) {
        folder_ = jet::makeTemporaryFolder("veltra-dry-run");
        db_ = folder_ / db.filename();
        std::filesystem::copy_file(db, db_);
        const auto layouts = db.parent_path() / "ImportData.mdb";
        if (std::filesystem::exists(layouts)) {
            std::filesystem::copy_file(layouts, folder_ / "ImportData.mdb");
        }
    }
    ~DryRunCopy() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::filesystem::path& database() const { return db_; }

  private:
    std::filesystem::path folder_;
    std::filesystem::path db_;
};

struct SummaryInput {
    int kind;
    bool dryRun;
    long lines;
    long transferred;
    std::optional<TableSnapshot> before, after;
    std::filesystem::path layoutDatabase;
    std::string textFile, separator;
    long linesRead;
};

const char* const kLayoutOfKind[] = {"iEmployee Master", "iData Calc", "iDataMasterDetail",
                                     "iDataVariantDetail"};

void printSummary(const SummaryInput& in) {
    const std::string table = kTableOfKind[in.kind];
    std::cout << (in.dryRun ? "Summary of a dry run (the database was not changed):\n"
                            : "Summary:\n");
    std::cout << "  lines read:             " << in.lines << '\n';
    std::cout << "  lines transferred:      " << in.transferred << '\n';
    if (!in.before || !in.after) {
        std::cout << "  rows of [" << table << "]: unknown (the database could not be read)\n";
        return;
    }
    const TableSnapshot& before = *in.before;
    const TableSnapshot& after = *in.after;
    std::vector<LineAmounts> lines;
    if (in.kind != 0) {
        lines = readLines(pathFromUtf8(in.textFile), in.separator, in.linesRead, in.layoutDatabase,
                          kLayoutOfKind[in.kind]);
        if (static_cast<long>(lines.size()) > in.transferred) {
            lines.resize(static_cast<size_t>(in.transferred));
        }
    }
    if (in.kind == 0) {
        const long created = after.rows - before.rows;
        std::cout << "  employees created:      " << created << '\n';
        std::cout << "  employees updated:      " << (in.transferred - created) << '\n';
    } else if (in.kind == 1) {
        // Each line first deletes all rows of its employee, then writes its non-zero amounts.
        std::set<std::string> employees;
        for (const LineAmounts& line : lines) employees.insert(line.employee);
        long deleted = 0;
        for (const std::string& employee : employees) {
            const auto found = before.rowsByEmployee.find(employee);
            if (found != before.rowsByEmployee.end()) deleted += found->second;
        }
        std::cout << "  rows deleted:           " << deleted << '\n';
        std::cout << "  rows written:           " << (after.rows - (before.rows - deleted)) << '\n';
    } else {
        // Amounts go only into detail rows that exist; the others are dropped.
        long written = 0, dropped = 0;
        for (const LineAmounts& line : lines) {
            for (const std::string& key : line.nonZeroKeys) {
                if (before.payItems.count(line.employee + "|" + key)) {
                    ++written;
                } else {
                    ++dropped;
                }
            }
        }
        std::cout << "  amounts written:        " << written << '\n';
        std::cout << "  amounts dropped:        " << dropped << " (no row of that pay item)\n";
    }
    const long change = after.rows - before.rows;
    std::cout << "  rows of [" << table << "]: " << after.rows << " (was " << before.rows << ", "
              << (change >= 0 ? "+" : "") << change << ")\n";
}

}  // namespace

int runTransfer(const std::vector<std::string>& args, const std::filesystem::path& folder) {
    const ParsedOptions options =
        parseOptions(args,
                     {"--kind", "--text", "--db", "--separator", "--year", "--period",
                      "--bank-code", "--company", "--program-folder"},
                     {"--dry-run", "--help"});
    if (options.flag("--help")) {
        std::cout << kTransferHelp;
        return 0;
    }
    if (!options.positional.empty()) {
        throw UsageError("unexpected word '" + options.positional.front() + "'");
    }
    const std::optional<std::string> kindText = options.value("--kind");
    if (!kindText) throw UsageError("option --kind is required (employee, calc, pm or pd)");
    const std::optional<int16_t> kind = kindIndex(*kindText);
    if (!kind) {
        throw UsageError("option --kind must be employee, calc, pm or pd, not '" + *kindText + "'");
    }
    const std::filesystem::path settingsFolder =
        options.value("--program-folder") ? pathFromUtf8(*options.value("--program-folder"))
                                          : folder;

    // The company's section of the window's settings first; options given here win.
    std::optional<std::string> text = options.value("--text");
    std::optional<std::string> db = options.value("--db");
    std::optional<std::string> separator = options.value("--separator");
    const std::string company = options.value("--company").value_or(settings::kDefaultCompanyCode);
    if (options.value("--company")) {
        const std::string ini = settings::settingsFilePath(utf8FromPath(settingsFolder));
        if (!std::filesystem::exists(pathFromUtf8(ini))) {
            throw std::runtime_error("--company " + company + ": no settings file " + ini);
        }
        if (!text)
            text = settings::ReadINI(ini, company, "TextFilePath", settings::kDefaultTextFilePath);
        if (!db)
            db =
                settings::ReadINI(ini, company, "MelvarFilePath", settings::kDefaultMelvarFilePath);
        if (!separator)
            separator = settings::ReadINI(ini, company, "Delimiter", settings::kDefaultDelimiter);
    }
    if (!text) throw UsageError("option --text is required (or --company)");
    if (!db) throw UsageError("option --db is required (or --company)");
    if (!separator) throw UsageError("option --separator is required (or --company)");

    // The window always holds full paths; the data folder is cut from the database path.
    db = utf8FromPath(std::filesystem::absolute(pathFromUtf8(*db)).lexically_normal());
    text = utf8FromPath(std::filesystem::absolute(pathFromUtf8(*text)).lexically_normal());

    const bool dryRun = options.flag("--dry-run");
    std::unique_ptr<DryRunCopy> copy;
    std::string dbPath = *db;
    if (dryRun && std::filesystem::is_regular_file(pathFromUtf8(*db))) {
        copy = std::make_unique<DryRunCopy>(pathFromUtf8(*db));
        dbPath = utf8FromPath(copy->database());
    }

    report::setErrorLogFolder(settingsFolder);
    int reports = 0;
    report::registerComponent(report::kErrorReportClassId, [&reports] {
        ++reports;
        return std::make_unique<report::ConsoleErrorReport>(std::cerr);
    });

    const std::string table = kTableOfKind[*kind];
    const std::optional<TableSnapshot> before = takeSnapshot(pathFromUtf8(dbPath), table);
    long linesRead = 0;
    ConsoleWindow::Outcome outcome;
    {
        const bool terminal = jet::program::outputIsConsole();
        app::Form* formPointer = nullptr;
        ConsoleWindow window(std::cout, terminal,
                             [&] { return formPointer ? formPointer->iLineCount : 0L; });
        app::Form form(window);
        formPointer = &form;
        form.now = localNow;
        form.globals.ProgramFolder = utf8FromPath(settingsFolder);
        form.globals.CurrentCompanyCode = company;
        window.onFieldChanged = [&form](app::Field field) {
            if (field == app::Field::TextFile) app::txtDir_Change(form, 0);
            if (field == app::Field::Database) app::txtDir_Change(form, 1);
        };
        window.setFieldText(app::Field::CompanyCode, company);
        window.setFieldText(app::Field::TextFile, *text);
        window.setFieldText(app::Field::Database, dbPath);
        window.setFieldText(app::Field::Delimiter, *separator);
        window.setFieldText(app::Field::Year, options.value("--year").value_or("2005"));
        window.setFieldText(app::Field::Period, options.value("--period").value_or("4"));
        window.setFieldText(app::Field::BankCode, options.value("--bank-code").value_or(""));

        app::cmdTransfer_Click(form, *kind);
        window.finishProgress();
        linesRead = form.iLineCount;
        outcome = window.outcome();
    }
    report::registerComponent(report::kErrorReportClassId, nullptr);

    if (outcome == ConsoleWindow::Outcome::Refused) {
        std::cerr << "veltra-transfer: nothing was transferred: check --text, --db and "
                     "--separator (see the message above)\n";
        return 2;
    }
    const std::optional<TableSnapshot> after = takeSnapshot(pathFromUtf8(dbPath), table);
    const auto [lines, handed] = countLines(pathFromUtf8(*text), linesRead);
    const bool failed = outcome != ConsoleWindow::Outcome::Completed;
    const long transferred = failed && handed > 0 ? handed - 1 : handed;
    printSummary(SummaryInput{*kind, dryRun, lines, transferred, before, after,
                              pathFromUtf8(dbPath).parent_path() / "ImportData.mdb", *text,
                              *separator, linesRead});
    if (failed) {
        std::cout << "  the transfer stopped at line " << linesRead
                  << (reports ? " (see the error report above)" : "") << '\n';
    }
    return failed ? 1 : 0;
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
        settings::WriteINI(ini, "Sample", "TextFilePath", utf8FromPath(target / kSampleEmployeeFile));
        settings::WriteINI(ini, "Sample", "MelvarFilePath", utf8FromPath(target / "Melvar.mdb"));
        settings::WriteINI(ini, "Sample", "Delimiter", kSampleSeparator);
        std::cout << "  settings: company Sample in " << ini << '\n';
    }
    return 0;
}

}  // namespace cli
