#include "workload.h"

#include <cstdio>
#include <stdexcept>

#include "support/test_support.h"

namespace reliability {
namespace {

constexpr int kBatch = 12;

int32_t keyOf(int c, int j) {
    return c * 100 + j;
}

PayRow rowOf(int c, int j) {
    PayRow row;
    row.employee = "E" + std::to_string((c * 7 + j) % 13);
    row.amount = int64_t(c) * j * 125 + 1;
    // Every fourth row carries a long note, so commits also write long-value pages.
    row.note = (j % 4 == 0) ? std::string(1500 + 40 * j, char('a' + (c + j) % 26))
                            : "n" + std::to_string(c);
    return row;
}

bool updated(int j) {
    return j % 2 == 0;
}
bool deleted(int j) {
    return j % 3 == 0;
}

jet::Row toRow(int32_t no, const PayRow& r) {
    return {jet::Value(no), jet::Value(r.employee), jet::Value(jet::Currency{r.amount}),
            jet::Value(r.note)};
}

}  // namespace

void createWorkloadDatabase(const std::filesystem::path& path) {
    auto db = jet::Database::create(path);
    jet::TableDefinition def;
    def.name = kTable;
    auto column = [](const char* name, jet::ColumnType type, int size = 0) {
        jet::ColumnDefinition c;
        c.name = name;
        c.type = type;
        c.size = size;
        return c;
    };
    def.columns = {
        column("No", jet::ColumnType::Long), column("Employee", jet::ColumnType::Text, 20),
        column("Amount", jet::ColumnType::Currency), column("Note", jet::ColumnType::Memo)};
    def.columns[0].required = true;
    jet::IndexDefinition primary;
    primary.name = "PrimaryKey";
    primary.columns = {{"No"}};
    primary.primaryKey = primary.unique = primary.required = true;
    jet::IndexDefinition byEmployee;
    byEmployee.name = "Employee";
    byEmployee.columns = {{"Employee"}};
    def.indexes = {primary, byEmployee};
    db->createTable(def);
}

void runCommit(jet::Database& db, int c) {
    jet::Table table = db.table(kTable);
    const int pk = table.primaryKeyIndex();
    db.begin();
    for (int j = 0; j < kBatch; ++j) {
        // As a transfer does with a line that fails halfway: back to the savepoint before it.
        table.insert(toRow(keyOf(c, j), rowOf(c, j)));
        if (j % 5 == 1) {
            const jet::Database::Savepoint failing = db.savepoint();
            table.insert(toRow(keyOf(c, 99), rowOf(c, 4)));
            try {
                table.insert(toRow(keyOf(c, j), rowOf(c, j)));  // a key already there
                throw std::logic_error("a duplicate key was accepted");
            } catch (const jet::Error& e) {
                if (e.code() != jet::ErrorCode::DuplicateKey) throw;
            }
            db.rollbackTo(failing);
        }
    }
    for (int j = 0; j < kBatch && c > 1; ++j) {
        if (!updated(j)) continue;
        const int32_t no = keyOf(c - 1, j);
        const auto ids = table.seek(pk, {jet::Value(no)});
        PayRow r = rowOf(c - 1, j);
        r.amount += c;
        table.update(ids.at(0), toRow(no, r));
    }
    for (int j = 0; j < kBatch && c > 2; ++j) {
        if (!deleted(j)) continue;
        table.remove(table.seek(pk, {jet::Value(keyOf(c - 2, j))}).at(0));
    }
    db.commit();
}

PayState expectedState(int commits) {
    PayState state;
    for (int c = 1; c <= commits; ++c) {
        for (int j = 0; j < kBatch; ++j) state[keyOf(c, j)] = rowOf(c, j);
        for (int j = 0; j < kBatch && c > 1; ++j) {
            if (updated(j)) state[keyOf(c - 1, j)].amount += c;
        }
        for (int j = 0; j < kBatch && c > 2; ++j) {
            if (deleted(j)) state.erase(keyOf(c - 2, j));
        }
    }
    return state;
}

PayState readState(jet::Database& db) {
    PayState state;
    db.table(kTable).scan([&](jet::RowId, const jet::Row& row) {
        PayRow r;
        r.employee = row.at(1).isNull() ? "" : row.at(1).as<std::string>();
        r.amount = row.at(2).isNull() ? -1 : row.at(2).as<jet::Currency>().units;
        r.note = row.at(3).isNull() ? "" : row.at(3).as<std::string>();
        // A key seen twice cannot match any committed state.
        if (!state.emplace(row.at(0).as<int32_t>(), r).second) state[-1] = r;
        return true;
    });
    return state;
}

std::optional<int> matchCommit(const PayState& actual, int from, int to) {
    for (int c = std::max(from, 0); c <= to; ++c) {
        if (expectedState(c) == actual) return c;
    }
    return std::nullopt;
}

std::vector<std::string> auditFile(const std::filesystem::path& path, size_t rows) {
    std::vector<std::string> problems;
    {
        auto db = jet::Database::open(path, jet::OpenMode::ReadOnly);
        problems = db->check();
    }
    int status = 0;
    const std::string csv = testing_support::exportTable(path, kTable, &status);
    if (status != 0) {
        problems.push_back("the export failed: " + csv.substr(0, 300));
        return problems;
    }
    // Notes hold no line breaks: one line per row after the header.
    size_t lines = 0;
    for (char ch : csv) lines += ch == '\n';
    if (lines != rows + 1) {
        problems.push_back("the export gave " + std::to_string(lines) + " lines for " +
                           std::to_string(rows) + " rows");
    }
    return problems;
}

}  // namespace reliability
