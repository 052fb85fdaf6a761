// A payroll database that aged through calculation transfers, compacted where it is with jetdb:
// smaller, the same rows in every table, sound for our check and the independent validator.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::runCommand;
using testing_support::splitLines;
using testing_support::TempDir;

const std::string kProgram = std::string(VELTRA_BINARY_DIR) + "/app/veltra-transfer";
const std::string kJetdb = std::string(VELTRA_BINARY_DIR) + "/jetdb";

std::string quote(const fs::path& path) {
    return "'" + path.string() + "'";
}

// Every table's rows as mdb-export reads them, each table's lines sorted.
std::vector<std::string> rowsOf(const fs::path& db) {
    std::vector<std::string> out;
    for (const std::string& table : splitLines(runCommand("mdb-tables -1 " + quote(db)))) {
        out.push_back("== " + table);
        std::vector<std::string> rows =
            splitLines(runCommand("mdb-export " + quote(db) + " '" + table + "' 2>/dev/null"));
        std::sort(rows.begin(), rows.end());
        out.insert(out.end(), rows.begin(), rows.end());
    }
    return out;
}

TEST(CompactGrown, CalculationTransfersThenCompactInPlace) {
    TempDir work;
    const fs::path co = work / "co";
    int status = 0;
    std::string out = runCommand(
        quote(kProgram) + " sample " + quote(co) + " --employees 300 --seed 5 --full 2>&1",
        &status);
    ASSERT_EQ(status, 0) << out;
    const fs::path db = co / "Melvar.mdb";
    for (int i = 0; i < 4; ++i) {
        out = runCommand(quote(kProgram) + " transfer --kind calc --text " +
                             quote(co / "DataCalc.txt") + " --db " + quote(db) +
                             " --separator , 2>&1",
                         &status);
        ASSERT_EQ(status, 0) << out;
    }
    const auto size = fs::file_size(db);
    const std::vector<std::string> before = rowsOf(db);
    ASSERT_GT(before.size(), 3000u);

    out = runCommand(quote(kJetdb) + " compact --in-place " + quote(db) + " 2>&1", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("free pages left inside: 0"), std::string::npos) << out;
    EXPECT_LT(fs::file_size(db), size);
    EXPECT_FALSE(fs::exists(co / "Melvar.mdb.bak"));
    EXPECT_EQ(rowsOf(db), before);

    out = runCommand(quote(kJetdb) + " check " + quote(db) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    const fs::path validator = fs::path(VELTRA_SHARED_DIR) / "validator" / "validate.sh";
    out = runCommand("sh " + quote(validator) + " " + quote(db) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;

    // The database goes on taking transfers.
    out = runCommand(quote(kProgram) + " transfer --kind calc --text " +
                         quote(co / "DataCalc.txt") + " --db " + quote(db) + " --separator , 2>&1",
                     &status);
    EXPECT_EQ(status, 0) << out;
}

}  // namespace
