// `jetdb sql FILE [STATEMENT]`: runs Jet SQL through the data layer, for support staff and
// scripted tests. A SELECT prints CSV in the form of `jetdb export`; other statements print the
// number of rows affected. Without STATEMENT, statements come from standard input, one a line,
// in one transaction that is committed only when every line succeeded.
#include <cctype>
#include <charconv>
#include <iostream>
#include <string>
#include <vector>

#include "data/connection.h"
#include "jet/tools/jetdb_commands.h"

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string headerName(const std::string& name) {
    return name.find_first_of(",\"\r\n") == std::string::npos ? name : quoted(name);
}

template <typename F>
std::string shortest(F value) {
    char buf[64];
    auto result = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, result.ptr);
}

struct CsvField {
    std::string operator()(std::monostate) const { return ""; }
    std::string operator()(bool v) const { return v ? "1" : "0"; }
    std::string operator()(uint8_t v) const { return std::to_string(v); }
    std::string operator()(int16_t v) const { return std::to_string(v); }
    std::string operator()(int32_t v) const { return std::to_string(v); }
    std::string operator()(jet::Currency v) const {
        bool negative = v.units < 0;
        uint64_t magnitude = negative ? uint64_t(0) - uint64_t(v.units) : uint64_t(v.units);
        char buf[40];
        std::snprintf(buf, sizeof buf, "%s%llu.%04llu", negative ? "-" : "",
                      static_cast<unsigned long long>(magnitude / 10000),
                      static_cast<unsigned long long>(magnitude % 10000));
        return buf;
    }
    std::string operator()(float v) const { return shortest(v); }
    std::string operator()(double v) const { return shortest(v); }
    std::string operator()(jet::DateTime v) const { return v.toString(); }
    std::string operator()(const std::string& v) const { return quoted(v); }
    std::string operator()(const jet::Bytes& v) const {
        static const char* digits = "0123456789ABCDEF";
        std::string out;
        for (uint8_t b : v) {
            out += digits[b >> 4];
            out += digits[b & 15];
        }
        return out;
    }
    std::string operator()(const jet::Guid& v) const { return v.toString(); }
    std::string operator()(const jet::Decimal& v) const { return v.toString(); }
};

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
    for (int i = 0; i < rs.fieldCount(); ++i) line += (i ? "," : "") + headerName(rs.fieldName(i));
    std::cout << line << '\n';
    for (; !rs.EOF(); rs.MoveNext()) {
        line.clear();
        for (int i = 0; i < rs.fieldCount(); ++i) {
            if (i) line += ',';
            line += std::visit(CsvField{}, rs.field(i).storage());
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
    try {
        conn->BeginTrans();
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
        conn->CommitTrans();
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
