// A commit that fails at any step leaves the database as it was before the commit, reports an
// error naming the file, and leaves the open database usable: the same changes commit cleanly
// afterwards.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "jet/database_impl.h"
#include "jet/pager.h"
#include "support/error_number.h"
#include "support/test_support.h"
#include "workload.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;
using jet::FaultPoint;
using testing_support::errorNumberOf;

constexpr int kCommitted = 4;  // commits in the starting file; the failing one is the next

class FaultTest : public ::testing::Test {
  protected:
    void SetUp() override {
        baseline_ = dir_ / "baseline.mdb";
        createWorkloadDatabase(baseline_);
        auto db = jet::Database::open(baseline_, jet::OpenMode::ReadWrite);
        for (int c = 1; c <= kCommitted; ++c) runCommit(*db, c);
    }

    // A fresh copy of the starting file.
    fs::path freshCopy() {
        const fs::path file = dir_ / ("Payroll" + std::to_string(copies_++) + ".mdb");
        fs::copy_file(baseline_, file);
        return file;
    }

    // The file holds exactly `commits` commits and a reader finds nothing wrong with it.
    void expectFileHolds(const fs::path& file, int commits, const std::string& what) {
        EXPECT_FALSE(fs::exists(fs::path(file.string() + ".jnl"))) << what;
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
    fs::path baseline_;
    int copies_ = 0;
};

// How many pages the next commit writes.
uint64_t pagesOfNextCommit(const fs::path& file) {
    auto db = jet::Database::open(file, jet::OpenMode::ReadWrite);
    uint64_t pages = 0;
    db->impl()->pager().setFaultHook(
        [&](FaultPoint point, uint64_t) { pages += point == FaultPoint::PageWrite; });
    runCommit(*db, kCommitted + 1);
    return pages;
}

TEST_F(FaultTest, AFailureAtAnyStepOfACommitChangesNothing) {
    const uint64_t pages = pagesOfNextCommit(freshCopy());
    ASSERT_GT(pages, 3u);
    std::vector<std::pair<FaultPoint, uint64_t>> steps = {{FaultPoint::JournalWrite, 0},
                                                          {FaultPoint::JournalSync, 0},
                                                          {FaultPoint::FileSync, 0},
                                                          {FaultPoint::JournalDelete, 0}};
    for (uint64_t k = 0; k < pages; ++k) steps.push_back({FaultPoint::PageWrite, k});

    const std::string baselineBytes = testing_support::readFile(baseline_);
    for (const auto& [point, count] : steps) {
        const std::string what =
            "failure at step " + std::to_string(int(point)) + "/" + std::to_string(count);
        const fs::path file = freshCopy();
        {
            auto db = jet::Database::open(file, jet::OpenMode::ReadWrite);
            db->impl()->pager().setFaultHook([&](FaultPoint p, uint64_t n) {
                if (p == point && n == count) {
                    throw jet::Error(jet::ErrorCode::Io,
                                     file.string() + ": No space left on device");
                }
            });
            std::string message;
            EXPECT_EQ(errorNumberOf<jet::Error>([&] { runCommit(*db, kCommitted + 1); }, &message),
                      jet::ErrorCode::Io)
                << what << ": the commit succeeded";
            EXPECT_NE(message.find(file.filename().string()), std::string::npos)
                << what << ": " << message;
            EXPECT_FALSE(db->inTransaction()) << what;
            // On disk, byte for byte the file before the commit, and no journal left.
            EXPECT_TRUE(testing_support::readFile(file) == baselineBytes) << what;
            EXPECT_FALSE(fs::exists(fs::path(file.string() + ".jnl"))) << what;
            // The open database forgot the failed changes, in memory too.
            EXPECT_TRUE(readState(*db) == expectedState(kCommitted)) << what;
            // And it still works: the same commit succeeds once the device does.
            db->impl()->pager().setFaultHook({});
            runCommit(*db, kCommitted + 1);
            EXPECT_TRUE(readState(*db) == expectedState(kCommitted + 1)) << what;
            EXPECT_TRUE(db->check().empty()) << what;
        }
        expectFileHolds(file, kCommitted + 1, what + ", then a retry");
    }
    std::printf("[ reliability ] %zu injected commit failures rolled back\n", steps.size());
}

// A real full disk: the file-size limit makes the operating system refuse writes past a given
// size (EFBIG, as ENOSPC would), at every page-sized step from the journal's first page to past
// the file's new end. Runs in a child because the limit is per process.
TEST_F(FaultTest, AFullDiskAtAnyPointOfACommitChangesNothing) {
    const uint64_t size = fs::file_size(baseline_);
    int refused = 0, leftJournal = 0;
    const std::string baselineBytes = testing_support::readFile(baseline_);
    for (uint64_t limit = 4096; limit <= size + 16 * 4096; limit += 4096) {
        const fs::path file = freshCopy();
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            ::signal(SIGXFSZ, SIG_IGN);
            char verdict = '?';
            std::string message;
            try {
                auto db = jet::Database::open(file, jet::OpenMode::ReadWrite);
                rlimit rl{};
                ::getrlimit(RLIMIT_FSIZE, &rl);
                const rlimit original = rl;
                rl.rlim_cur = limit;
                ::setrlimit(RLIMIT_FSIZE, &rl);
                try {
                    runCommit(*db, kCommitted + 1);
                    verdict = 'c';  // the limit was large enough
                } catch (const jet::Error& e) {
                    message = e.what();
                    verdict = e.code() == jet::ErrorCode::Io ? 'f' : 'x';
                    ::setrlimit(RLIMIT_FSIZE, &original);
                    if (readState(*db) != expectedState(kCommitted)) verdict = 'm';
                    // A limit below the file's size also stops the journal's playback: the
                    // file is then restored by the next open, which the retry makes anyway.
                    db.reset();
                    if (fs::exists(file.string() + ".jnl"))
                        verdict = verdict == 'f' ? 'j' : verdict;
                    db = jet::Database::open(file, jet::OpenMode::ReadWrite);
                    if (testing_support::readFile(file) != baselineBytes) verdict = 'd';
                    // Space again: the retry commits.
                    runCommit(*db, kCommitted + 1);
                }
            } catch (const std::exception& e) {
                verdict = 'e';
                message = e.what();
            }
            const std::string out = std::string(1, verdict) + message;
            if (::write(fds[1], out.data(), out.size())) {
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        std::string out;
        char buffer[512];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, n);
        ::close(fds[0]);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const std::string what = "file size limit " + std::to_string(limit);
        ASSERT_FALSE(out.empty()) << what << ": the child died";
        // m: the open database kept failed changes; d: the file was not put back; j: the failure
        // also stopped the playback, which only a limit below the file size can do.
        EXPECT_TRUE(out[0] == 'c' || out[0] == 'f' || (out[0] == 'j' && limit < size))
            << what << ": " << out;
        if (out[0] == 'f' || out[0] == 'j') {
            ++refused;
            leftJournal += out[0] == 'j';
            EXPECT_NE(out.find("File too large"), std::string::npos) << what << ": " << out;
            EXPECT_NE(out.find(".mdb"), std::string::npos) << what << ": " << out;
        }
        expectFileHolds(file, kCommitted + 1, what);
    }
    EXPECT_GT(refused, 5);
    std::printf(
        "[ reliability ] %d commits refused by a full disk, all rolled back (%d on reopening)\n",
        refused, leftJournal);
}

}  // namespace
}  // namespace reliability
