// The pager: reading pages, transactions and savepoints, atomic commit under faults and kills,
// recovery from a journal, and refusing a second writer or a read-only place.
#include "jet/pager.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/file.h"
#include "jet/journal.h"
#include "jet/path_text.h"
#include "support/child_process.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using jet::ErrorCode;
using jet::FaultPoint;
using jet::OpenMode;
using jet::Pager;
using testing_support::ChildProcess;
using testing_support::copyFixture;
using testing_support::errorNumberOf;
using testing_support::readFile;
using testing_support::TempDir;

fs::path journalOf(const fs::path& db) {
    return fs::path(db.string() + ".jnl");
}

// Changes a few existing pages and appends two: the transaction every commit test uses.
void makeChanges(Pager& pager) {
    for (uint32_t page : {1u, 2u, 5u}) std::memset(pager.write(page) + 100, 0xAB, 50);
    uint32_t added = pager.append();
    pager.write(added)[0] = 0x01;
    pager.append();
}

// Child roles. commitAndDie DB POINT COUNT: commits makeChanges and ends the process at that
// step, as a crash would (exit status 0 when it got there).
VELTRA_CHILD_ROLE(commitAndDie) {
    const auto point = FaultPoint(std::stoi(args.at(1)));
    const uint64_t count = std::stoull(args.at(2));
    auto pager = Pager::open(jet::pathFromUtf8(args.at(0)), OpenMode::ReadWrite);
    pager->setFaultHook([point, count](FaultPoint p, uint64_t n) {
        if (p == point && n == count) std::_Exit(0);
    });
    pager->begin();
    makeChanges(*pager);
    pager->commit();
    return 1;  // not reached
}

// secondWriter DB: 0 when writing is refused "in use" and reading still works.
VELTRA_CHILD_ROLE(secondWriter) {
    const fs::path db = jet::pathFromUtf8(args.at(0));
    int code = 3;
    try {
        Pager::open(db, OpenMode::ReadWrite);
        code = 1;
    } catch (const jet::Error& e) {
        bool said = std::string(e.what()).find("database is in use") != std::string::npos;
        code = (e.code() == ErrorCode::InUse && said) ? 0 : 2;
    }
    try {
        if (Pager::open(db, OpenMode::ReadOnly)->pageCount() == 0) code = 4;
    } catch (...) {
        code = 5;
    }
    return code;
}

// holdLockFile LDB: another program holding the lock file; says "locked", then waits to be
// killed.
VELTRA_CHILD_ROLE(holdLockFile) {
    jet::File file =
        jet::File::open(jet::pathFromUtf8(args.at(0)), jet::FileMode::OpenAlways, "cannot open");
    if (!file.tryLock()) return 1;
    std::cout << "locked" << std::endl;
    for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
}

std::vector<std::string> commitAndDieArgs(const fs::path& db, FaultPoint point, uint64_t count) {
    return {jet::utf8FromPath(db), std::to_string(int(point)), std::to_string(count)};
}

TEST(PagerRead, PagesSizesAndBadInput) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    std::string bytes = readFile(db);
    auto pager = Pager::open(db, OpenMode::ReadOnly);
    EXPECT_EQ(pager->pageSize(), 4096u);
    EXPECT_EQ(pager->pageCount(), bytes.size() / 4096);
    EXPECT_FALSE(pager->writable());
    jet::PageRef last = pager->read(pager->pageCount() - 1);
    EXPECT_EQ(std::memcmp(last->data(), bytes.data() + bytes.size() - 4096, 4096), 0);
    EXPECT_EQ(pager->read(3).get(), pager->read(3).get()) << "second read comes from the cache";

    // Page past the end: Corrupt, naming the file.
    std::string message;
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->read(pager->pageCount()); }, &message),
              ErrorCode::Corrupt);
    EXPECT_NE(message.find("testV2000.mdb"), std::string::npos);
    // One pager per file, however the path is spelled.
    EXPECT_EQ(Pager::open(dir.path() / "." / "testV2000.mdb", OpenMode::ReadOnly), pager);
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->begin(); }), ErrorCode::ReadOnly);

    auto jet3 = Pager::open(copyFixture("nwind.mdb", dir.path()), OpenMode::ReadOnly);
    EXPECT_EQ(jet3->pageSize(), 2048u);
    EXPECT_EQ(
        errorNumberOf<jet::Error>([&] { Pager::open(dir / "nwind.mdb", OpenMode::ReadWrite); }),
        ErrorCode::Unsupported);

    std::ofstream(dir / "notes.mdb") << "name;amount\nsomebody;12.50\n";
    EXPECT_EQ(
        errorNumberOf<jet::Error>([&] { Pager::open(dir / "notes.mdb", OpenMode::ReadOnly); }),
        ErrorCode::NotADatabase);
    std::ofstream(dir / "empty.mdb");
    EXPECT_EQ(
        errorNumberOf<jet::Error>([&] { Pager::open(dir / "empty.mdb", OpenMode::ReadWrite); }),
        ErrorCode::NotADatabase);
    EXPECT_EQ(
        errorNumberOf<jet::Error>([&] { Pager::open(dir / "missing.mdb", OpenMode::ReadOnly); }),
        ErrorCode::NotFound);
}

TEST(PagerTransaction, SavepointsRollbackAndCommit) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    std::string original = readFile(db);
    auto pager = Pager::open(db, OpenMode::ReadWrite);
    const uint32_t pages = pager->pageCount();
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->write(1); }), ErrorCode::Transaction);
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->commit(); }), ErrorCode::Transaction);

    pager->begin();
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->begin(); }), ErrorCode::Transaction);
    uint8_t* p1 = pager->write(1);
    p1[20] = 0x11;
    auto outer = pager->savepoint();
    pager->write(1)[20] = 0x22;
    pager->write(2)[20] = 0x33;
    uint32_t added = pager->append();
    EXPECT_EQ(added, pages);
    auto inner = pager->savepoint();
    pager->write(added)[7] = 0x44;
    pager->write(1)[21] = 0x55;
    EXPECT_EQ((*pager->read(1))[20], 0x22) << "reads see the transaction's own writes";

    pager->rollbackTo(inner);
    EXPECT_EQ((*pager->read(added))[7], 0);
    EXPECT_EQ((*pager->read(1))[21], uint8_t(original[4096 + 21]));
    EXPECT_EQ((*pager->read(1))[20], 0x22);

    pager->rollbackTo(outer);
    EXPECT_EQ(pager->pageCount(), pages);
    EXPECT_EQ((*pager->read(1))[20], 0x11);
    EXPECT_EQ(p1, pager->write(1)) << "a buffer written before the savepoint stays valid";
    EXPECT_EQ((*pager->read(2))[20], uint8_t(original[2 * 4096 + 20]));
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->rollbackTo(inner); }), ErrorCode::Transaction);

    // Rolled back past the savepoint, the savepoint itself stays usable.
    pager->write(3)[0] = 0x66;
    pager->rollbackTo(outer);
    EXPECT_EQ((*pager->read(3))[0], uint8_t(original[3 * 4096]));

    // Released savepoints keep their changes; the enclosing one still undoes them.
    auto a = pager->savepoint();
    pager->write(4)[0] = 0x77;
    auto b = pager->savepoint();
    pager->write(4)[1] = 0x78;
    pager->write(6)[0] = 0x79;
    pager->release(b);
    EXPECT_EQ((*pager->read(4))[1], 0x78);
    pager->rollbackTo(a);
    EXPECT_EQ((*pager->read(4))[0], uint8_t(original[4 * 4096]));
    EXPECT_EQ((*pager->read(4))[1], uint8_t(original[4 * 4096 + 1]));
    EXPECT_EQ((*pager->read(6))[0], uint8_t(original[6 * 4096]));
    pager->release(outer);
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->rollbackTo(outer); }), ErrorCode::Transaction);

    pager->rollback();
    EXPECT_EQ(readFile(db), original);
    EXPECT_EQ((*pager->read(1))[20], uint8_t(original[4096 + 20]));

    pager->begin();
    makeChanges(*pager);
    pager->commit();
    EXPECT_FALSE(fs::exists(journalOf(db)));
    std::string committed = readFile(db);
    EXPECT_EQ(committed.size(), original.size() + 2 * 4096);
    EXPECT_EQ(uint8_t(committed[5 * 4096 + 120]), 0xAB);
    EXPECT_EQ(uint8_t(committed[pages * 4096]), 0x01);
    EXPECT_EQ((*pager->read(pages))[0], 0x01);
    EXPECT_EQ(pager->pageCount(), pages + 2);
}

// Units nested in a coarse savepoint: kept ones behave as under a plain savepoint; rolling one
// back after it changed a page the coarse savepoint already held takes everything back to the
// coarse savepoint, and every savepoint in between stays usable.
TEST(PagerTransaction, CoarseSavepointUnitsUndoneWithIt) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    std::string original = readFile(db);
    auto at = [&](uint32_t page, size_t offset) { return uint8_t(original[page * 4096 + offset]); };
    auto pager = Pager::open(db, OpenMode::ReadWrite);
    const uint32_t pages = pager->pageCount();
    pager->begin();
    pager->write(1)[0] = 0x10;  // before the line

    auto line = pager->coarseSavepoint();
    pager->write(1)[1] = 0x11;
    pager->write(2)[1] = 0x21;
    {  // a kept unit: two nested savepoints, as a row change takes them
        auto outer = pager->savepoint();
        auto inner = pager->savepoint();
        pager->write(2)[2] = 0x22;  // held by the line: no copy of its own
        pager->write(3)[2] = 0x32;  // first changed here
        pager->release(inner);
        pager->release(outer);
    }
    EXPECT_EQ((*pager->read(2))[2], 0x22);

    // A unit touching only pages new to the line rolls back alone.
    auto alone = pager->savepoint();
    pager->write(4)[0] = 0x40;
    pager->append();
    pager->rollbackTo(alone);
    pager->release(alone);
    EXPECT_EQ((*pager->read(4))[0], at(4, 0));
    EXPECT_EQ(pager->pageCount(), pages);
    EXPECT_EQ((*pager->read(2))[2], 0x22) << "the line's earlier unit stays";

    // A unit that changed a page the line held goes back to the line's start.
    auto outer = pager->savepoint();
    auto inner = pager->savepoint();
    pager->write(2)[3] = 0x23;
    pager->append();
    pager->rollbackTo(inner);
    EXPECT_EQ((*pager->read(2))[1], at(2, 1));
    EXPECT_EQ((*pager->read(2))[2], at(2, 2));
    EXPECT_EQ((*pager->read(3))[2], at(3, 2));
    EXPECT_EQ((*pager->read(1))[0], 0x10) << "what came before the line stays";
    EXPECT_EQ((*pager->read(1))[1], at(1, 1));
    EXPECT_EQ(pager->pageCount(), pages);
    pager->release(inner);
    pager->rollbackTo(outer);  // nothing left to undo, still known
    pager->release(outer);

    // The line's savepoint itself still works: changed again and rolled back.
    {
        auto unit = pager->savepoint();
        pager->write(1)[2] = 0x12;
        pager->release(unit);
    }
    auto unit = pager->savepoint();
    pager->write(1)[3] = 0x13;  // held by the line since the unit above
    pager->release(unit);
    pager->rollbackTo(line);
    EXPECT_EQ((*pager->read(1))[0], 0x10);
    EXPECT_EQ((*pager->read(1))[2], at(1, 2));
    EXPECT_EQ((*pager->read(1))[3], at(1, 3));

    // A kept line's changes reach the file.
    auto next = pager->coarseSavepoint();
    pager->write(5)[0] = 0x50;
    auto row = pager->savepoint();
    pager->write(5)[1] = 0x51;
    pager->release(row);
    pager->release(next);
    pager->commit();
    std::string committed = readFile(db);
    EXPECT_EQ(uint8_t(committed[4096]), 0x10);
    EXPECT_EQ(uint8_t(committed[5 * 4096]), 0x50);
    EXPECT_EQ(uint8_t(committed[5 * 4096 + 1]), 0x51);
    EXPECT_EQ(committed.substr(2 * 4096, 4096), original.substr(2 * 4096, 4096));
}

// A page's version stands for its contents: the same while nothing can have changed them, a
// new one after a write, a rollback or a commit that failed, and never one that another page of
// any pager had.
TEST(PagerTransaction, PageVersionsChangeWheneverContentsMay) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    fs::create_directories(dir.path() / "other");
    fs::path other = copyFixture("testV2000.mdb", dir.path() / "other");
    auto pager = Pager::open(db, OpenMode::ReadWrite);
    auto second = Pager::open(other, OpenMode::ReadOnly);
    std::set<uint64_t> seen;
    auto fresh = [&](uint64_t v) { return v != 0 && seen.insert(v).second; };

    const uint64_t start = pager->version(1);
    EXPECT_TRUE(fresh(start));
    EXPECT_EQ(pager->version(1), start);
    pager->read(1);
    EXPECT_EQ(pager->version(1), start) << "reading changes nothing";
    EXPECT_TRUE(fresh(second->version(1))) << "the same page of another file";
    EXPECT_TRUE(fresh(pager->version(2)));

    pager->begin();
    pager->write(1)[20] = 1;
    const uint64_t written = pager->version(1);
    EXPECT_TRUE(fresh(written));
    auto sp = pager->savepoint();
    pager->write(1)[20] = 2;
    const uint64_t again = pager->version(1);
    EXPECT_TRUE(fresh(again));
    pager->rollbackTo(sp);
    EXPECT_TRUE(fresh(pager->version(1))) << "back to earlier contents, under a new version";
    const uint32_t added = pager->append();
    EXPECT_TRUE(fresh(pager->version(added)));
    pager->rollback();
    EXPECT_TRUE(fresh(pager->version(1)));

    pager->begin();
    pager->write(3)[0] = 9;
    const uint64_t before = pager->version(3);
    pager->setFaultHook([](FaultPoint point, uint64_t) {
        if (point == FaultPoint::PageWrite) throw jet::Error(ErrorCode::Io, "injected");
    });
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->commit(); }), ErrorCode::Io);
    EXPECT_NE(pager->version(3), before);
}

// A fault at any step of a commit: the commit fails, the file keeps its committed bytes, and the
// pager goes on working.
TEST(PagerCommit, FaultAtEveryStepLeavesFileUnchanged) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    std::string original = readFile(db);
    auto pager = Pager::open(db, OpenMode::ReadWrite);

    std::vector<std::pair<FaultPoint, uint64_t>> steps = {{FaultPoint::JournalWrite, 0},
                                                          {FaultPoint::JournalSync, 0},
                                                          {FaultPoint::FileSync, 0},
                                                          {FaultPoint::JournalDelete, 0}};
    for (uint64_t i = 0; i < 5; ++i) steps.push_back({FaultPoint::PageWrite, i});
    for (auto [point, count] : steps) {
        SCOPED_TRACE(testing::Message() << int(point) << "/" << count);
        pager->setFaultHook([point, count](FaultPoint p, uint64_t n) {
            if (p == point && n == count) throw jet::Error(ErrorCode::Io, "injected fault");
        });
        pager->begin();
        makeChanges(*pager);
        EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->commit(); }), ErrorCode::Io);
        EXPECT_FALSE(pager->inTransaction());
        EXPECT_EQ(readFile(db), original);
        EXPECT_FALSE(fs::exists(journalOf(db)));
        EXPECT_EQ(pager->pageCount(), original.size() / 4096);
        EXPECT_EQ((*pager->read(5))[120], uint8_t(original[5 * 4096 + 120]));
    }
    pager->setFaultHook({});
    pager->begin();
    makeChanges(*pager);
    pager->commit();
    EXPECT_EQ(readFile(db).size(), original.size() + 2 * 4096);

    // When even the undo fails (the journal cannot be read back), no further commit may run
    // over the half-written file: its journal would take the place of the one still needed.
    pager->setFaultHook([&](FaultPoint p, uint64_t n) {
        if (p != FaultPoint::PageWrite || n != 1) return;
        fs::remove(journalOf(db));
        fs::create_directory(journalOf(db));
        throw jet::Error(ErrorCode::Io, "injected fault");
    });
    pager->begin();
    makeChanges(*pager);
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->commit(); }), ErrorCode::Io);
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { pager->begin(); }), ErrorCode::Io);
    fs::remove(journalOf(db));
}

// The process dies at an exact step of a commit; re-opening restores the committed file.
TEST(PagerCommit, KilledAtEveryStepRecoversOnOpen) {
    TempDir dir;
    std::vector<std::pair<FaultPoint, uint64_t>> steps = {{FaultPoint::JournalSync, 0},
                                                          {FaultPoint::PageWrite, 0},
                                                          {FaultPoint::PageWrite, 3},
                                                          {FaultPoint::FileSync, 0},
                                                          {FaultPoint::JournalDelete, 0}};
    for (auto [point, count] : steps) {
        SCOPED_TRACE(testing::Message() << int(point) << "/" << count);
        fs::path db = copyFixture("testV2000.mdb", dir.path());
        std::string original = readFile(db);
        ChildProcess child =
            ChildProcess::start("commitAndDie", commitAndDieArgs(db, point, count));
        ASSERT_EQ(child.wait(), 0);
        if (point != FaultPoint::JournalSync) {
            ASSERT_TRUE(fs::exists(journalOf(db)));
        }
        // Killed once every page was written and synced, the commit is whole in the file: it
        // is kept, as every other program already sees it.
        const bool finished = point == FaultPoint::JournalDelete;
        const size_t pages = original.size() / 4096 + (finished ? 2 : 0);

        // A reader sees the committed state without touching the file...
        {
            auto reader = Pager::open(db, OpenMode::ReadOnly);
            EXPECT_EQ(reader->pageCount(), pages);
            EXPECT_EQ((*reader->read(5))[120], finished ? 0xAB : uint8_t(original[5 * 4096 + 120]));
        }
        // ...and a writer repairs it.
        auto pager = Pager::open(db, OpenMode::ReadWrite);
        if (!finished) {
            EXPECT_EQ(readFile(db), original);
        }
        EXPECT_EQ(readFile(db).size(), pages * 4096);
        EXPECT_FALSE(fs::exists(journalOf(db)));
    }
}

// The journal is written in parts (its head, the originals gathered from the pages where they
// lie, the end mark): what reaches the file is byte for byte the journal of the same change made
// in one buffer, also when the originals take more than one gathered write.
TEST(PagerCommit, JournalWrittenInPartsIsTheWholeJournal) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    auto pager = Pager::open(db, OpenMode::ReadWrite);
    pager->begin();
    for (uint32_t i = 0; i < 1300; ++i) {
        const uint32_t page = pager->append();
        std::memset(pager->write(page), int(i % 251), 4096);
        std::memcpy(pager->write(page) + 8, &i, sizeof i);
    }
    pager->commit();

    const uint32_t countBefore = pager->pageCount();
    std::vector<uint32_t> changed;
    for (uint32_t page = 1; page < countBefore; page += (page < 40 ? 1 : 1 + page % 2))
        changed.push_back(page);
    ASSERT_GT(changed.size(), 1024u);
    std::map<uint32_t, jet::PageBuffer> before, after;
    before[0] = *pager->read(0);
    after[0] = before[0];
    pager->begin();
    for (uint32_t page : changed) {
        before[page] = *pager->read(page);
        pager->write(page)[4000] ^= 0x5A;
        after[page] = *pager->read(page);
    }
    const uint32_t appended = pager->append();
    pager->write(appended)[3] = 7;
    after[appended] = *pager->read(appended);

    // Read with the engine's own file access: on Windows a standard stream cannot open a file
    // that another handle is writing.
    std::vector<uint8_t> written;
    pager->setFaultHook([&](FaultPoint p, uint64_t) {
        if (p != FaultPoint::JournalSync) return;
        jet::File journal = jet::File::open(journalOf(db), jet::FileMode::Read, "cannot open");
        written.resize(size_t(journal.size()));
        journal.readAt(written.data(), written.size(), 0);
    });
    pager->commit();

    std::vector<jet::journal::ChangedPage> pages;
    for (const auto& [page, bytes] : after)
        pages.push_back({page, page < countBefore ? before[page].data() : nullptr, bytes.data()});
    const std::vector<uint8_t> whole =
        jet::journal::encode(4096, countBefore, countBefore + 1, pages);
    EXPECT_TRUE(written == whole);
}

TEST(PagerCommit, TornJournalIsDiscardedAndCompleteOneRestored) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    std::string original = readFile(db);

    // A journal cut short was never complete: the file was not touched, so it is left alone.
    std::ofstream(journalOf(db), std::ios::binary) << "VJNLPG02" << std::string(40, '\x07');
    Pager::open(db, OpenMode::ReadWrite);
    EXPECT_EQ(readFile(db), original);
    EXPECT_FALSE(fs::exists(journalOf(db)));

    // Leave a complete journal behind by killing a commit: recovery puts back every journaled
    // page and the old length.
    ChildProcess child =
        ChildProcess::start("commitAndDie", commitAndDieArgs(db, FaultPoint::FileSync, 0));
    ASSERT_EQ(child.wait(), 0);
    Pager::open(db, OpenMode::ReadWrite);
    EXPECT_EQ(readFile(db), original);
}

TEST(PagerLocking, SecondWriterAndHeldLockFileRefused) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    fs::path ldb = dir / "testV2000.ldb";

    // This process writes; another process that tries to write is refused, reading is fine.
    {
        auto writer = Pager::open(db, OpenMode::ReadWrite);
        EXPECT_TRUE(fs::exists(ldb));
        EXPECT_EQ(ChildProcess::start("secondWriter", {jet::utf8FromPath(db)}).wait(), 0);
    }
    EXPECT_FALSE(fs::exists(ldb)) << "no stale lock file after closing";

    // Another program holds Access's lock file: opening for writing is refused.
    {
        ChildProcess holder = ChildProcess::start("holdLockFile", {jet::utf8FromPath(ldb)});
        ASSERT_EQ(holder.readLine(), "locked");
        EXPECT_EQ(errorNumberOf<jet::Error>([&] { Pager::open(db, OpenMode::ReadWrite); }),
                  ErrorCode::InUse);
        EXPECT_TRUE(fs::exists(ldb)) << "another program's lock file is left alone";
        holder.kill();
        holder.wait();
    }

    // A stale lock file (nobody holds it) does not stop us.
    EXPECT_TRUE(Pager::open(db, OpenMode::ReadWrite)->writable());
}

TEST(PagerLocking, ReadOnlyFileRefusedAtOpen) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    testing_support::setReadOnly(jet::utf8FromPath(db), true);
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { Pager::open(db, OpenMode::ReadWrite); }),
              ErrorCode::ReadOnly);
    EXPECT_TRUE(Pager::open(db, OpenMode::ReadOnly));
    testing_support::setReadOnly(jet::utf8FromPath(db), false);
    EXPECT_TRUE(Pager::open(db, OpenMode::ReadWrite)->writable());
}

TEST(PagerCreate, NewFileGrowsByCommit) {
    TempDir dir;
    fs::path db = dir / "new.mdb";
    auto pager = Pager::create(db, 4096);
    EXPECT_EQ(pager->pageCount(), 0u);
    pager->begin();
    EXPECT_EQ(pager->append(), 0u);
    EXPECT_EQ(pager->append(), 1u);
    pager->write(1)[0] = 0x01;
    pager->commit();
    EXPECT_EQ(fs::file_size(db), 2u * 4096);
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { Pager::create(db, 4096); }),
              ErrorCode::InvalidDefinition);
}

}  // namespace

namespace {

// Access opens no file past 2 GB: growth beyond it is refused before anything is written. The
// file is made 2 GB long sparsely, so the test writes next to nothing.
TEST(PagerLimits, GrowthPast2GBIsRefusedBeforeAnythingIsWritten) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    const std::string original = readFile(db);
    fs::resize_file(db, jet::kMaxFileSize - 4096);
    {
        auto pager = Pager::open(db, OpenMode::ReadWrite);
        pager->begin();
        EXPECT_EQ(pager->append(), jet::kMaxFileSize / 4096 - 1) << "the last page still fits";
        try {
            pager->append();
            ADD_FAILURE() << "the file grew past 2 GB";
        } catch (const jet::Error& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("'" + db.string() + "'"), std::string::npos) << what;
            EXPECT_NE(what.find("2 GB"), std::string::npos) << what;
            EXPECT_NE(what.find("2147483648 bytes"), std::string::npos) << what;
        }
        pager->rollback();
    }
    // Through the engine: a new table takes free pages where the file has them and never
    // grows it past the limit; refused or not, no journal is left behind.
    fs::resize_file(db, jet::kMaxFileSize);
    {
        auto database = jet::Database::open(db, OpenMode::ReadWrite);
        jet::ColumnDefinition name;
        name.name = "Name";
        name.size = 50;
        jet::TableDefinition definition{"Grown", {name}, {}};
        try {
            database->createTable(definition);
        } catch (const jet::Error& e) {
            EXPECT_NE(std::string(e.what()).find("2 GB"), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(fs::file_size(db), jet::kMaxFileSize);
    EXPECT_FALSE(fs::exists(journalOf(db)));
}

// A file past 2 GB is refused for reading and for writing alike, and nothing is made beside it.
TEST(PagerLimits, AFileLargerThan2GBIsNotOpened) {
    TempDir dir;
    fs::path db = copyFixture("testV2000.mdb", dir.path());
    fs::resize_file(db, jet::kMaxFileSize + 4096);
    for (OpenMode mode : {OpenMode::ReadOnly, OpenMode::ReadWrite}) {
        std::string message;
        EXPECT_EQ(errorNumberOf<jet::Error>([&] { Pager::open(db, mode); }, &message),
                  ErrorCode::NotADatabase);
        EXPECT_NE(message.find("'" + db.string() + "'"), std::string::npos) << message;
        EXPECT_NE(message.find("larger than 2 GB"), std::string::npos) << message;
    }
    EXPECT_EQ(fs::file_size(db), jet::kMaxFileSize + 4096);
    EXPECT_FALSE(fs::exists(journalOf(db)));
    EXPECT_FALSE(fs::exists(dir / "testV2000.ldb"));
}

}  // namespace
