// A real full disk: the operating system itself refuses the commit's writes. A per-process
// file-size limit stands in for the full device, which POSIX has and Windows has not; there the
// commit-failure tests inject the same refusals through the pager's fault hook.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "fault_fixture.h"
#include "jet/database_impl.h"
#include "support/test_support.h"
#include "workload.h"

namespace reliability {
namespace {

namespace fs = std::filesystem;

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
