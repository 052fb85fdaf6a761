// The starting point of the commit-failure tests: a database after a few workload commits,
// fresh copies of it, and the check that a copy holds exactly a given commit.
#pragma once

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "workload.h"

namespace reliability {

inline constexpr int kCommitted = 4;  // commits in the starting file; the failing one is the next

class FaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        baseline_ = dir_ / "baseline.mdb";
        createWorkloadDatabase(baseline_);
        auto db = jet::Database::open(baseline_, jet::OpenMode::ReadWrite);
        for (int c = 1; c <= kCommitted; ++c) runCommit(*db, c);
    }

    // A fresh copy of the starting file.
    std::filesystem::path freshCopy() {
        const std::filesystem::path file = dir_ / ("Payroll" + std::to_string(copies_++) + ".mdb");
        std::filesystem::copy_file(baseline_, file);
        return file;
    }

    // The file holds exactly `commits` commits and a reader finds nothing wrong with it.
    void expectFileHolds(const std::filesystem::path& file, int commits, const std::string& what) {
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(file.string() + ".jnl")))
            << what;
        PayState state;
        {
            auto db = jet::Database::open(file, jet::OpenMode::ReadWrite);
            state = readState(*db);
        }
        EXPECT_TRUE(state == expectedState(commits))
            << what << ": the file does not hold commit " << commits;
        const auto problems = auditFile(file, state.size());
        EXPECT_TRUE(problems.empty()) << what << ": " << (problems.empty() ? "" : problems[0]);
    }

    testing_support::TempDir dir_;
    std::filesystem::path baseline_;
    int copies_ = 0;
};

}  // namespace reliability
