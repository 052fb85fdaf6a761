// Other programs at the database: a second writer, a read-only file, a lock file held by
// someone else. Whoever cannot write is refused at open with a clear error; nothing interleaves.
#include <chrono>
#include <filesystem>
#include <iostream>
#include <thread>

#include <gtest/gtest.h>

#include "jet/database_impl.h"
#include "jet/file.h"
#include "jet/pager.h"
#include "jet/path_text.h"
#include "support/child_process.h"
#include "support/error_number.h"
#include "support/test_support.h"
#include "workload.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

// The error code of opening `file` for writing, or nullopt when it opened.
std::optional<jet::ErrorCode> openForWriting(const fs::path& file, std::string* message = nullptr) {
    return testing_support::errorNumberOf<jet::Error>(
        [&] { jet::Database::open(file, jet::OpenMode::ReadWrite); }, message);
}

using testing_support::ChildProcess;

// Child roles; each says "holding" once it holds what it holds, then waits to be killed.
// holdDatabase DB: a writer with the database open.
VELTRA_CHILD_ROLE(holdDatabase) {
    auto db = jet::Database::open(jet::pathFromUtf8(args.at(0)), jet::OpenMode::ReadWrite);
    std::cout << "holding" << std::endl;
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

// holdLockFile LDB: another program with a lock on the lock file, not on the database.
VELTRA_CHILD_ROLE(holdLockFile) {
    jet::File file =
        jet::File::open(jet::pathFromUtf8(args.at(0)), jet::FileMode::OpenAlways, "cannot open");
    if (!file.tryLock()) return 1;
    std::cout << "holding" << std::endl;
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

constexpr int kTurns = 4, kCommitsPerTurn = 3;

// takeTurns DB: several turns of three commits, retrying while the other writer holds the
// file. Exit status: the refusals met (below 100), or 100 and above for foreign rows or
// another error.
VELTRA_CHILD_ROLE(takeTurns) {
    const fs::path file = jet::pathFromUtf8(args.at(0));
    int refusals = 0;
    for (int turn = 0; turn < kTurns;) {
        try {
            auto db = jet::Database::open(file, jet::OpenMode::ReadWrite);
            const auto at = matchCommit(readState(*db), 0, 2 + 2 * kTurns * kCommitsPerTurn);
            if (!at) return 100;
            for (int c = *at + 1; c <= *at + kCommitsPerTurn; ++c) runCommit(*db, c);
            ++turn;
        } catch (const jet::Error& e) {
            if (e.code() != jet::ErrorCode::InUse) return 101;
            ++refusals;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    return std::min(refusals, 99);
}

// dieInCommit DB: makes commit 3 and ends the process at its third page write, journal left.
VELTRA_CHILD_ROLE(dieInCommit) {
    auto db = jet::Database::open(jet::pathFromUtf8(args.at(0)), jet::OpenMode::ReadWrite);
    db->impl()->pager().setFaultHook([](jet::FaultPoint point, uint64_t count) {
        if (point == jet::FaultPoint::PageWrite && count == 2) std::_Exit(0);
    });
    runCommit(*db, 3);
    return 1;
}

// Starts a holding role and waits until it holds.
ChildProcess holding(const std::string& role, const fs::path& path) {
    ChildProcess child = ChildProcess::start(role, {jet::utf8FromPath(path)});
    if (child.readLine() != "holding") throw std::runtime_error(role + " failed");
    return child;
}

class ConcurrencyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = dir_ / "Payroll.mdb";
        createWorkloadDatabase(file_);
        auto db = jet::Database::open(file_, jet::OpenMode::ReadWrite);
        for (int c = 1; c <= 2; ++c) runCommit(*db, c);
    }
    void TearDown() override { testing_support::setReadOnly(jet::utf8FromPath(file_), false); }

    testing_support::TempDir dir_;
    fs::path file_;
};

TEST_F(ConcurrencyTest, ASecondWriterIsRefusedWhileTheFirstHoldsTheFile) {
    ChildProcess first = holding("holdDatabase", file_);
    std::string message;
    EXPECT_EQ(openForWriting(file_, &message), jet::ErrorCode::InUse);
    EXPECT_NE(message.find("in use"), std::string::npos) << message;
    EXPECT_NE(message.find("Payroll.mdb"), std::string::npos) << message;
    // Reading stays possible and sees the committed rows.
    {
        auto reader = jet::Database::open(file_, jet::OpenMode::ReadOnly);
        EXPECT_TRUE(readState(*reader) == expectedState(2));
    }
    first.kill();
    first.wait();
    EXPECT_EQ(openForWriting(file_), std::nullopt);
}

// Two processes each make several turns of three commits, retrying while the other holds the
// file. Each turn continues from whatever the file holds: if turns interleaved, the rows would
// match no committed state.
TEST_F(ConcurrencyTest, TwoWritersTakeTurnsAndNeverInterleave) {
    ChildProcess writers[2] = {ChildProcess::start("takeTurns", {jet::utf8FromPath(file_)}),
                               ChildProcess::start("takeTurns", {jet::utf8FromPath(file_)})};
    for (ChildProcess& writer : writers) {
        const int status = writer.wait();
        EXPECT_TRUE(status >= 0 && status < 100) << "a writer found foreign rows or another error";
    }
    auto db = jet::Database::open(file_, jet::OpenMode::ReadWrite);
    EXPECT_TRUE(readState(*db) == expectedState(2 + 2 * kTurns * kCommitsPerTurn));
    EXPECT_TRUE(db->check().empty());
}

TEST_F(ConcurrencyTest, AReadOnlyFileRefusesWritingAndStillReads) {
    // A writer killed mid-commit left its journal; then the file was marked read-only.
    ASSERT_EQ(ChildProcess::start("dieInCommit", {jet::utf8FromPath(file_)}).wait(), 0);
    ASSERT_TRUE(fs::exists(dir_ / "Payroll.mdb.jnl"));
    const std::string torn = testing_support::readFile(file_);
    testing_support::setReadOnly(jet::utf8FromPath(file_), true);

    std::string message;
    EXPECT_EQ(openForWriting(file_, &message), jet::ErrorCode::ReadOnly);
    EXPECT_NE(message.find("read-only"), std::string::npos) << message;
    {
        // A reader sees the last commit through the journal, without touching anything.
        auto reader = jet::Database::open(file_, jet::OpenMode::ReadOnly);
        EXPECT_TRUE(readState(*reader) == expectedState(2));
        EXPECT_TRUE(reader->check().empty());
    }
    EXPECT_TRUE(testing_support::readFile(file_) == torn);
    EXPECT_TRUE(fs::exists(dir_ / "Payroll.mdb.jnl"));

    // Writable again: the first writer restores the file.
    testing_support::setReadOnly(jet::utf8FromPath(file_), false);
    auto db = jet::Database::open(file_, jet::OpenMode::ReadWrite);
    EXPECT_TRUE(readState(*db) == expectedState(2));
    EXPECT_FALSE(fs::exists(dir_ / "Payroll.mdb.jnl"));
}

TEST_F(ConcurrencyTest, ALockFileHeldByAnotherProgramRefusesWriting) {
    // Another program holds a lock on the lock file but has not locked the database itself.
    const fs::path ldb = dir_ / "Payroll.ldb";
    ChildProcess other = holding("holdLockFile", ldb);
    std::string message;
    EXPECT_EQ(openForWriting(file_, &message), jet::ErrorCode::InUse);
    EXPECT_NE(message.find("in use"), std::string::npos) << message;
    // The refusal neither removed the other program's lock file nor touched the database.
    EXPECT_TRUE(fs::exists(ldb));
    {
        auto reader = jet::Database::open(file_, jet::OpenMode::ReadOnly);
        EXPECT_TRUE(readState(*reader) == expectedState(2));
    }
    other.kill();
    other.wait();

    // A lock file left behind by a program that is gone blocks nobody.
    ASSERT_TRUE(fs::exists(ldb));
    EXPECT_EQ(openForWriting(file_), std::nullopt);
    EXPECT_FALSE(fs::exists(ldb));
}

}  // namespace
}  // namespace reliability
