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

#include "bench/insert_loop.h"
#include "jet/database.h"

namespace {

namespace fs = std::filesystem;

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void run(int rows, bool withMemo) {
    fs::path dir = fs::temp_directory_path() / "row_write_bench";
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::path file = dir / "bench.mdb";
    size_t valueBytes = 0;
    const std::vector<jet::Row> batch = bench::insertLoopRows(rows, withMemo, valueBytes);
    auto db = bench::insertLoopDatabase(file, withMemo);
    const auto sizeBefore = fs::file_size(file);
    jet::Table table = db->table("Employees");

    std::vector<jet::RowId> ids;
    double seconds = bench::insertLoop(*db, table, batch, ids);
    auto grown = double(fs::file_size(file) - sizeBefore);
    std::printf("insert %s: %d rows in %.3f s, %.0f rows/s, file +%.0f bytes/row (values %.0f)\n",
                withMemo ? "with memo" : "no memo  ", rows, seconds, rows / seconds, grown / rows,
                double(valueBytes) / rows);

    // A transfer's pattern: a savepoint per line, released when the line is done.
    auto start = std::chrono::steady_clock::now();
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
