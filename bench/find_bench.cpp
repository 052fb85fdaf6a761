// Record set Find in a loop, as the employee importer searches: 30,000 finds, each from the
// first row, over a table of 30,000 rows. Prints one line per case with the time per find.
// Run by hand: build/bench/find_bench [ROWS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/recordset.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string code(int i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "E%05d", i);
    return buf;
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 30000;
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("find-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::path file = dir / "bench.mdb";
    jet::Database::create(file);

    auto conn = std::make_shared<data::Connection>();
    conn->Open(std::string(data::kProviderText) + file.string());
    conn->Execute(
        "CREATE TABLE [Employee Master] ([Employee#] TEXT(10) NOT NULL, [Name] "
        "TEXT(50), [Entered by] TEXT(20), CONSTRAINT PK_Employee PRIMARY KEY "
        "([Employee#]))");

    auto start = std::chrono::steady_clock::now();
    data::Recordset rs;
    rs.Open("SELECT * FROM [Employee Master]", conn);
    conn->BeginTrans();
    for (int i = 0; i < rows; ++i) {
        // The importer's pattern: search, then add when not found.
        if (!rs.EOF() || !rs.BOF()) {
            rs.MoveFirst();
            rs.Find("[Employee#]='" + code(i) + "'");
        }
        if (rs.EOF()) {
            rs.AddNew();
            rs.setField("Employee#", jet::Value(code(i)));
        }
        rs.setField("Name", jet::Value("N" + code(i)));
        rs.setField("Entered by", jet::Value("Import"));
        rs.Update();
    }
    conn->CommitTrans();
    double load = secondsSince(start);
    std::printf("%-44s %8d rows %9.3f s %9.1f us/row\n", "find-or-add then update (indexed)", rows,
                load, load * 1e6 / rows);

    struct Case {
        const char* label;
        std::string (*criterion)(int);
    };
    const Case cases[] = {
        {"find from first row, indexed column",
         [](int i) { return "[Employee#]='" + code(i) + "'"; }},
        {"find from first row, column without index",
         [](int i) { return "[Name]='N" + code(i) + "'"; }},
    };
    for (const Case& c : cases) {
        rs.Requery();
        start = std::chrono::steady_clock::now();
        int found = 0;
        for (int i = 0; i < rows; ++i) {
            rs.MoveFirst();
            rs.Find(c.criterion(i));
            found += !rs.EOF();
        }
        double t = secondsSince(start);
        std::printf("%-44s %8d found %9.3f s %9.1f us/find\n", c.label, found, t, t * 1e6 / rows);
    }

    // The calculation importer's pattern per line: find the employee, delete its rows through
    // a connection of its own, re-run the query, add the line's rows (three amounts).
    conn->Execute(
        "CREATE TABLE [Data Calc] (ID COUNTER CONSTRAINT PK_DataCalc PRIMARY KEY, "
        "[Employee#] TEXT(10), Code TEXT(2), Amount CURRENCY)");
    conn->Execute("CREATE INDEX IX_Emp ON [Data Calc] ([Employee#])");
    data::Recordset calc;
    calc.Open("SELECT * FROM [Data Calc]", conn);
    for (int pass = 0; pass < 2; ++pass) {
        start = std::chrono::steady_clock::now();
        conn->BeginTrans();  // as a transfer runs: one transaction, committed at the end
        for (int i = 0; i < rows; ++i) {
            if (!calc.EOF() || !calc.BOF()) {
                calc.MoveFirst();
                calc.Find("[Employee#]='" + code(i) + "'");
                if (!calc.EOF()) {
                    auto own = std::make_shared<data::Connection>();
                    own->Open(std::string(data::kProviderText) + file.string());
                    own->Execute("DELETE * FROM [Data Calc] WHERE [Employee#]='" + code(i) + "'");
                    own->Close();
                    calc.Requery();
                }
            }
            for (int k = 0; k < 3; ++k) {
                calc.AddNew();
                calc.setField("Employee#", jet::Value(code(i)));
                calc.setField("Code", jet::Value(std::to_string(k)));
                calc.setField("Amount", jet::Value("1,234.50"));
                calc.Update();
            }
        }
        conn->CommitTrans();
        double t = secondsSince(start);
        std::printf("%-44s %8d lines %9.3f s %9.1f us/line\n",
                    pass == 0 ? "calculation lines, empty table" : "calculation lines, replacing",
                    rows, t, t * 1e6 / rows);
    }
    fs::remove_all(dir);
    return 0;
}
