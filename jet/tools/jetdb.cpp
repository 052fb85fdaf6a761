// jetdb: looks inside an Access file with the engine alone.
//   jetdb tables FILE           user tables, one a line
//   jetdb schema FILE [TABLE]   columns and indexes
//   jetdb export FILE TABLE     CSV, rows in storage order
//   jetdb check FILE            every index against its rows
//   jetdb sql FILE [STATEMENT]  the data layer's SQL
// Exit status 0 on success; otherwise one line on standard error and status 1 (2 for usage).
#include <charconv>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "jet/database.h"
#include "jet/path_text.h"
#include "jet/program.h"
#include "jet/tools/csv.h"
#include "jet/tools/jetdb_commands.h"

namespace {

__attribute__((weak)) int sqlFallback(const std::vector<std::string>&) {
    std::cerr << "jetdb: sql is not available\n";
    return 1;
}

void usage() {
    std::cerr << "usage: jetdb tables FILE | schema FILE [TABLE] | export FILE TABLE | check FILE"
                 " | sql FILE [STATEMENT]\n";
}

int tables(const std::string& file) {
    auto db = jet::Database::open(jet::pathFromUtf8(file), jet::OpenMode::ReadOnly);
    for (const auto& name : db->tableNames()) std::cout << name << '\n';
    return 0;
}

void describe(const jet::Table& table) {
    std::cout << "TABLE " << table.name() << (table.isSystem() ? " (system)" : "") << '\n';
    for (const auto& c : table.columns()) {
        std::cout << "  COLUMN " << c.name << ' ' << jet::columnTypeName(c.type);
        if (c.type == jet::ColumnType::Text) std::cout << '(' << c.textSize() << ')';
        if (c.type == jet::ColumnType::Binary) std::cout << '(' << c.length << ')';
        if (c.type == jet::ColumnType::Decimal)
            std::cout << '(' << int(c.precision) << ',' << int(c.scale) << ')';
        std::cout << " #" << c.number;
        if (c.isAutoNumber()) std::cout << " AUTONUMBER";
        if (c.required) std::cout << " REQUIRED";
        if (c.type == jet::ColumnType::Text && !c.allowZeroLength) std::cout << " NOZEROLENGTH";
        if (c.defaultValue) std::cout << " DEFAULT " << *c.defaultValue;
        std::cout << '\n';
    }
    for (const auto& ix : table.indexes()) {
        std::cout << "  INDEX " << ix.name << " (";
        for (size_t i = 0; i < ix.columns.size(); ++i) {
            std::string columnName = "#" + std::to_string(ix.columns[i].columnNumber);
            for (const auto& c : table.columns())
                if (c.number == ix.columns[i].columnNumber) columnName = c.name;
            std::cout << (i ? ", " : "") << columnName << (ix.columns[i].ascending ? "" : " DESC");
        }
        std::cout << ')';
        if (ix.primaryKey) std::cout << " PRIMARY";
        if (ix.unique) std::cout << " UNIQUE";
        if (ix.ignoreNulls) std::cout << " IGNORENULLS";
        if (ix.required) std::cout << " REQUIRED";
        if (ix.foreignKey) std::cout << " FOREIGNKEY";
        std::cout << '\n';
    }
}

int schema(const std::string& file, const std::string* tableName) {
    auto db = jet::Database::open(jet::pathFromUtf8(file), jet::OpenMode::ReadOnly);
    if (tableName) {
        describe(db->table(*tableName));
        return 0;
    }
    for (const auto& name : db->tableNames()) describe(db->table(name));
    return 0;
}

int exportTable(const std::string& file, const std::string& tableName) {
    auto db = jet::Database::open(jet::pathFromUtf8(file), jet::OpenMode::ReadOnly);
    jet::Table table = db->table(tableName);
    std::string line;
    for (size_t i = 0; i < table.columns().size(); ++i)
        line += (i ? "," : "") + jetdb_csv::headerName(table.columns()[i].name);
    std::cout << line << '\n';
    table.scan([&](jet::RowId, const jet::Row& row) {
        line.clear();
        for (size_t i = 0; i < row.size(); ++i) {
            if (i) line += ',';
            line += jetdb_csv::field(row[i]);
        }
        std::cout << line << '\n';
        return true;
    });
    return 0;
}

int check(const std::string& file) {
    auto db = jet::Database::open(jet::pathFromUtf8(file), jet::OpenMode::ReadOnly);
    auto problems = db->check([](const std::string& line) { std::cout << line << '\n'; });
    for (const auto& p : problems) std::cout << "FAULT " << p << '\n';
    if (!problems.empty()) {
        std::cerr << "jetdb: " << file << ": " << problems.size() << " index fault(s)\n";
        return 1;
    }
    std::cout << "OK\n";
    return 0;
}

}  // namespace

__attribute__((weak)) int jetdbSqlCommand(const std::vector<std::string>& args) {
    return sqlFallback(args);
}

int main(int argc, char** argv) {
    jet::program::setUpConsole();
    std::vector<std::string> args = jet::program::arguments(argc, argv);
    if (args.empty()) {
        usage();
        return 2;
    }
    const std::string& command = args[0];
    try {
        if (command == "tables" && args.size() == 2) return tables(args[1]);
        if (command == "schema" && (args.size() == 2 || args.size() == 3))
            return schema(args[1], args.size() == 3 ? &args[2] : nullptr);
        if (command == "export" && args.size() == 3) return exportTable(args[1], args[2]);
        if (command == "check" && args.size() == 2) return check(args[1]);
        if (command == "sql") return jetdbSqlCommand({args.begin() + 1, args.end()});
    } catch (const std::exception& e) {
        std::cout.flush();
        std::cerr << "jetdb: " << e.what() << '\n';
        return 1;
    }
    usage();
    return 2;
}
