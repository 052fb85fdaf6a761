// Creating a payroll database of realistic size: a new file, the four payroll tables, 30,000
// employees and 600,000 calculation rows (twenty per employee: pay items over several periods).
// Prints the time of each step and the file's size. Run by hand:
//   build/bench/create_bench [employees] [calculation rows per employee] [folder]
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "../tests/jet/create_sample_schema.h"
#include "jet/database.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void report(const char* step, double seconds, long rows) {
    if (rows > 0) {
        std::printf("%-34s %9.2f s %12.0f rows/s\n", step, seconds, rows / seconds);
    } else {
        std::printf("%-34s %9.2f s\n", step, seconds);
    }
}

std::string code(const char* prefix, long n, int width) {
    std::string digits = std::to_string(n);
    return prefix + std::string(width > int(digits.size()) ? width - digits.size() : 0, '0') +
           digits;
}

jet::Row employee(const jet::Table& table, long n) {
    static const char* const kFirst[] = {"สมชาย", "สมหญิง", "วิชัย", "มาลี", "ประเสริฐ"};
    static const char* const kLast[] = {"ใจดี", "รักษ์ไทย", "ศรีสุข", "บุญมา", "ทองคำ"};
    jet::Row row(table.columns().size());
    auto set = [&](const char* column, jet::Value v) { row[table.columnIndex(column)] = v; };
    set("Employee#", code("E", n, 7));
    set("Company Code", "C01");
    set("Title", "นาย");
    set("First name", kFirst[n % 5]);
    set("Last name", std::string(kLast[(n / 5) % 5]) + " " + std::to_string(n));
    set("English name", "Employee " + std::to_string(n));
    set("ID card", code("1", n, 12));
    set("Department", code("D", n % 40, 2));
    set("Position", code("P", n % 25, 2));
    set("Status", "A");
    set("Birth date", jet::DateTime{25000.0 + n % 9000});
    set("Hired date", jet::DateTime{38000.0 + n % 5000});
    set("Dependent1", int16_t(n % 3));
    set("Dependent2", int16_t(0));
    set("Salary", jet::Currency{(15000 + n % 50000) * 10000LL});
    if (n % 10 == 0) set("Address", std::string(300, 'x') + " ถนนสุขุมวิท กรุงเทพมหานคร");
    return row;
}

jet::Row calculation(const jet::Table& table, long employeeNumber, int item) {
    jet::Row row(table.columns().size());
    auto set = [&](const char* column, jet::Value v) { row[table.columnIndex(column)] = v; };
    set("Company Code", "C01");
    set("Employee#", code("E", employeeNumber, 7));
    set("Year", int16_t(2026));
    set("Period", uint8_t(1 + item % 12));
    set("Type for", item % 2 ? "V" : "F");
    set("Type", code("", item % 7, 2));
    set("Code", code("", item, 2));
    set("Amount", jet::Currency{(100 + item * 37 + employeeNumber % 1000) * 10000LL});
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    long employees = argc > 1 ? std::stol(argv[1]) : 30000;
    long perEmployee = argc > 2 ? std::stol(argv[2]) : 20;
    std::filesystem::path folder =
        argc > 3 ? std::filesystem::path(argv[3]) : std::filesystem::temp_directory_path();
    std::filesystem::path path = folder / "create_bench.mdb";
    std::filesystem::remove(path);
    constexpr long kRowsPerCommit = 10000;

    auto start = Clock::now();
    auto db = jet::Database::create(path);
    report("create database", secondsSince(start), 0);

    start = Clock::now();
    for (const auto& definition : testing_support::payrollTables()) db->createTable(definition);
    report("create the four payroll tables", secondsSince(start), 0);

    start = Clock::now();
    jet::Table master = db->table("Employee Master");
    db->begin();
    for (long n = 0; n < employees; ++n) {
        master.insert(employee(master, n));
        if ((n + 1) % kRowsPerCommit == 0) {
            db->commit();
            db->begin();
        }
    }
    db->commit();
    report("insert employees", secondsSince(start), employees);

    start = Clock::now();
    jet::Table calc = db->table("Data Calc");
    long rows = 0;
    db->begin();
    for (long n = 0; n < employees; ++n) {
        for (int item = 0; item < perEmployee; ++item) {
            calc.insert(calculation(calc, n, item));
            if (++rows % kRowsPerCommit == 0) {
                db->commit();
                db->begin();
            }
        }
    }
    db->commit();
    report("insert calculation rows", secondsSince(start), rows);

    start = Clock::now();
    auto problems = db->check();
    report("check every index", secondsSince(start), 0);

    std::printf("employees %ld, calculation rows %ld, file %s: %.1f MB (%ju bytes), %zu problems\n",
                employees, rows, path.string().c_str(),
                std::filesystem::file_size(path) / 1048576.0,
                static_cast<uintmax_t>(std::filesystem::file_size(path)), problems.size());
    return problems.empty() ? 0 : 1;
}
