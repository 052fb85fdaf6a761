// The insert loop of row_write_bench, shared with transfer_bench: a payroll-sized batch of rows
// inserted into an indexed table in one transaction and one commit. transfer_bench runs it in its
// own process as the machine's yardstick, so its times can be read as ratios across machines.
#pragma once

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "jet/database.h"

namespace bench {

inline jet::TableDefinition insertLoopTable(bool withMemo) {
    jet::TableDefinition t;
    t.name = "Employees";
    auto column = [&](const char* name, jet::ColumnType type, int size = 0) {
        jet::ColumnDefinition c;
        c.name = name;
        c.type = type;
        c.size = size;
        t.columns.push_back(c);
        return &t.columns.back();
    };
    column("ID", jet::ColumnType::Long)->autoNumber = true;
    column("Code", jet::ColumnType::Text, 10);
    column("Name", jet::ColumnType::Text, 60);
    column("Salary", jet::ColumnType::Currency);
    column("Started", jet::ColumnType::DateTime);
    column("Active", jet::ColumnType::Boolean);
    if (withMemo) column("Notes", jet::ColumnType::Memo);
    jet::IndexDefinition pk;
    pk.name = "PrimaryKey";
    pk.primaryKey = true;
    pk.columns = {{"ID", true}};
    jet::IndexDefinition code;
    code.name = "Code";
    code.unique = true;
    code.columns = {{"Code", true}};
    jet::IndexDefinition name;
    name.name = "Name";
    name.columns = {{"Name", true}};
    t.indexes = {pk, code, name};
    return t;
}

// The rows to insert, always the same for a count; `valueBytes` gets their packed size.
inline std::vector<jet::Row> insertLoopRows(int rows, bool withMemo, size_t& valueBytes) {
    std::mt19937 random(7);
    const char* names[] = {"สมชาย ใจดี", "สมหญิง รักไทย", "Anan Müller", "กนกวรรณ ศรีสุข", "Somsak K."};
    std::vector<jet::Row> batch;
    valueBytes = 0;
    for (int i = 0; i < rows; ++i) {
        jet::Row row{jet::Value(),
                     jet::Value("E" + std::to_string(100000 + i)),
                     jet::Value(std::string(names[random() % 5]) + " " + std::to_string(i)),
                     jet::Value(jet::Currency{int64_t(random() % 10000000) * 100}),
                     jet::Value(jet::DateTime{double(30000 + random() % 15000)}),
                     jet::Value(bool(random() % 2))};
        valueBytes += 4 + 2 * 7 + 2 * 20 + 8 + 8;
        if (withMemo) {
            std::string memo(size_t(1 + random() % 300), 'm');
            valueBytes += memo.size();
            row.push_back(jet::Value(memo));
        }
        batch.push_back(std::move(row));
    }
    return batch;
}

// Creates `file` afresh with the table and returns it open for writing.
inline std::shared_ptr<jet::Database> insertLoopDatabase(const std::filesystem::path& file,
                                                         bool withMemo) {
    std::filesystem::remove(file);
    {
        auto db = jet::Database::create(file);
        db->createTable(insertLoopTable(withMemo));
    }
    return jet::Database::open(file, jet::OpenMode::ReadWrite);
}

// The timed loop: every row inserted in one transaction, one commit. Returns seconds.
inline double insertLoop(jet::Database& db, jet::Table& table, const std::vector<jet::Row>& batch,
                         std::vector<jet::RowId>& ids) {
    const auto start = std::chrono::steady_clock::now();
    db.begin();
    ids.clear();
    ids.reserve(batch.size());
    for (const jet::Row& row : batch) ids.push_back(table.insert(row));
    db.commit();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The machine's insert figure: seconds for the loop over 32,767 rows without memos, on a new
// file in `folder` (removed afterwards).
inline double insertFigure(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    const std::filesystem::path file = folder / "insert-figure.mdb";
    double seconds = 0;
    {
        size_t valueBytes = 0;
        const std::vector<jet::Row> batch = insertLoopRows(32767, false, valueBytes);
        auto db = insertLoopDatabase(file, false);
        jet::Table table = db->table("Employees");
        std::vector<jet::RowId> ids;
        seconds = insertLoop(*db, table, batch, ids);
    }
    std::filesystem::remove(file);
    return seconds;
}

}  // namespace bench
