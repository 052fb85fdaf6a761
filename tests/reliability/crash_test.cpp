// Killing a writer at any moment never damages the database.
//
// A child process runs the workload's commits one after another and reports each finished
// commit on its output; the parent kills it, then opens the file (which restores from any
// journal left behind) and demands exactly the state after the last reported commit or the one
// being made, a clean index check and a file mdb-export reads.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "jet/database_impl.h"
#include "jet/pager.h"
#include "jet/path_text.h"
#include "support/child_process.h"
#include "support/test_support.h"
#include "workload.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

// How the child dies: killed by the parent after a delay, or killing itself at an exact step of
// a commit (the pager's fault hook).
struct KillPlan {
    int delayMicros = -1;  // >= 0: parent kills after this long
    jet::FaultPoint point = jet::FaultPoint::JournalWrite;
    uint64_t count = 0;
    int atCommitOffset = 0;  // self-kill during this commit (0: the first one the child makes)
};

// writeCommits DB NEXT LIMIT [POINT COUNT OFFSET]: runs commits NEXT, NEXT+1, ... (LIMIT of
// them) and prints each one's number once it is made, after a first line "ready". With a step
// given, the process ends at that step of commit NEXT+OFFSET, as a crash would.
VELTRA_CHILD_ROLE(writeCommits) {
    auto db = jet::Database::open(jet::pathFromUtf8(args.at(0)), jet::OpenMode::ReadWrite);
    const int next = std::stoi(args.at(1)), limit = std::stoi(args.at(2));
    int commitNo = next;
    if (args.size() == 6) {
        const auto point = jet::FaultPoint(std::stoi(args[3]));
        const uint64_t count = std::stoull(args[4]);
        const int dying = next + std::stoi(args[5]);
        db->impl()->pager().setFaultHook([&, point, count, dying](jet::FaultPoint p, uint64_t n) {
            if (commitNo == dying && p == point && n == count) std::_Exit(0);
        });
    }
    std::cout << "ready" << std::endl;
    for (; commitNo < next + limit; ++commitNo) {
        runCommit(*db, commitNo);
        std::cout << commitNo << std::endl;
    }
    return 0;
}

// Runs commits from `next` on in a child until killed (or `limit` commits). Returns the last
// commit the child reported finished (next - 1 if none).
int runAndKill(const fs::path& file, int next, int limit, const KillPlan& plan) {
    std::vector<std::string> args = {jet::utf8FromPath(file), std::to_string(next),
                                     std::to_string(limit)};
    if (plan.delayMicros < 0) {
        args.insert(args.end(), {std::to_string(int(plan.point)), std::to_string(plan.count),
                                 std::to_string(plan.atCommitOffset)});
    }
    auto child = testing_support::ChildProcess::start("writeCommits", args);
    const bool started = child.readLine() == "ready";
    if (started && plan.delayMicros >= 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(plan.delayMicros));
        child.kill();
    }
    int last = next - 1;
    for (std::string line; !(line = child.readLine()).empty();) last = std::stoi(line);
    const int status = child.wait();
    if (!started || (status != 0 && status != -1)) {
        throw std::runtime_error("the writer failed before it was killed");
    }
    return last;
}

// Opens the file after a kill and works out which commit it holds; fails the test unless that
// is `last` or `last + 1` and the file is sound. Returns the commit found.
int verifyAfterKill(const fs::path& file, int last, const std::string& what) {
    PayState state;
    {
        auto db = jet::Database::open(file, jet::OpenMode::ReadWrite);  // rolls back a journal
        state = readState(*db);
    }
    EXPECT_FALSE(fs::exists(fs::path(file.string() + ".jnl"))) << what;
    const std::optional<int> commit = matchCommit(state, last, last + 1);
    EXPECT_TRUE(commit.has_value()) << what << ": the rows match neither commit " << last << " nor "
                                    << last + 1 << " (" << state.size() << " rows)";
    const auto problems = auditFile(file, state.size());
    EXPECT_TRUE(problems.empty()) << what << ": " << (problems.empty() ? "" : problems.front());
    return commit.value_or(-1000);
}

class CrashTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = dir_ / "Payroll.mdb";
        createWorkloadDatabase(file_);
        // A few commits first, so that updates and deletes have rows to work on.
        auto db = jet::Database::open(file_, jet::OpenMode::ReadWrite);
        for (int c = 1; c <= 3; ++c) runCommit(*db, c);
        committed_ = 3;
    }
    testing_support::TempDir dir_;
    fs::path file_;
    int committed_ = 0;
};

TEST_F(CrashTest, KilledAtEveryStepOfACommitKeepsTheLastCommit) {
    using jet::FaultPoint;
    // Every page write of the commit: count them on a copy first.
    uint64_t pages = 0;
    {
        const fs::path probe = dir_ / "probe.mdb";
        fs::copy_file(file_, probe);
        auto db = jet::Database::open(probe, jet::OpenMode::ReadWrite);
        db->impl()->pager().setFaultHook(
            [&](FaultPoint point, uint64_t) { pages += point == FaultPoint::PageWrite; });
        runCommit(*db, committed_ + 1);
    }
    ASSERT_GT(pages, 3u);
    int kills = 0;
    for (FaultPoint point :
         {FaultPoint::JournalWrite, FaultPoint::JournalSync, FaultPoint::PageWrite,
          FaultPoint::FileSync, FaultPoint::JournalDelete}) {
        std::vector<uint64_t> counts = {0};
        for (uint64_t k = 1; point == FaultPoint::PageWrite && k < pages; ++k) counts.push_back(k);
        for (uint64_t count : counts) {
            KillPlan plan;
            plan.point = point;
            plan.count = count;
            const int last = runAndKill(file_, committed_ + 1, 1, plan);
            const std::string what =
                "killed at step " + std::to_string(int(point)) + "/" + std::to_string(count);
            ASSERT_EQ(last, committed_) << what << ": the commit finished before its kill";
            // From the journal's creation on, a kill leaves it behind for the next open.
            EXPECT_EQ(fs::exists(file_.string() + ".jnl"), point != FaultPoint::JournalWrite)
                << what;
            const int found = verifyAfterKill(file_, last, what);
            // Until every page is written and synced the commit has not happened; after that
            // it is whole in the file, as other programs already see it, and is kept.
            const bool whole = point == FaultPoint::JournalDelete;
            EXPECT_EQ(found, whole ? committed_ + 1 : committed_) << what;
            committed_ = found < 0 ? committed_ : found;
            ++kills;
        }
    }
    std::printf("[ reliability ] %d writers killed at exact steps of a commit\n", kills);
}

TEST_F(CrashTest, KilledAtRandomMomentsAlwaysHoldsACommittedState) {
    int kills = 0, midCommit = 0;
    // VELTRA_SOAK_SECONDS=600 turns this into a soak run by hand.
    const char* soak = std::getenv("VELTRA_SOAK_SECONDS");
    const int seconds = soak ? std::atoi(soak) : 3;
    const int maxKills = soak ? 1 << 30 : 200;
    std::mt19937 random(soak ? std::random_device{}() : 20261205);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    // At least a dozen kills however slow the machine; more while time allows.
    while ((kills < 12 || std::chrono::steady_clock::now() < deadline) && kills < maxKills) {
        // Start again from a small file now and then, so later rounds stay quick.
        if (committed_ > 30) {
            fs::remove(file_);
            SetUp();
        }
        KillPlan plan;
        plan.delayMicros = std::uniform_int_distribution<int>(0, 25000)(random);
        const int last = runAndKill(file_, committed_ + 1, 40, plan);
        const int found = verifyAfterKill(
            file_, last,
            "kill " + std::to_string(kills) + " after " + std::to_string(plan.delayMicros) + " us");
        if (found < 0) return;
        midCommit += found == last + 1;
        committed_ = found;
        ++kills;
    }
    std::printf(
        "[ reliability ] %d random kills survived (%d after a commit that finished unreported)\n",
        kills, midCommit);
}

}  // namespace
}  // namespace reliability
