// A deterministic write workload and its model, shared by the crash and fault tests.
//
// Commit number c (1, 2, ...) inserts a batch of rows, updates some rows of commit c-1 and
// deletes some of commit c-2, all in one transaction. The model computes, without the engine,
// the rows the table must hold after any number of commits, so a test can tell whether a
// database that went through kills or failures holds exactly some committed state.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "jet/database.h"

namespace reliability {

// The table's contents keyed by its primary key "No".
struct PayRow {
    std::string employee;
    int64_t amount = 0;  // currency units
    std::string note;
    friend bool operator==(const PayRow&, const PayRow&) = default;
};
using PayState = std::map<int32_t, PayRow>;

inline constexpr const char* kTable = "Pay";

// Creates the database with the workload's empty table (and an indexed text column).
void createWorkloadDatabase(const std::filesystem::path& path);

// Runs commit number `c` against `db` (begin ... commit). REQUIRES: db holds the state after
// commit c - 1.
void runCommit(jet::Database& db, int c);

// The state after `commits` commits.
PayState expectedState(int commits);

// The rows the table holds now.
PayState readState(jet::Database& db);

// Which committed state `actual` is, searching commits `from`..`to`; nullopt when none.
std::optional<int> matchCommit(const PayState& actual, int from, int to);

// Problems a reader would have with the file: the engine's index check and an export of the
// table by another program (testing_support::exportTable), its rows counted against `rows`.
// Empty means sound.
// REQUIRES: the database is not open in this process.
std::vector<std::string> auditFile(const std::filesystem::path& path, size_t rows);

}  // namespace reliability
