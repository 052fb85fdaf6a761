// Undo images: commits captured and taken back to the byte, a refusal that writes nothing when
// the file changed since, and an undo (a commit that may cut the file) killed at every step.
#include "jet/undo_image.h"

#include <cstdlib>
#include <cstring>
#include <fstream>

#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/pager.h"
#include "jet/path_text.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using jet::FaultPoint;
using jet::UndoResult;
using testing_support::ChildProcess;
using testing_support::copyFixture;
using testing_support::readFile;
using testing_support::TempDir;

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string asString(const std::vector<uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::vector<uint8_t> asBytes(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Runs `work` on the database's pager as separate commits, captured; returns the undo image.
template <typename Work>
std::vector<uint8_t> captured(const fs::path& path, Work work) {
    auto db = jet::Database::open(path, jet::OpenMode::ReadWrite);
    jet::UndoCapture capture(*db);
    // The raw bytes written leave pages no table could read: the check of debug builds after a
    // commit would refuse them.
    db->impl()->pager().setCommitObserver({});
    work(db->impl()->pager());
    return capture.finish();
}

// Two commits: one changes pages and appends two, the next changes one of them and page 2 again.
void twoCommits(jet::Pager& pager) {
    pager.begin();
    for (uint32_t page : {1u, 2u, 5u}) std::memset(pager.write(page) + 100, 0xAB, 50);
    pager.write(pager.append())[0] = 1;
    pager.append();
    pager.commit();
    pager.begin();
    std::memset(pager.write(2) + 300, 0xCD, 10);
    pager.write(pager.pageCount() - 1)[7] = 7;
    pager.commit();
}

// A commit that cuts the last two pages off and changes page 1.
void cutCommit(jet::Pager& pager) {
    pager.begin();
    pager.write(1)[200] ^= 0xFF;
    pager.truncate(pager.pageCount() - 2);
    pager.commit();
}

// undoAndDie DB IMAGE POINT COUNT: applies the undo image and ends the process at that step of
// its commit, as a crash would (exit status 0 when it got there, 1 when the undo finished).
VELTRA_CHILD_ROLE(undoAndDie) {
    const fs::path db = jet::pathFromUtf8(args.at(0));
    const auto point = FaultPoint(std::stoi(args.at(2)));
    const uint64_t count = std::stoull(args.at(3));
    auto pager = jet::Pager::open(db, jet::OpenMode::ReadWrite);  // the undo shares it
    pager->setFaultHook([point, count](FaultPoint p, uint64_t n) {
        if (p == point && n == count) std::_Exit(0);
    });
    jet::applyUndo(db, asBytes(readFile(jet::pathFromUtf8(args.at(1)))));
    return 1;
}

TEST(UndoImage, CapturedCommitsAreUndoneToTheByte) {
    TempDir dir;
    const fs::path db = copyFixture("testV2000.mdb", dir.path());
    const std::string before = readFile(db);
    const std::vector<uint8_t> image = captured(db, twoCommits);
    const std::string after = readFile(db);
    ASSERT_NE(after, before);
    EXPECT_EQ(jet::undoDifference(db, image), "");

    EXPECT_EQ(jet::applyUndo(db, image).outcome, UndoResult::Outcome::Undone);
    EXPECT_EQ(readFile(db), before);
    EXPECT_FALSE(fs::exists(db.string() + ".jnl"));
    // A second undo of the same image (its bookkeeping lost) sees it done and writes nothing.
    EXPECT_EQ(jet::applyUndo(db, image).outcome, UndoResult::Outcome::AlreadyUndone);
    EXPECT_EQ(readFile(db), before);

    // Commits that cut the file are undone too: the cut pages come back.
    const std::vector<uint8_t> cut = captured(db, cutCommit);
    EXPECT_EQ(readFile(db).size(), before.size() - 2 * 4096);
    EXPECT_EQ(jet::applyUndo(db, cut).outcome, UndoResult::Outcome::Undone);
    EXPECT_EQ(readFile(db), before);

    // Pages cut by one commit and appended again by the next hold new contents at old numbers:
    // the fingerprint must read them as they are now, not as they were when the capture began.
    const std::vector<uint8_t> regrown = captured(db, [](jet::Pager& pager) {
        cutCommit(pager);
        pager.begin();
        pager.write(pager.append())[9] = 9;
        pager.commit();
    });
    EXPECT_EQ(readFile(db).size(), before.size() - 4096);
    EXPECT_EQ(jet::undoDifference(db, regrown), "");
    EXPECT_EQ(jet::applyUndo(db, regrown).outcome, UndoResult::Outcome::Undone);
    EXPECT_EQ(readFile(db), before);

    // A capture without commits undoes nothing, and says the file is as it left it.
    auto open = jet::Database::open(db, jet::OpenMode::ReadWrite);
    jet::UndoCapture idle(*open);
    EXPECT_FALSE(idle.changed());
    const std::vector<uint8_t> none = idle.finish();
    open.reset();
    EXPECT_EQ(jet::applyUndo(db, none).outcome, UndoResult::Outcome::Undone);
    EXPECT_EQ(readFile(db), before);
}

TEST(UndoImage, AChangedFileIsRefusedAndNothingWritten) {
    TempDir dir;
    const fs::path db = copyFixture("testV2000.mdb", dir.path());
    const std::vector<uint8_t> image = captured(db, twoCommits);
    const std::string after = readFile(db);

    // One byte of a page the commits never touched.
    std::string edited = after;
    edited[3 * 4096 + 17] ^= 1;
    writeFile(db, edited);
    UndoResult result = jet::applyUndo(db, image);
    EXPECT_EQ(result.outcome, UndoResult::Outcome::Refused);
    EXPECT_NE(result.difference.find("1 page changed since the transfer (page 3)"),
              std::string::npos)
        << result.difference;
    EXPECT_EQ(readFile(db), edited);

    // A longer file (a compact or a restored backup would change its size as well).
    writeFile(db, after + std::string(4096, '\0'));
    result = jet::applyUndo(db, image);
    EXPECT_EQ(result.outcome, UndoResult::Outcome::Refused);
    EXPECT_NE(result.difference.find("pages; the transfer left"), std::string::npos);
    EXPECT_EQ(readFile(db).size(), after.size() + 4096);

    // Damaged undo data is never applied.
    writeFile(db, after);
    std::vector<uint8_t> damaged = image;
    damaged[damaged.size() / 2] ^= 1;
    EXPECT_THROW(jet::applyUndo(db, damaged), jet::Error);
    EXPECT_THROW(jet::applyUndo(db, {}), jet::Error);
    EXPECT_EQ(readFile(db), after);
    EXPECT_EQ(jet::applyUndo(db, image).outcome, UndoResult::Outcome::Undone);
}

// Killed at any step of its commit, an undo leaves a file that the next open makes exactly as
// before or as after it; whichever it is, undoing again ends as after.
TEST(UndoImage, AKilledUndoRecoversToBeforeOrAfterIt) {
    TempDir dir;
    const fs::path db = copyFixture("testV2000.mdb", dir.path());
    const std::string original = readFile(db);
    for (auto work : {twoCommits, cutCommit}) {
        writeFile(db, original);
        const fs::path imagePath = dir.path() / "undo.bin";
        writeFile(imagePath, asString(captured(db, work)));
        const std::string transferred = readFile(db);
        int killed = 0;
        for (FaultPoint point : {FaultPoint::JournalSync, FaultPoint::PageWrite,
                                 FaultPoint::FileSync, FaultPoint::JournalDelete}) {
            for (uint64_t count : {0u, 1u}) {
                writeFile(db, transferred);
                ChildProcess child = ChildProcess::start(
                    "undoAndDie", {jet::utf8FromPath(db), jet::utf8FromPath(imagePath),
                                   std::to_string(int(point)), std::to_string(count)});
                if (child.wait() != 0) continue;  // the commit has no such step: it finished
                ++killed;
                jet::Pager::open(db, jet::OpenMode::ReadWrite).reset();  // recovers
                const std::string now = readFile(db);
                EXPECT_TRUE(now == transferred || now == original)
                    << "point " << int(point) << " #" << count;
                EXPECT_NE(jet::applyUndo(db, asBytes(readFile(imagePath))).outcome,
                          UndoResult::Outcome::Refused);
                EXPECT_EQ(readFile(db), original);
            }
        }
        EXPECT_GE(killed, 4);
    }
}

}  // namespace
