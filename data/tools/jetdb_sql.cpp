// `jetdb sql FILE [STATEMENT]`: runs Jet SQL through the data layer, for support staff and
// scripted tests. A SELECT prints CSV in the form of `jetdb export`; other statements print the
// number of rows affected. Without STATEMENT, statements come from standard input, one a line,
// in one transaction that is committed only when every line succeeded.
#include <cctype>
#include <charconv>
#include <iostream>
#include <string>
#include <vector>

#include "data/recordset.h"
#include "jet/tools/csv.h"
#include "jet/tools/jetdb_commands.h"

namespace {

bool isSelect(const std::string& statement) {
    size_t b = statement.find_first_not_of(" \t");
    if (b == std::string::npos || statement.size() - b < 6) return false;
    std::string word = statement.substr(b, 6);
    for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word == "SELECT";
}

void printSelect(const std::string& statement, const std::shared_ptr<data::Connection>& conn) {
    data::Recordset rs;
    rs.Open(statement, conn);
    std::string line;
    for (int i = 0; i < rs.fieldCount(); ++i)
        line += (i ? "," : "") + jetdb_csv::headerName(rs.fieldName(i));
    std::cout << line << '\n';
    for (; !rs.EOF(); rs.MoveNext()) {
        line.clear();
        for (int i = 0; i < rs.fieldCount(); ++i) {
            if (i) line += ',';
            line += jetdb_csv::field(rs.field(i));
        }
        std::cout << line << '\n';
    }
}

void run(const std::string& statement, const std::shared_ptr<data::Connection>& conn) {
    if (isSelect(statement)) {
        printSelect(statement, conn);
    } else {
        std::cout << conn->Execute(statement) << '\n';
    }
}

std::string describe(const report::RunTimeError& e) {
    return e.description() + " (" + std::to_string(e.number()) + ")";
}

}  // namespace

int jetdbSqlCommand(const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) {
        std::cerr << "usage: jetdb sql FILE [STATEMENT]\n";
        return 2;
    }
    auto conn = std::make_shared<data::Connection>();
    try {
        conn->Open(std::string(data::kProviderText) + args[0]);
    } catch (const report::RunTimeError& e) {
        std::cerr << "jetdb: " << describe(e) << '\n';
        return 1;
    }
    long lineNumber = 0;
    // A lone SELECT writes nothing, so it needs no transaction and works on read-only files too.
    const bool mayWrite = args.size() != 2 || !isSelect(args[1]);
    try {
        if (mayWrite) conn->BeginTrans();
        if (args.size() == 2) {
            run(args[1], conn);
        } else {
            std::string line;
            while (std::getline(std::cin, line)) {
                ++lineNumber;
                if (!line.empty() && line.back() == '\r') line.pop_back();
                if (line.find_first_not_of(" \t") == std::string::npos) continue;
                run(line, conn);
            }
        }
        if (mayWrite) conn->CommitTrans();
    } catch (const report::RunTimeError& e) {
        if (conn->inTransaction()) {
            try {
                conn->RollbackTrans();
            } catch (...) {
            }
        }
        std::cout.flush();
        std::cerr << "jetdb: ";
        if (lineNumber > 0) std::cerr << "line " << lineNumber << ": ";
        std::cerr << describe(e) << '\n';
        if (lineNumber > 0) std::cerr << "jetdb: every statement was rolled back\n";
        return 1;
    }
    return 0;
}
