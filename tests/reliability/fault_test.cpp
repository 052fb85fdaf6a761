// A commit that fails at any step leaves the database as it was before the commit, reports an
// error naming the file, and leaves the open database usable: the same changes commit cleanly
// afterwards.
#include <filesystem>

#include <gtest/gtest.h>

#include "fault_fixture.h"
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

}  // namespace
}  // namespace reliability
