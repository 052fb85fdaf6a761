// The command-line program, run as a user runs it, on generated sample companies; the window's
// settings file supplies what its options leave out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "text/windows874.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runCommand;
using testing_support::TempDir;

const std::string kProgram = std::string(VELTRA_BINARY_DIR) + "/app/veltra-transfer";
const std::string kJetdb = std::string(VELTRA_BINARY_DIR) + "/jetdb";

std::string quote(const std::string& text) {
    return "'" + text + "'";
}

// Runs the program; returns its exit status, stdout and stderr in `out`.
int run(const std::string& args, std::string* out = nullptr) {
    int status = 0;
    const std::string output = runCommand(quote(kProgram) + " " + args + " 2>&1", &status);
    if (out) *out = output;
    return status;
}

std::vector<std::string> splitCsvLine(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    bool inQuotes = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            inQuotes = true;
        } else if (c == ',') {
            fields.push_back(field);
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(field);
    return fields;
}

// The rows of a table as maps from column name to text, through the engine's own tool or, with
// `viaMdbTools`, through mdb-export of the mdbtools package (an independent reader).
std::vector<std::map<std::string, std::string>> exportTable(const fs::path& db,
                                                            const std::string& table,
                                                            bool viaMdbTools = false) {
    int status = 0;
    const std::string tool = viaMdbTools ? "mdb-export" : quote(kJetdb) + " export";
    const std::string csv =
        runCommand(tool + " " + quote(db.string()) + " " + quote(table), &status);
    EXPECT_EQ(status, 0) << table;
    std::vector<std::map<std::string, std::string>> rows;
    std::vector<std::string> header;
    size_t start = 0;
    while (start < csv.size()) {
        size_t end = csv.find('\n', start);
        if (end == std::string::npos) end = csv.size();
        std::string line = csv.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        if (line.empty()) continue;
        std::vector<std::string> fields = splitCsvLine(line);
        if (header.empty()) {
            header = fields;
            continue;
        }
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < header.size() && i < fields.size(); ++i) row[header[i]] = fields[i];
        rows.push_back(row);
    }
    return rows;
}

// Lines of an input file as the transfer reads them: Windows-874 decoded, ends at CR LF.
std::vector<std::string> inputLines(const fs::path& file) {
    const std::string text = text::windows874ToUtf8(readFile(file));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> splitColumns(const std::string& line) {
    std::vector<std::string> columns;
    size_t start = 0;
    for (;;) {
        const size_t comma = line.find(',', start);
        columns.push_back(line.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return columns;
}

// Whether the program was built: a developer may have built only the tests.
bool programBuilt() {
    return fs::exists(kProgram);
}

bool isZeroAmount(const std::string& column) {
    return column.find_first_of("123456789") == std::string::npos;
}

TEST(VeltraTransferCli, UsageMistakesExitWithTwoAndNameTheOptionAtFault) {
    if (!programBuilt()) SKIP_OR_FAIL_IN_CI() << kProgram << " is not built";
    std::string out;
    EXPECT_EQ(run("", &out), 2);
    EXPECT_NE(out.find("transfer"), std::string::npos);
    EXPECT_EQ(run("transfer --help", &out), 0);
    EXPECT_NE(out.find("--kind"), std::string::npos);
    EXPECT_NE(out.find("--dry-run"), std::string::npos);
    EXPECT_EQ(run("sample --help", &out), 0);
    EXPECT_NE(out.find("--employees"), std::string::npos);

    EXPECT_EQ(run("transfer --kind salary --text a --db b --separator ,", &out), 2);
    EXPECT_NE(out.find("salary"), std::string::npos) << out;
    EXPECT_EQ(run("transfer --kind calc --text a --db b --separator , --colour red", &out), 2);
    EXPECT_NE(out.find("--colour"), std::string::npos) << out;
    EXPECT_EQ(run("transfer --kind calc --db b --separator ,", &out), 2);
    EXPECT_NE(out.find("--text"), std::string::npos) << out;
    EXPECT_EQ(run("transfer --kind calc --text a --db b --separator", &out), 2);
    EXPECT_NE(out.find("--separator"), std::string::npos) << out;
    EXPECT_EQ(run("sample", &out), 2);
    EXPECT_EQ(run("sample /tmp/x --employees 40000", &out), 2);
    EXPECT_NE(out.find("--employees"), std::string::npos) << out;
    EXPECT_EQ(run("frobnicate", &out), 2);
}

class SampleCompanyTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        company_ = new TempDir;
        if (!programBuilt()) return;
        std::string out;
        ASSERT_EQ(
            run("sample " + quote((company_->path() / "co").string()) + " --employees 120 --seed 7",
                &out),
            0)
            << out;
    }
    static void TearDownTestSuite() {
        delete company_;
        company_ = nullptr;
    }
    void SetUp() override {
        if (!programBuilt()) SKIP_OR_FAIL_IN_CI() << kProgram << " is not built";
    }
    // A fresh copy of the generated company for one test.
    fs::path freshCopy() {
        const fs::path target = work.path() / "co";
        fs::copy(company_->path() / "co", target, fs::copy_options::recursive);
        return target;
    }
    int transfer(const fs::path& co, const std::string& kind, const std::string& file,
                 const std::string& extra, std::string* out) {
        return run("transfer --kind " + kind + " --text " + quote((co / file).string()) + " --db " +
                       quote((co / "Melvar.mdb").string()) + " --separator , " +
                       "--program-folder " + quote(work.path().string()) + " " + extra,
                   out);
    }

    static TempDir* company_;
    TempDir work;
};
TempDir* SampleCompanyTest::company_ = nullptr;

TEST_F(SampleCompanyTest, GeneratorIsDeterministicAndWritesThaiCrLfFiles) {
    const fs::path first = company_->path() / "co";
    const fs::path again = work.path() / "again";
    const fs::path other = work.path() / "other";
    ASSERT_EQ(run("sample " + quote(again.string()) + " --employees 120 --seed 7"), 0);
    ASSERT_EQ(run("sample " + quote(other.string()) + " --employees 120 --seed 8"), 0);
    for (const char* file :
         {"EmployeeMaster.txt", "DataCalc.txt", "DataMasterDetail.txt", "DataVariantDetail.txt"}) {
        const std::string bytes = readFile(first / file);
        EXPECT_EQ(bytes, readFile(again / file)) << file;
        EXPECT_NE(bytes, readFile(other / file)) << file;
        // Every line ends in CR LF; blank lines are there to be skipped.
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '\n') {
                ASSERT_EQ(bytes[i - 1], '\r') << file << " at " << i;
            }
        }
        EXPECT_NE(bytes.find("\r\n\r\n"), std::string::npos) << file;
    }
    EXPECT_EQ(exportTable(first / "Melvar.mdb", "Data Calc").size(),
              exportTable(again / "Melvar.mdb", "Data Calc").size());
    // Thai is stored in the code page: decoded from it, the titles read right.
    const std::vector<std::string> lines = inputLines(first / "EmployeeMaster.txt");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(splitColumns(lines[0]).size(), 21u);
    EXPECT_TRUE(lines[0].find("นาย") != std::string::npos ||
                lines[0].find("นาง") != std::string::npos);
    // A second sample into the same folder is refused.
    std::string out;
    EXPECT_EQ(run("sample " + quote(first.string()), &out), 2);
    EXPECT_NE(out.find("Melvar.mdb"), std::string::npos) << out;
}

TEST_F(SampleCompanyTest, CalcTransferReplacesEachEmployeesRowsWithTheNonZeroAmounts) {
    const fs::path co = freshCopy();
    const size_t rowsBefore = exportTable(co / "Melvar.mdb", "Data Calc").size();
    std::string out;
    ASSERT_EQ(transfer(co, "calc", "DataCalc.txt", "--year 2006 --period 5", &out), 0) << out;

    // Expected: one row per non-zero amount of every line, for the year and period given.
    std::multiset<std::string> expected;
    const std::vector<std::string> items = {"I0101", "I0102", "I0103", "I0104", "I0105",
                                            "I0106", "D0201", "D0202", "D0203", "I0107"};
    for (const std::string& line : inputLines(co / "DataCalc.txt")) {
        if (line.empty()) continue;
        const std::vector<std::string> columns = splitColumns(line);
        ASSERT_EQ(columns.size(), items.size() + 1);
        for (size_t k = 0; k < items.size(); ++k) {
            if (!isZeroAmount(columns[k + 1])) expected.insert(columns[0] + " " + items[k]);
        }
    }
    std::multiset<std::string> written;
    for (const auto& row : exportTable(co / "Melvar.mdb", "Data Calc")) {
        EXPECT_EQ(row.at("Year"), "2006");
        EXPECT_EQ(row.at("Period"), "5");
        EXPECT_EQ(row.at("Company Code"), "CC");
        written.insert(row.at("Employee#") + " " + row.at("Type for") + row.at("Type") +
                       row.at("Code"));
    }
    EXPECT_EQ(written, expected);
    if (std::system("mdb-export --version >/dev/null 2>&1") == 0) {
        std::multiset<std::string> seen;
        for (const auto& row : exportTable(co / "Melvar.mdb", "Data Calc", true)) {
            EXPECT_EQ(row.at("Period"), "5");
            seen.insert(row.at("Employee#") + " " + row.at("Type for") + row.at("Type") +
                        row.at("Code"));
        }
        EXPECT_EQ(seen, expected);
    } else {
        EXPECT_FALSE(testing_support::runningInCi()) << "mdb-export is not installed";
    }
    // Every employee on file has a line, so all the earlier rows went.
    EXPECT_NE(out.find("rows deleted:           " + std::to_string(rowsBefore) + "\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("rows written:           " + std::to_string(expected.size()) + "\n"),
              std::string::npos)
        << out;
}

// The full load of the benchmarks: every line of every file names an employee on file and holds
// every amount, so every transfer changes every row it can.
TEST_F(SampleCompanyTest, AFullLoadGivesEveryEmployeeEveryRow) {
    const fs::path co = work.path() / "full";
    std::string out;
    ASSERT_EQ(run("sample " + quote(co.string()) + " --employees 40 --seed 3 --full", &out), 0)
        << out;
    EXPECT_NE(out.find("40 employees, 400 [Data Calc] rows, 320 [Data Master Detail] rows, 320 "
                       "[Data Variant Detail] rows"),
              std::string::npos)
        << out;
    for (const char* file : {"DataCalc.txt", "DataMasterDetail.txt", "DataVariantDetail.txt"}) {
        const auto lines = inputLines(co / file);
        ASSERT_EQ(lines.size(), 40u) << file;
        for (const std::string& line : lines) {
            for (const std::string& column : splitColumns(line)) EXPECT_FALSE(isZeroAmount(column));
        }
    }
    ASSERT_EQ(transfer(co, "calc", "DataCalc.txt", "", &out), 0) << out;
    EXPECT_NE(out.find("rows deleted:           400\n"), std::string::npos) << out;
    EXPECT_NE(out.find("rows written:           400\n"), std::string::npos) << out;
    ASSERT_EQ(transfer(co, "pm", "DataMasterDetail.txt", "", &out), 0) << out;
    EXPECT_NE(out.find("amounts written:        320\n"), std::string::npos) << out;
    EXPECT_NE(out.find("amounts dropped:        0 "), std::string::npos) << out;
}

TEST_F(SampleCompanyTest, EmployeePmAndPdTransfersComplete) {
    const fs::path co = freshCopy();
    const size_t before = exportTable(co / "Melvar.mdb", "Employee Master").size();
    std::string out;
    ASSERT_EQ(transfer(co, "employee", "EmployeeMaster.txt", "--bank-code 002", &out), 0) << out;
    const auto employees = exportTable(co / "Melvar.mdb", "Employee Master");
    EXPECT_EQ(employees.size(), 120u);
    EXPECT_GT(employees.size(), before);
    for (const auto& row : employees) {
        EXPECT_EQ(row.at("Entered by"), "Import");
        EXPECT_EQ(row.at("SexTableFor"), "S");
        EXPECT_EQ(row.at("Department").size(), 3u);
        if (!row.at("Bank Account").empty()) {
            EXPECT_EQ(row.at("Bank Code"), "002");
        }
    }
    for (const auto& [kind, file, table] :
         {std::tuple{"pm", "DataMasterDetail.txt", "Data Master Detail"},
          std::tuple{"pd", "DataVariantDetail.txt", "Data Variant Detail"}}) {
        const size_t rows = exportTable(co / "Melvar.mdb", table).size();
        ASSERT_EQ(transfer(co, kind, file, "", &out), 0) << out;
        // Detail transfers change amounts only.
        EXPECT_EQ(exportTable(co / "Melvar.mdb", table).size(), rows) << table;
    }
}

TEST_F(SampleCompanyTest, DryRunLeavesTheDatabaseByteIdentical) {
    const fs::path co = freshCopy();
    const std::string melvar = readFile(co / "Melvar.mdb");
    // Run from the company's folder with the file names alone, as a clerk would.
    int status = 0;
    const std::string out = runCommand(
        "cd " + quote(co.string()) + " && " + quote(kProgram) +
            " transfer --kind calc --text DataCalc.txt --db Melvar.mdb --separator , --dry-run"
            " --program-folder " +
            quote(work.path().string()) + " 2>&1",
        &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("dry run"), std::string::npos) << out;
    EXPECT_NE(out.find("rows written:"), std::string::npos) << out;
    EXPECT_EQ(readFile(co / "Melvar.mdb"), melvar);
    for (const auto& entry : fs::directory_iterator(co)) {
        EXPECT_NE(entry.path().extension(), ".journal") << entry.path();
    }
}

TEST_F(SampleCompanyTest, AFailingLineStopsWithOneAndAMissingFileWithTwo) {
    const fs::path co = freshCopy();
    std::vector<std::string> lines = inputLines(co / "DataCalc.txt");
    ASSERT_GT(lines.size(), 10u);
    // The failing line names an employee whose own line comes later and is never read.
    const std::string failing = splitColumns(lines[10])[0];
    lines.insert(lines.begin() + 5, failing + ",abc,1,2,3,4,5,6,7,8");
    std::string bytes;
    for (const std::string& line : lines) bytes += text::utf8ToWindows874(line) + "\r\n";
    std::ofstream(co / "Bad.txt", std::ios::binary) << bytes;
    auto rowsByEmployee = [&] {
        std::map<std::string, std::multiset<std::string>> rows;
        for (const auto& row : exportTable(co / "Melvar.mdb", "Data Calc")) {
            rows[row.at("Employee#")].insert(row.at("Period") + " " + row.at("Amount"));
        }
        return rows;
    };
    const auto before = rowsByEmployee();

    std::string out;
    EXPECT_EQ(transfer(co, "calc", "Bad.txt", "", &out), 1) << out;
    EXPECT_NE(out.find("ImportToDataCalc()"), std::string::npos) << out;  // the error report
    EXPECT_NE(out.find("lines read:             6"), std::string::npos) << out;
    EXPECT_NE(out.find("lines transferred:      5"), std::string::npos) << out;
    // Lines before the failing one stay transferred; the failing line leaves no trace (its
    // deletion of the employee's rows is undone too).
    const auto after = rowsByEmployee();
    const std::multiset<std::string> firstRows = after.at(splitColumns(lines[0])[0]);
    ASSERT_FALSE(firstRows.empty());
    EXPECT_EQ(firstRows.begin()->substr(0, 2), "4 ");
    EXPECT_EQ(after.at(failing), before.at(failing));

    EXPECT_EQ(transfer(co, "calc", "NoSuchFile.txt", "", &out), 2);
    EXPECT_NE(out.find("NoSuchFile.txt"), std::string::npos) << out;
}

TEST_F(SampleCompanyTest, CompanySettingsSupplyWhatTheOptionsLeaveOut) {
    const fs::path co = freshCopy();
    std::string out;
    const std::string folder = quote(work.path().string());
    ASSERT_EQ(run("sample " + quote((work.path() / "s").string()) +
                      " --employees 5 --write-settings --program-folder " + folder,
                  &out),
              0)
        << out;
    EXPECT_NE(readFile(work.path() / "Import.INI").find("MelvarFilePath="), std::string::npos);
    // The section names the new company; --db points the transfer at the copy instead.
    ASSERT_EQ(run("transfer --kind calc --company Sample --text " +
                      quote((co / "DataCalc.txt").string()) + " --program-folder " + folder,
                  &out),
              0)
        << out;
    bool period4 = false;
    for (const auto& row : exportTable(work.path() / "s" / "Melvar.mdb", "Data Calc")) {
        period4 = period4 || row.at("Period") == "4";
    }
    EXPECT_TRUE(period4);
    // No settings file is no error: the defaults are used, and the default text file, which
    // is not there, is named as it is written (not prefixed with the current folder).
    EXPECT_EQ(run("transfer --kind calc --company Nobody --program-folder " +
                      quote((work.path() / "empty").string()),
                  &out),
              2);
    EXPECT_NE(out.find("ไม่มีไฟล์ข้อมูล...\nC:\\Program Files\\Payroll\\Sample\\Backup\\"
                       "ข้อมูลประวัติพนักงาน.txt\nโปรดระบุชื่อไฟล์ใหม่"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("no settings file"), std::string::npos) << out;
}

// The summary tells what the transfer did, counted as it went: on the full load every line
// changes every row of its employee, whatever the case of the code in the file.
TEST_F(SampleCompanyTest, TheSummaryCountsWhatWasStoredWhateverTheCaseOfTheCodes) {
    const fs::path co = work.path() / "full";
    std::string out;
    ASSERT_EQ(run("sample " + quote(co.string()) + " --employees 40 --seed 3 --full", &out), 0)
        << out;
    auto lowerCodes = [&](const char* from, const char* to) {
        std::string bytes;
        for (const std::string& line : inputLines(co / from)) {
            std::string lowered = line;
            for (char& c : lowered) {
                if (c == ',') break;
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            }
            bytes += text::utf8ToWindows874(lowered) + "\r\n";
        }
        std::ofstream(co / to, std::ios::binary) << bytes;
    };
    lowerCodes("DataMasterDetail.txt", "pm-lower.txt");
    ASSERT_EQ(transfer(co, "pm", "pm-lower.txt", "", &out), 0) << out;
    EXPECT_NE(out.find("lines transferred:      40\n"), std::string::npos) << out;
    EXPECT_NE(out.find("amounts written:        320\n"), std::string::npos) << out;
    EXPECT_NE(out.find("amounts dropped:        0 "), std::string::npos) << out;

    lowerCodes("DataCalc.txt", "calc-lower.txt");
    ASSERT_EQ(transfer(co, "calc", "calc-lower.txt", "", &out), 0) << out;
    EXPECT_NE(out.find("rows deleted:           400\n"), std::string::npos) << out;
    EXPECT_NE(out.find("rows written:           400\n"), std::string::npos) << out;
    // Once more: the rows the first run wrote under the lower-case codes go, as many come.
    ASSERT_EQ(transfer(co, "calc", "calc-lower.txt", "", &out), 0) << out;
    EXPECT_NE(out.find("rows deleted:           400\n"), std::string::npos) << out;
    EXPECT_NE(out.find("rows written:           400\n"), std::string::npos) << out;

    // Line 32,768 cannot be counted: the transfer stops there, line 1 stays transferred.
    const std::vector<std::string> lines = inputLines(co / "DataCalc.txt");
    std::string bytes = text::utf8ToWindows874(lines[0]) + "\r\n";
    for (int i = 0; i < 32766; ++i) bytes += "\r\n";
    bytes += text::utf8ToWindows874(lines[1]) + "\r\n";
    std::ofstream(co / "long.txt", std::ios::binary) << bytes;
    EXPECT_EQ(transfer(co, "calc", "long.txt", "", &out), 1) << out;
    EXPECT_NE(out.find("lines read:             32768\n"), std::string::npos) << out;
    EXPECT_NE(out.find("lines transferred:      1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("rows deleted:           10\n"), std::string::npos) << out;
    EXPECT_NE(out.find("rows written:           10\n"), std::string::npos) << out;
    EXPECT_NE(out.find("the transfer stopped at line 32768"), std::string::npos) << out;
    // Each transfer left one record in the transfer log beside the program.
    const std::string log = readFile(work.path() / "transfers.log");
    size_t records = 0;
    for (size_t at = log.find("\n\n"); at != std::string::npos; at = log.find("\n\n", at + 2))
        ++records;
    EXPECT_EQ(records, 4u) << log;
}

TEST_F(SampleCompanyTest, AFailedLineIsToldWithItsColumnAndValue) {
    const fs::path co = freshCopy();
    const std::vector<std::string> lines = inputLines(co / "DataCalc.txt");
    std::vector<std::string> columns = splitColumns(lines[0]);
    columns[3] = "12x";
    std::string bad;
    for (size_t i = 0; i < columns.size(); ++i) bad += (i ? "," : "") + columns[i];
    std::ofstream(co / "Bad.txt", std::ios::binary)
        << text::utf8ToWindows874(lines[1]) + "\r\n" + text::utf8ToWindows874(bad) + "\r\n";
    std::string out;
    EXPECT_EQ(transfer(co, "calc", "Bad.txt", "", &out), 1) << out;
    EXPECT_NE(out.find("lines transferred:      1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("บรรทัดที่ 2: '" + bad + "'"), std::string::npos) << out;
    EXPECT_NE(out.find("คอลัมน์: แถวที่ 4 ของรูปแบบ, ฟิลด์ I0103, ค่า '12x'"), std::string::npos) << out;
    EXPECT_NE(out.find("สาเหตุ: ชนิดข้อมูลไม่ตรงกัน"), std::string::npos) << out;
}

// ---- Undoing transfers ----

const char* const kPayrollTables[] = {"Employee Master", "Data Calc", "Data Master Detail",
                                      "Data Variant Detail"};

// Every payroll table as mdb-export reads it, after `jetdb check` found the file sound.
std::string dumpChecked(const fs::path& db) {
    int status = 0;
    const std::string problems =
        runCommand(quote(kJetdb) + " check " + quote(db.string()) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << problems;
    std::string dump;
    for (const char* table : kPayrollTables) {
        dump += runCommand("mdb-export " + quote(db.string()) + " " + quote(table), &status);
        EXPECT_EQ(status, 0) << table;
    }
    return dump;
}

TEST_F(SampleCompanyTest, UndoWalksBackThroughTheTransfersToTheDatabaseBefore) {
    const fs::path co = freshCopy();
    const fs::path db = co / "Melvar.mdb";
    const std::string before = dumpChecked(db);
    const std::string bytes = readFile(db);
    // A transfer that stops at a failing line keeps its earlier lines: undo takes them back.
    std::vector<std::string> lines = inputLines(co / "DataCalc.txt");
    lines.insert(lines.begin() + 4, splitColumns(lines[0])[0] + ",abc,1,2");
    std::string bad;
    for (const std::string& line : lines) bad += text::utf8ToWindows874(line) + "\r\n";
    std::ofstream(co / "Bad.txt", std::ios::binary) << bad;

    std::string out;
    ASSERT_EQ(transfer(co, "employee", "EmployeeMaster.txt", "", &out), 0) << out;
    const std::string afterEmployees = dumpChecked(db);
    ASSERT_EQ(transfer(co, "calc", "Bad.txt", "", &out), 1) << out;
    ASSERT_NE(dumpChecked(db), afterEmployees);

    EXPECT_EQ(run("undo --db " + quote(db.string()), &out), 0) << out;
    EXPECT_NE(out.find("undid transfer #2 calc [Data Calc]"), std::string::npos) << out;
    EXPECT_EQ(dumpChecked(db), afterEmployees);
    EXPECT_EQ(run("undo --db " + quote(db.string()), &out), 0) << out;
    EXPECT_NE(out.find("#1 employee"), std::string::npos) << out;
    EXPECT_EQ(dumpChecked(db), before);
    EXPECT_EQ(readFile(db), bytes);
    EXPECT_EQ(run("undo --db " + quote(db.string()), &out), 1) << out;
    EXPECT_NE(out.find("nothing to undo"), std::string::npos) << out;
    EXPECT_EQ(readFile(db), bytes);
}

TEST_F(SampleCompanyTest, UndoIsRefusedOnceOnePageChangedAndWritesNothing) {
    const fs::path co = freshCopy();
    const fs::path db = co / "Melvar.mdb";
    std::string out;
    ASSERT_EQ(transfer(co, "pm", "DataMasterDetail.txt", "", &out), 0) << out;
    std::string edited = readFile(db);
    edited[4 * 4096 + 1000] ^= 0x20;  // one byte of page 4, as another program might
    std::ofstream(db, std::ios::binary | std::ios::trunc) << edited;

    EXPECT_EQ(run("undo --db " + quote(db.string()), &out), 1) << out;
    EXPECT_NE(out.find("no longer as this transfer left it (1 page changed since the transfer "
                       "(page 4)). Nothing was changed."),
              std::string::npos)
        << out;
    EXPECT_EQ(readFile(db), edited);
    EXPECT_FALSE(fs::exists(db.string() + ".jnl"));
    EXPECT_EQ(run("history --db " + quote(db.string()), &out), 0);
    EXPECT_NE(out.find("undo: cannot be undone: the database is no longer as this transfer left"),
              std::string::npos)
        << out;
}

TEST_F(SampleCompanyTest, HistoryListsTheLastTransfersNewestFirst) {
    const fs::path co = freshCopy();
    const fs::path db = co / "Melvar.mdb";
    std::ofstream(work.path() / "Import.INI") << "[Settings]\r\nUndoTransfers=2\r\n";
    std::string out;
    for (const char* kind : {"employee", "pm", "pd"}) {
        const std::string file = std::string(kind) == "employee" ? "EmployeeMaster.txt"
                                 : std::string(kind) == "pm"     ? "DataMasterDetail.txt"
                                                                 : "DataVariantDetail.txt";
        ASSERT_EQ(transfer(co, kind, file, "", &out), 0) << out;
    }
    int status = 0;
    const std::string digest = runCommand(
        "sha256sum " + quote((co / "DataVariantDetail.txt").string()) + " | cut -c1-64", &status);
    ASSERT_EQ(run("history --db " + quote(db.string()), &out), 0) << out;
    const size_t third = out.find("Transfer #3\n");
    const size_t second = out.find("Transfer #2\n");
    ASSERT_NE(third, std::string::npos) << out;
    EXPECT_LT(third, second) << out;
    EXPECT_EQ(out.find("Transfer #1\n"), std::string::npos) << "only the last two are kept";
    EXPECT_NE(out.find("kind: pd [Data Variant Detail]", third), std::string::npos) << out;
    EXPECT_NE(out.find("text sha256: " + digest.substr(0, 64)), std::string::npos) << out;
    EXPECT_NE(out.find("outcome: completed"), std::string::npos) << out;
    EXPECT_NE(out.find("undo: can be undone now", third), std::string::npos) << out;
    EXPECT_NE(out.find("undo: can be undone once the newer transfers are undone", second),
              std::string::npos)
        << out;
    EXPECT_FALSE(fs::exists(db.string() + ".undo/1.image"));

    // Undo data deleted by hand: said so, nothing changes.
    fs::remove(db.string() + ".undo/3.image");
    const std::string bytes = readFile(db);
    EXPECT_EQ(run("undo --db " + quote(db.string()), &out), 1);
    EXPECT_NE(out.find("its undo data is missing"), std::string::npos) << out;
    EXPECT_EQ(readFile(db), bytes);
    fs::remove_all(db.string() + ".undo");
    EXPECT_EQ(run("history --db " + quote(db.string()), &out), 0);
    EXPECT_NE(out.find("is kept for undoing"), std::string::npos) << out;
}

TEST_F(SampleCompanyTest, ATransferWhoseUndoDataCannotBeKeptStillRunsAndSaysSo) {
    const fs::path co = freshCopy();
    const fs::path db = co / "Melvar.mdb";
    std::ofstream(db.string() + ".undo") << "a file where the folder would be";
    std::string out;
    EXPECT_EQ(transfer(co, "pm", "DataMasterDetail.txt", "", &out), 0) << out;
    EXPECT_NE(out.find("เก็บข้อมูลสำหรับยกเลิกการโอนครั้งนี้ไม่ได้"), std::string::npos) << out;
    EXPECT_NE(out.find("amounts written:"), std::string::npos) << out;
    EXPECT_EQ(run("undo --db " + quote(db.string()), &out), 1);
    EXPECT_NE(out.find("nothing to undo"), std::string::npos) << out;
}

// ---- Checking a file ----

TEST_F(SampleCompanyTest, ACheckListsExactlyTheFailingLinesAndChangesNothing) {
    const fs::path co = freshCopy();
    const fs::path db = co / "Melvar.mdb";
    const std::string bytes = readFile(db);
    std::vector<std::string> lines = inputLines(co / "DataCalc.txt");
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    ASSERT_GT(lines.size(), 60u);
    // Failures of different kinds spread through the file, the first and last lines among them.
    const std::map<size_t, std::string> bad = {
        {0, "12x"}, {37, "1e999999"}, {38, "abc"}, {lines.size() - 1, "--5"}};
    for (const auto& [index, value] : bad) {
        std::vector<std::string> columns = splitColumns(lines[index]);
        columns[3] = value;
        lines[index].clear();
        for (size_t i = 0; i < columns.size(); ++i) lines[index] += (i ? "," : "") + columns[i];
    }
    std::string text;
    for (const std::string& line : lines) text += text::utf8ToWindows874(line) + "\r\n";
    std::ofstream(co / "Bad.txt", std::ios::binary) << text;

    std::string out;
    EXPECT_EQ(transfer(co, "calc", "Bad.txt", "--check", &out), 1) << out;
    EXPECT_NE(out.find("lines that fail:        4\n"), std::string::npos) << out;
    const size_t blank = size_t(std::count(lines.begin(), lines.end(), std::string()));
    EXPECT_NE(
        out.find("lines that pass:        " + std::to_string(lines.size() - blank - 4) + "\n"),
        std::string::npos)
        << out;
    size_t listed = 0;
    for (size_t at = out.find("บรรทัดที่ "); at != std::string::npos;
         at = out.find("บรรทัดที่ ", at + 1)) {
        const size_t number = std::stoul(out.substr(at + std::string("บรรทัดที่ ").size()));
        EXPECT_TRUE(bad.count(number - 1)) << "line " << number << " listed\n" << out;
        ++listed;
    }
    EXPECT_EQ(listed, bad.size()) << out;
    EXPECT_NE(out.find("บรรทัดที่ 1: '" + lines[0] +
                       "'\n  คอลัมน์: แถวที่ 4 ของรูปแบบ, ฟิลด์ I0103, "
                       "ค่า '12x'\n  สาเหตุ: ชนิดข้อมูลไม่ตรงกัน"),
              std::string::npos)
        << out;
    EXPECT_EQ(readFile(db), bytes);
    EXPECT_FALSE(fs::exists(db.string() + ".undo"));

    // A file whose every line passes: exit 0, and the counts the transfer then gives.
    EXPECT_EQ(transfer(co, "calc", "DataCalc.txt", "--check", &out), 0) << out;
    const std::string counted = out.substr(out.find("rows deleted:"));
    EXPECT_EQ(transfer(co, "calc", "DataCalc.txt", "", &out), 0) << out;
    EXPECT_EQ(counted.substr(0, counted.find("time taken")),
              out.substr(out.find("rows deleted:"), counted.find("time taken")));
}

}  // namespace
