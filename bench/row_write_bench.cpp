// Row writing speed: a payroll-sized batch of inserts into an indexed table in one transaction
// and one commit, without and with memo values; the same with a savepoint per row; then updates
// and deletes of every row.
// Usage: row_write_bench [rows]   (default 32767). Prints one line per phase: time, rows per
// second, and bytes the file grew by per row against the packed size of the row's values.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "jet/database.h"

namespace {

namespace fs = std::filesystem;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

jet::TableDefinition employees(bool withMemo) {
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

void run(int rows, bool withMemo) {
    fs::path dir = fs::temp_directory_path() / "row_write_bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path file = dir / "bench.mdb";
    {
        auto db = jet::Database::create(file);
        db->createTable(employees(withMemo));
    }
    const auto sizeBefore = fs::file_size(file);
    auto db = jet::Database::open(file, jet::OpenMode::ReadWrite);
    jet::Table table = db->table("Employees");

    std::mt19937 random(7);
    const char* names[] = {"สมชาย ใจดี", "สมหญิง รักไทย", "Anan Müller", "กนกวรรณ ศรีสุข", "Somsak K."};
    std::vector<jet::Row> batch;
    size_t valueBytes = 0;
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

    auto start = std::chrono::steady_clock::now();
    db->begin();
    std::vector<jet::RowId> ids;
    ids.reserve(batch.size());
    for (const jet::Row& row : batch) ids.push_back(table.insert(row));
    db->commit();
    double seconds = secondsSince(start);
    auto grown = double(fs::file_size(file) - sizeBefore);
    std::printf("insert %s: %d rows in %.3f s, %.0f rows/s, file +%.0f bytes/row (values %.0f)\n",
                withMemo ? "with memo" : "no memo  ", rows, seconds, rows / seconds, grown / rows,
                double(valueBytes) / rows);

    // A transfer's pattern: a savepoint per line, released when the line is done.
    start = std::chrono::steady_clock::now();
    db->begin();
    for (const jet::Row& row : batch) {
        jet::Row again = row;
        again[1] = jet::Value("F" + again[1].as<std::string>().substr(1));
        auto savepoint = db->savepoint();
        table.insert(again);
        db->release(savepoint);
    }
    db->rollback();
    seconds = secondsSince(start);
    std::printf("insert %s: %d rows in %.3f s, %.0f rows/s, a savepoint per row (rolled back)\n",
                withMemo ? "with memo" : "no memo  ", rows, seconds, rows / seconds);

    start = std::chrono::steady_clock::now();
    db->begin();
    for (size_t i = 0; i < ids.size(); ++i) {
        jet::Row row = batch[i];
        row[3] = jet::Value(jet::Currency{int64_t(i) * 10000});
        table.update(ids[i], row);
    }
    db->commit();
    seconds = secondsSince(start);
    std::printf("update %s: %d rows in %.3f s, %.0f rows/s\n", withMemo ? "with memo" : "no memo  ",
                rows, seconds, rows / seconds);

    start = std::chrono::steady_clock::now();
    db->begin();
    for (jet::RowId id : ids) table.remove(id);
    db->commit();
    seconds = secondsSince(start);
    std::printf("delete %s: %d rows in %.3f s, %.0f rows/s\n", withMemo ? "with memo" : "no memo  ",
                rows, seconds, rows / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    const int rows = argc > 1 ? std::atoi(argv[1]) : 32767;
    try {
        run(rows, false);
        run(rows, true);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "row_write_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
