// Other programs at the database: a second writer, a read-only folder, a lock file held by
// someone else. Whoever cannot write is refused at open with a clear error; nothing interleaves.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "jet/database_impl.h"
#include "jet/pager.h"
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

// Forks a child that runs `body` and then waits for a byte on the returned pipe before it
// exits; `ready` is read once body has finished its setup.
struct Holder {
    pid_t pid = -1;
    int release = -1;

    template <typename Body>
    static Holder start(Body body) {
        int up[2], down[2];
        if (::pipe(up) != 0 || ::pipe(down) != 0) throw std::runtime_error("pipe");
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(up[0]);
            ::close(down[1]);
            char ok = 'n';
            std::shared_ptr<void> keep;
            try {
                keep = body();
                ok = 'y';
            } catch (...) {
            }
            if (::write(up[1], &ok, 1) != 1) ::_exit(3);
            char go;
            if (::read(down[0], &go, 1) < 0) ::_exit(3);
            keep.reset();
            ::_exit(0);
        }
        ::close(up[1]);
        ::close(down[0]);
        char ok = 0;
        if (::read(up[0], &ok, 1) != 1 || ok != 'y') throw std::runtime_error("holder failed");
        ::close(up[0]);
        return Holder{pid, down[1]};
    }
    void stop() {
        if (pid < 0) return;
        ::close(release);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
    }
};

class ConcurrencyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = dir_ / "Payroll.mdb";
        createWorkloadDatabase(file_);
        auto db = jet::Database::open(file_, jet::OpenMode::ReadWrite);
        for (int c = 1; c <= 2; ++c) runCommit(*db, c);
    }
    void TearDown() override { ::chmod(dir_.path().c_str(), 0755); }

    testing_support::TempDir dir_;
    fs::path file_;
};

TEST_F(ConcurrencyTest, ASecondWriterIsRefusedWhileTheFirstHoldsTheFile) {
    Holder first = Holder::start([&] {
        return std::static_pointer_cast<void>(jet::Database::open(file_, jet::OpenMode::ReadWrite));
    });
    std::string message;
    EXPECT_EQ(openForWriting(file_, &message), jet::ErrorCode::InUse);
    EXPECT_NE(message.find("in use"), std::string::npos) << message;
    EXPECT_NE(message.find("Payroll.mdb"), std::string::npos) << message;
    // Reading stays possible and sees the committed rows.
    {
        auto reader = jet::Database::open(file_, jet::OpenMode::ReadOnly);
        EXPECT_TRUE(readState(*reader) == expectedState(2));
    }
    first.stop();
    EXPECT_EQ(openForWriting(file_), std::nullopt);
}

// Two processes each make several turns of three commits, retrying while the other holds the
// file. Each turn continues from whatever the file holds: if turns interleaved, the rows would
// match no committed state.
TEST_F(ConcurrencyTest, TwoWritersTakeTurnsAndNeverInterleave) {
    constexpr int kTurns = 4, kCommitsPerTurn = 3;
    auto writer = [&]() -> int {
        int refusals = 0;
        for (int turn = 0; turn < kTurns;) {
            try {
                auto db = jet::Database::open(file_, jet::OpenMode::ReadWrite);
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
    };
    pid_t pids[2];
    for (pid_t& pid : pids) {
        pid = ::fork();
        if (pid == 0) ::_exit(writer());
    }
    for (pid_t pid : pids) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_LT(WEXITSTATUS(status), 100) << "a writer found foreign rows or another error";
    }
    auto db = jet::Database::open(file_, jet::OpenMode::ReadWrite);
    EXPECT_TRUE(readState(*db) == expectedState(2 + 2 * kTurns * kCommitsPerTurn));
    EXPECT_TRUE(db->check().empty());
}

TEST_F(ConcurrencyTest, AReadOnlyFolderRefusesWritingAndStillReads) {
    // A writer killed mid-commit left its journal; then the folder became read-only.
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto db = jet::Database::open(file_, jet::OpenMode::ReadWrite);
        db->impl()->pager().setFaultHook([](jet::FaultPoint point, uint64_t count) {
            if (point == jet::FaultPoint::PageWrite && count == 2) ::raise(SIGKILL);
        });
        runCommit(*db, 3);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(fs::exists(dir_ / "Payroll.mdb.jnl"));
    const std::string torn = testing_support::readFile(file_);
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0555), 0);

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
    ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
    auto db = jet::Database::open(file_, jet::OpenMode::ReadWrite);
    EXPECT_TRUE(readState(*db) == expectedState(2));
    EXPECT_FALSE(fs::exists(dir_ / "Payroll.mdb.jnl"));
}

TEST_F(ConcurrencyTest, ALockFileHeldByAnotherProgramRefusesWriting) {
    // Another program holds the lock file (a classic record lock over all of it) but has not
    // locked the database itself.
    const fs::path ldb = dir_ / "Payroll.ldb";
    Holder other = Holder::start([&] {
        const int fd = ::open(ldb.c_str(), O_RDWR | O_CREAT, 0644);
        if (fd < 0) throw std::runtime_error("open");
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        if (::fcntl(fd, F_SETLK, &fl) != 0) throw std::runtime_error("lock");
        return std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
    });
    std::string message;
    EXPECT_EQ(openForWriting(file_, &message), jet::ErrorCode::InUse);
    EXPECT_NE(message.find("in use"), std::string::npos) << message;
    // The refusal neither removed the other program's lock file nor touched the database.
    EXPECT_TRUE(fs::exists(ldb));
    {
        auto reader = jet::Database::open(file_, jet::OpenMode::ReadOnly);
        EXPECT_TRUE(readState(*reader) == expectedState(2));
    }
    other.stop();

    // A lock file left behind by a program that is gone blocks nobody.
    ASSERT_TRUE(fs::exists(ldb));
    EXPECT_EQ(openForWriting(file_), std::nullopt);
    EXPECT_FALSE(fs::exists(ldb));
}

}  // namespace
}  // namespace reliability
