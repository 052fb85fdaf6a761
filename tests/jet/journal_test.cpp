// The journal is bound to its file: it is played back only over the file it was written for,
// stopped inside its commit; any other file beside it (a restored backup, another database, one
// page changed by another program) is left alone and the journal set aside, never deleted.
#include "jet/journal.h"

#include <cstring>
#include <fstream>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/pager.h"
#include "jet/path_text.h"
#include "support/child_process.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using jet::ErrorCode;
using jet::FaultPoint;
using jet::OpenMode;
using jet::Pager;
using jet::RecoveryReport;
using testing_support::copyFixture;
using testing_support::readFile;
using testing_support::TempDir;
namespace journal = jet::journal;

constexpr uint32_t kPage = 4096;

fs::path journalOf(const fs::path& db) {
    return fs::path(db.string() + ".jnl");
}
fs::path setAsideOf(const fs::path& db, int n = 1) {
    return fs::path(db.string() + ".jnl-unmatched" + (n == 1 ? "" : "-" + std::to_string(n)));
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string hex(const journal::Digest& d) {
    std::string out;
    char buf[3];
    for (uint8_t b : d) {
        std::snprintf(buf, sizeof buf, "%02x", b);
        out += buf;
    }
    return out;
}

// ---- The journal's bytes, without a file ----

TEST(JournalBytes, DigestIsSha256) {
    EXPECT_EQ(hex(journal::sha256(nullptr, 0)),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string abc = "abc";
    EXPECT_EQ(hex(journal::sha256(reinterpret_cast<const uint8_t*>(abc.data()), abc.size())),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // Lengths around the block's padding boundary, against digests sha256sum gave.
    const std::pair<size_t, const char*> known[] = {
        {55, "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {56, "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {63, "81c80242132f230c3bd41b3e63bbcff16107339549214a99614ff26664625055"},
        {64, "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {4096, "7486da8f1e13943fae21a0b043f1e99640d7d8ebafb25266478b5cddae1272b5"}};
    for (const auto& [size, digest] : known) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(i * 7 + 3);
        EXPECT_EQ(hex(journal::sha256(bytes.data(), size)), digest) << size;
        // Handed in piece by piece, split anywhere, the digest is the same.
        for (size_t piece : {size_t(1), size_t(7), size_t(63), size_t(64), size_t(65)}) {
            journal::Sha256 pieces;
            for (size_t at = 0; at < size; at += piece)
                pieces.update(bytes.data() + at, std::min(piece, size - at));
            EXPECT_EQ(hex(pieces.finish()), digest) << size << " in pieces of " << piece;
        }
    }
}

// A file of four pages; the commit changes pages 1 and 3 and appends page 4.
struct SmallCommit {
    std::vector<std::vector<uint8_t>> before, after;
    std::vector<uint8_t> bytes;
    SmallCommit() {
        for (int i = 0; i < 5; ++i) {
            before.emplace_back(kPage, uint8_t(i));
            after.push_back(before.back());
        }
        after[1][10] = 0xEE;
        after[3][20] = 0xEE;
        after[4].assign(kPage, 0x44);
        bytes = journal::encode(kPage, 4, 5,
                                {{1, before[1].data(), after[1].data()},
                                 {3, before[3].data(), after[3].data()},
                                 {4, nullptr, after[4].data()}});
    }
    // Judges a file made of these pages.
    journal::Action judge(const std::vector<std::vector<uint8_t>>& file) const {
        journal::Decoded d = journal::decode(bytes);
        EXPECT_EQ(d.shape, journal::Shape::Complete);
        return journal::judge(d.journal, file.size() * kPage,
                              [&](uint32_t page, uint8_t* out) {
                                  if (page >= file.size()) return false;
                                  std::memcpy(out, file[page].data(), kPage);
                                  return true;
                              })
            .action;
    }
};

// A commit large enough to have its journal built on two cores: every entry, in order, holds
// its own page's digests and original; appended pages (no original) come last.
TEST(JournalBytes, LargeCommitKeepsEveryEntryInPlace) {
    const uint32_t count = 1500;
    std::vector<std::vector<uint8_t>> before, after;
    std::vector<journal::ChangedPage> pages;
    for (uint32_t i = 0; i < count; ++i) {
        before.emplace_back(kPage, uint8_t(i));
        before.back()[7] = uint8_t(i >> 8);
        after.push_back(before.back());
        after.back()[100] = 0xEE;
    }
    const uint32_t firstAppended = count - 300;
    for (uint32_t i = 0; i < count; ++i) {
        pages.push_back({i * 2, i < firstAppended ? before[i].data() : nullptr, after[i].data()});
    }
    const std::vector<uint8_t> bytes = journal::encode(kPage, 2 * firstAppended, 2 * count, pages);
    const journal::Decoded d = journal::decode(bytes);
    ASSERT_EQ(d.shape, journal::Shape::Complete);
    ASSERT_EQ(d.journal.entries.size(), count);
    for (uint32_t i = 0; i < count; ++i) {
        const journal::Entry& e = d.journal.entries[i];
        ASSERT_EQ(e.page, i * 2);
        EXPECT_EQ(e.after, journal::sha256(after[i].data(), kPage)) << i;
        if (i < firstAppended) {
            ASSERT_NE(e.original, nullptr) << i;
            EXPECT_EQ(std::memcmp(e.original, before[i].data(), kPage), 0) << i;
            EXPECT_EQ(e.before, journal::sha256(before[i].data(), kPage)) << i;
        } else {
            EXPECT_EQ(e.original, nullptr) << i;
        }
    }
}

TEST(JournalBytes, CutAtAnyLengthIsIncompleteAndOthersAreForeign) {
    SmallCommit c;
    for (size_t size = 0; size < c.bytes.size(); ++size) {
        std::vector<uint8_t> cut(c.bytes.begin(), c.bytes.begin() + long(size));
        ASSERT_EQ(journal::decode(cut).shape, journal::Shape::Incomplete) << size;
    }
    std::vector<uint8_t> flipped = c.bytes;
    flipped[40] ^= 1;  // inside the entry table
    EXPECT_EQ(journal::decode(flipped).shape, journal::Shape::Incomplete);
    flipped = c.bytes;
    flipped[flipped.size() - 100] ^= 1;  // inside an original page
    EXPECT_EQ(journal::decode(flipped).shape, journal::Shape::Incomplete);

    const std::string older = "VJNLPG01 and whatever followed";
    EXPECT_EQ(journal::decode(std::vector<uint8_t>(older.begin(), older.end())).shape,
              journal::Shape::Foreign);
    const std::string text = "not a journal";
    EXPECT_EQ(journal::decode(std::vector<uint8_t>(text.begin(), text.end())).shape,
              journal::Shape::Foreign);
}

TEST(JournalBytes, FileJudgedByItsSizeAndEveryPage) {
    SmallCommit c;
    using journal::Action;
    std::vector<std::vector<uint8_t>> file(c.before.begin(), c.before.begin() + 4);
    EXPECT_EQ(c.judge(file), Action::NothingToDo);
    EXPECT_EQ(c.judge(c.after), Action::Finished);

    auto appended = file;
    appended.push_back(std::vector<uint8_t>(kPage, 0));  // appended, not yet filled
    EXPECT_EQ(c.judge(appended), Action::PlayBack);
    auto half = c.after;
    half[3] = c.before[3];
    EXPECT_EQ(c.judge(half), Action::PlayBack);
    half.pop_back();  // cut back to the old length, pages not all put back yet
    EXPECT_EQ(c.judge(half), Action::PlayBack);

    auto otherPage = c.after;
    otherPage[1][11] = 0x99;  // changed since by another program
    EXPECT_EQ(c.judge(otherPage), Action::SetAside);
    auto bigger = c.after;
    bigger.push_back(c.after[4]);
    EXPECT_EQ(c.judge(bigger), Action::SetAside);
    auto smaller = file;
    smaller.pop_back();
    EXPECT_EQ(c.judge(smaller), Action::SetAside);
    auto unrelated = file;
    for (auto& page : unrelated) page.assign(kPage, 0x77);
    EXPECT_EQ(c.judge(unrelated), Action::SetAside);
}

// ---- The journal beside a database ----

// Changes pages 1, 2 and 5 to `fill` and appends two pages.
void change(Pager& pager, uint8_t fill) {
    for (uint32_t page : {1u, 2u, 5u}) std::memset(pager.write(page) + 100, fill, 50);
    pager.write(pager.append())[0] = fill;
    pager.append();
}

void commitChange(const fs::path& db, uint8_t fill) {
    auto pager = Pager::open(db, OpenMode::ReadWrite);
    pager->begin();
    change(*pager, fill);
    pager->commit();
}

// changeAndDie DB FILL POINT COUNT: commits change(FILL) and ends the process at that step, as a
// crash would (exit status 0 when it got there).
VELTRA_CHILD_ROLE(changeAndDie) {
    const auto fill = uint8_t(std::stoi(args.at(1)));
    const auto point = FaultPoint(std::stoi(args.at(2)));
    const uint64_t count = std::stoull(args.at(3));
    auto pager = Pager::open(jet::pathFromUtf8(args.at(0)), OpenMode::ReadWrite);
    pager->setFaultHook([point, count](FaultPoint p, uint64_t n) {
        if (p == point && n == count) std::_Exit(0);
    });
    pager->begin();
    change(*pager, fill);
    pager->commit();
    return 1;  // not reached
}

// Another process commits a change and dies at `point`/`count`, leaving its journal.
void killedCommit(const fs::path& db, uint8_t fill, FaultPoint point, uint64_t count) {
    auto child = testing_support::ChildProcess::start(
        "changeAndDie", {jet::utf8FromPath(db), std::to_string(fill), std::to_string(int(point)),
                         std::to_string(count)});
    ASSERT_EQ(child.wait(), 0);
    ASSERT_EQ(fs::exists(journalOf(db)), point != FaultPoint::JournalWrite);
}

// Opening for writing refuses the journal, names both files and what to do, keeps the journal
// under a name that says so, and leaves the file as it was; the next open goes ahead.
void expectSetAside(const fs::path& db, const std::string& fileBytes, int n = 1) {
    try {
        Pager::open(db, OpenMode::ReadWrite);
        ADD_FAILURE() << "a journal that is not the file's was accepted";
    } catch (const jet::Error& e) {
        const std::string what = e.what();
        EXPECT_EQ(e.code(), ErrorCode::Corrupt);
        EXPECT_NE(what.find("'" + journalOf(db).string() + "'"), std::string::npos) << what;
        EXPECT_NE(what.find("'" + db.string() + "'"), std::string::npos) << what;
        EXPECT_NE(what.find("'" + setAsideOf(db, n).string() + "'"), std::string::npos) << what;
        EXPECT_NE(what.find("restore it from a backup"), std::string::npos) << what;
    }
    EXPECT_EQ(readFile(db), fileBytes);
    EXPECT_FALSE(fs::exists(journalOf(db)));
    EXPECT_TRUE(fs::exists(setAsideOf(db, n)));
    EXPECT_TRUE(Pager::open(db, OpenMode::ReadWrite)->writable());
    EXPECT_EQ(readFile(db), fileBytes);
}

TEST(JournalBinding, RestoredBackupIsNotRewritten) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    const std::string backup = readFile(db);
    commitChange(db, 0xCD);
    killedCommit(db, 0xAB, FaultPoint::PageWrite, 1);
    writeFile(db, backup);  // the clerk restores yesterday's copy
    expectSetAside(db, backup);
}

TEST(JournalBinding, ReplacedOrChangedFileIsLeftAlone) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    const std::string original = readFile(db);
    killedCommit(db, 0xAB, FaultPoint::PageWrite, 4);
    const std::string torn = readFile(db);
    const std::string hot = readFile(journalOf(db));

    auto again = [&](const std::string& bytes, int n) {
        writeFile(db, bytes);
        writeFile(journalOf(db), hot);
        SCOPED_TRACE(n);
        expectSetAside(db, bytes, n);
    };
    again(torn + std::string(3 * kPage, '\0'), 1);                    // bigger
    again(torn.substr(0, torn.size() - 3 * kPage), 2);                // smaller
    again(readFile(copyFixture("delTestV2000.mdb", dir.path())), 3);  // unrelated
    std::string onePage = torn;
    onePage[2 * kPage + 300] ^= 0x5A;  // another program changed one journaled page
    again(onePage, 4);

    // The journal of another file copied beside this one.
    fs::path other = copyFixture("indexTestV2000.mdb", dir.path());
    const std::string otherBytes = readFile(other);
    writeFile(journalOf(other), hot);
    expectSetAside(other, otherBytes);

    // The untouched, torn file itself is still put back from its journal.
    writeFile(db, torn);
    writeFile(journalOf(db), hot);
    Pager::open(db, OpenMode::ReadWrite);
    EXPECT_EQ(readFile(db), original);
}

TEST(JournalBinding, PlaybackStoppedHalfWayIsPlayedAgain) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    const std::string original = readFile(db);
    killedCommit(db, 0xAB, FaultPoint::FileSync, 1);  // every page written, not yet synced

    // A recovery killed after putting back one page and cutting the file.
    std::vector<uint8_t> bytes;
    {
        const std::string j = readFile(journalOf(db));
        bytes.assign(j.begin(), j.end());
    }
    journal::Decoded d = journal::decode(bytes);
    ASSERT_EQ(d.shape, journal::Shape::Complete);
    std::string file = readFile(db).substr(0, original.size());
    for (const journal::Entry& e : d.journal.entries) {
        if (e.original && e.page == 2)
            file.replace(e.page * kPage, kPage, reinterpret_cast<const char*>(e.original), kPage);
    }
    writeFile(db, file);
    const RecoveryReport report = jet::Database::recover(db);
    EXPECT_EQ(report.outcome, RecoveryReport::Outcome::PlayedBack);
    EXPECT_EQ(readFile(db), original);
    EXPECT_FALSE(fs::exists(journalOf(db)));
}

TEST(JournalBinding, RecoverReportsAndNeedsTheFileAndFolder) {
    using Outcome = RecoveryReport::Outcome;
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    EXPECT_EQ(jet::Database::recover(db).outcome, Outcome::NoJournal);

    // A writer killed before its commit leaves only its lock file.
    killedCommit(db, 0xAB, FaultPoint::JournalWrite, 0);
    const fs::path ldb = dir / "testV2000.ldb";
    ASSERT_TRUE(fs::exists(ldb));
    RecoveryReport report = jet::Database::recover(db);
    EXPECT_EQ(report.outcome, Outcome::NoJournal);
    EXPECT_TRUE(report.staleLockRemoved);
    EXPECT_FALSE(fs::exists(ldb));

    // Killed before its journal was synced: the file was never touched.
    const std::string original = readFile(db);
    killedCommit(db, 0xAB, FaultPoint::JournalSync, 0);
    EXPECT_EQ(jet::Database::recover(db).outcome, Outcome::NothingToDo);
    EXPECT_EQ(readFile(db), original);
    writeFile(journalOf(db), "VJNLPG02, cut short");
    EXPECT_EQ(jet::Database::recover(db).outcome, Outcome::Incomplete);
    EXPECT_FALSE(fs::exists(journalOf(db)));

    // A journal with no database beside it is kept for the database's return.
    killedCommit(db, 0xAB, FaultPoint::PageWrite, 2);
    const std::string torn = readFile(db);
    fs::rename(db, dir / "elsewhere.mdb");
    try {
        jet::Database::recover(db);
        ADD_FAILURE() << "recovered a missing file";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::NotFound);
    }
    EXPECT_TRUE(fs::exists(journalOf(db)));
    fs::rename(dir / "elsewhere.mdb", db);

    // A read-only file: the reader sees the last commit, recovery waits for write access.
    testing_support::setReadOnly(jet::utf8FromPath(db), true);
    EXPECT_EQ(Pager::open(db, OpenMode::ReadOnly)->pageCount() * kPage, torn.size() - 2 * kPage);
    try {
        jet::Database::recover(db);
        ADD_FAILURE() << "recovered a read-only file";
    } catch (const jet::Error& e) {
        EXPECT_EQ(e.code(), ErrorCode::ReadOnly);
    }
    testing_support::setReadOnly(jet::utf8FromPath(db), false);
    EXPECT_EQ(readFile(db), torn);

    report = jet::Database::recover(db);
    EXPECT_EQ(report.outcome, Outcome::PlayedBack);
    EXPECT_NE(jet::Database::describe(db, report).find("played back"), std::string::npos);

    // Every page written and synced: the commit is whole in the file and is kept.
    killedCommit(db, 0xAB, FaultPoint::JournalDelete, 0);
    const std::string finished = readFile(db);
    EXPECT_EQ(jet::Database::recover(db).outcome, Outcome::Finished);
    EXPECT_EQ(readFile(db), finished);
}

// jetdb recovers before every command and says so on standard error; `jetdb recover` does only
// that and tells what it found.
TEST(JournalBinding, JetdbRecoversFirstAndSaysSo) {
    using testing_support::Output;
    using testing_support::runProgram;
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    const std::string original = readFile(db);
    const std::string name = jet::utf8FromPath(db);
    int status = 0;
    EXPECT_EQ(runProgram("jetdb", {"recover", name}, &status), "'" + name + "': no journal\n");
    EXPECT_EQ(status, 0);
    const std::string missing = runProgram(
        "jetdb", {"recover", jet::utf8FromPath(dir / "missing.mdb")}, &status, Output::Both);
    EXPECT_EQ(status, 1);
    EXPECT_NE(missing.find("no such database file"), std::string::npos) << missing;

    killedCommit(db, 0xAB, FaultPoint::PageWrite, 3);
    std::string err = runProgram("jetdb", {"tables", name}, &status, Output::Errors);
    EXPECT_EQ(status, 0);
    EXPECT_NE(err.find("played back"), std::string::npos) << err;
    EXPECT_EQ(readFile(db), original);

    commitChange(db, 0xCD);
    killedCommit(db, 0xAB, FaultPoint::PageWrite, 3);
    writeFile(db, original);
    const std::string out = runProgram("jetdb", {"recover", name}, &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("does not belong to"), std::string::npos) << out;
    EXPECT_NE(out.find(jet::utf8FromPath(setAsideOf(db))), std::string::npos) << out;
    EXPECT_EQ(readFile(db), original);
}

}  // namespace
