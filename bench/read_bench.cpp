// Reading speed of the engine: builds a 100,000-row table in a fresh database, then times a full
// scan, a scan that only lists row ids, and random reads by row id. Prints rows per second and the
// process's peak resident memory. Run by hand: build/bench/read_bench [ROWS] [FOLDER]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

#include "jet/database.h"

namespace {

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

long peakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

jet::TableDefinition payrollTable() {
    jet::TableDefinition t;
    t.name = "Payments";
    auto add = [&](const char* name, jet::ColumnType type, int size = 0) {
        jet::ColumnDefinition c;
        c.name = name;
        c.type = type;
        c.size = size;
        t.columns.push_back(c);
        return &t.columns.back();
    };
    add("ID", jet::ColumnType::Long)->autoNumber = true;
    add("EmployeeCode", jet::ColumnType::Text, 10);
    add("FullName", jet::ColumnType::Text, 50);
    add("Amount", jet::ColumnType::Currency);
    add("Rate", jet::ColumnType::Double);
    add("Paid", jet::ColumnType::Boolean);
    add("PayDate", jet::ColumnType::DateTime);
    add("Note", jet::ColumnType::Memo);
    jet::IndexDefinition pk;
    pk.name = "PrimaryKey";
    pk.primaryKey = true;
    pk.columns.push_back({"ID", true});
    t.indexes.push_back(pk);
    return t;
}

}  // namespace

// Reads the file in a process of its own so that its peak memory is the reading's alone.
int readPhase(const std::filesystem::path& file) {
    auto db = jet::Database::open(file, jet::OpenMode::ReadOnly);
    jet::Table table = db->table("Payments");

    auto start = std::chrono::steady_clock::now();
    int64_t scanned = 0, total = 0;
    table.scan([&](jet::RowId, const jet::Row& row) {
        ++scanned;
        total += row[3].as<jet::Currency>().units;
        return true;
    });
    double scan = seconds(std::chrono::steady_clock::now() - start);

    start = std::chrono::steady_clock::now();
    auto ids = table.rowIds();
    double list = seconds(std::chrono::steady_clock::now() - start);

    std::mt19937 random(1);
    const int reads = 20000;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < reads; ++i)
        total += table.read(ids[random() % ids.size()], 0).as<int32_t>();
    double byId = seconds(std::chrono::steady_clock::now() - start);

    std::printf("rows                  %lld (checksum %lld)\n", static_cast<long long>(scanned),
                static_cast<long long>(total));
    std::printf("file                  %.1f MiB\n",
                double(std::filesystem::file_size(file)) / 1048576.0);
    std::printf("full scan             %.3f s  %10.0f rows/s\n", scan, double(scanned) / scan);
    std::printf("row ids only          %.3f s  %10.0f rows/s\n", list, double(ids.size()) / list);
    std::printf("random read by id     %.3f s  %10.0f rows/s\n", byId, reads / byId);
    std::printf("peak RSS (reading)    %ld KiB\n", peakRssKiB());
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--read") return readPhase(argv[2]);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    std::filesystem::path folder =
        argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    std::filesystem::path file = folder / "read_bench.mdb";
    std::filesystem::remove(file);

    auto start = std::chrono::steady_clock::now();
    {
        auto db = jet::Database::create(file);
        jet::Table table = db->createTable(payrollTable());
        db->begin();
        for (int i = 0; i < rows; ++i) {
            jet::Row row{jet::Value(),
                         jet::Value("E" + std::to_string(100000 + i)),
                         jet::Value("Employee number " + std::to_string(i)),
                         jet::Value(jet::Currency{int64_t(i) * 12345}),
                         jet::Value(i * 0.25),
                         jet::Value(i % 3 == 0),
                         jet::Value(jet::DateTime::fromCivil({2024, 1 + i % 12, 1 + i % 28})),
                         i % 10 == 0 ? jet::Value("bonus paid in cash") : jet::Value()};
            table.insert(row);
        }
        db->commit();
    }
    std::printf("built %d rows in %.2f s (peak RSS while building %ld KiB)\n", rows,
                seconds(std::chrono::steady_clock::now() - start), peakRssKiB());
    std::fflush(stdout);
    std::string command = std::string("'") + argv[0] + "' --read '" + file.string() + "'";
    int status = std::system(command.c_str());
    std::filesystem::remove(file);
    return status == 0 ? 0 : 1;
}
