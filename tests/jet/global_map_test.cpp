// The global (free-page) map once page 1 cannot hold it inline any more: it turns into a reference
// map without changing what it says of any page, keeps rows written on both sides readable, stays
// exact as pages are used and freed, and a rollback undoes the change to the byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/pager.h"
#include "jet/path_text.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace jet;
using testing_support::readFile;
using testing_support::TempDir;

constexpr RowPointer kGlobal{1, 0};

// Takes all the room left on page 1 with a row of its own, so the global map's row cannot grow:
// the map must change form at the next page past its reach instead of at about 128 MB.
void fillPageOne(Pager& pager, const JetFormat& format) {
    uint8_t* page = pager.write(1);
    size_t size = data_page::freeSpace(page, format);
    while (size > 0 && !data_page::hasRoomFor(page, format, size)) --size;
    ASSERT_GT(size, 0u);
    data_page::addRow(page, format, std::vector<uint8_t>(size, 0x5A));
}

uint8_t globalMapType(Pager& pager, const JetFormat& format) {
    return UsageMap::read(pager, format, kGlobal, "f").type();
}

// The map is a reference map listing exactly the pages of the file in `freeInFile` and every page
// past the end that one of its bitmap pages covers; ranges without a bitmap page lie past the end.
void expectFreePagesExactly(Pager& pager, const JetFormat& format,
                            const std::set<uint32_t>& freeInFile) {
    UsageMap map = UsageMap::read(pager, format, kGlobal, "f");
    ASSERT_EQ(map.type(), UsageMap::kReference);
    const uint64_t span = uint64_t(format.referenceMapPageBytes) * 8;
    const uint32_t end = pager.pageCount();
    std::vector<uint32_t> expected;
    for (size_t k = 0; k < map.bitmapPages().size(); ++k) {
        if (map.bitmapPages()[k] == 0) {
            EXPECT_GE(k * span, end) << "range " << k << " holds pages of the file";
            EXPECT_TRUE(globalMapSaysFree(pager, format, uint32_t(k * span), "f"));
            continue;
        }
        for (uint64_t p = k * span; p < (k + 1) * span; ++p) {
            if (p >= end || freeInFile.count(uint32_t(p))) expected.push_back(uint32_t(p));
        }
    }
    std::vector<uint32_t> wrong;
    std::set_symmetric_difference(map.pages().begin(), map.pages().end(), expected.begin(),
                                  expected.end(), std::back_inserter(wrong));
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " pages wrong, first " << wrong.front();
    if (!freeInFile.empty()) {
        EXPECT_TRUE(globalMapSaysFree(pager, format, *freeInFile.begin(), "f"));
        EXPECT_TRUE(globalMapSaysFree(pager, format, *freeInFile.rbegin(), "f"));
    }
    for (uint32_t p : {0u, 1u, end - 1}) EXPECT_FALSE(globalMapSaysFree(pager, format, p, "f"));
}

// Pages of the file the map calls free (any form of map).
std::set<uint32_t> freePagesInFile(Pager& pager, const JetFormat& format) {
    std::set<uint32_t> out;
    for (uint32_t p = 0; p < pager.pageCount(); ++p) {
        if (globalMapSaysFree(pager, format, p, "f")) out.insert(p);
    }
    return out;
}

TableDefinition payTable() {
    TableDefinition t;
    t.name = "Pay Lines";
    auto column = [&](const char* name, ColumnType type, int size) {
        ColumnDefinition c;
        c.name = name;
        c.type = type;
        c.size = size;
        t.columns.push_back(c);
    };
    column("Id", ColumnType::Long, 0);
    column("Employee", ColumnType::Text, 40);
    column("Note", ColumnType::Memo, 0);
    IndexDefinition key;
    key.name = "PrimaryKey";
    key.columns = {{"Id"}};
    key.primaryKey = key.unique = true;
    t.indexes = {key};
    return t;
}

// A row whose note fills most of a long-value page, so every row adds a page to the file.
Row payRow(int32_t id) {
    std::string note;
    while (note.size() < 3000) note += "line " + std::to_string(id) + " รายการ ";
    return {Value(id), Value("ผู้รับ " + std::to_string(id)), Value(note)};
}

std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    std::sort(out.begin(), out.end());
    return out;
}

// A new database holding the pay table, open for writing, with the engine's view of its pages.
struct PayFile {
    explicit PayFile(const fs::path& file)
        : db(Database::create(file)),
          table(db->createTable(payTable())),
          pager(db->impl()->pagerHandle()),
          format(db->impl()->format()) {}
    void insert(int32_t from, int32_t to) {
        for (int32_t id = from; id < to; ++id) {
            ids.push_back(id);
            table.insert(payRow(id));
        }
    }

    std::shared_ptr<Database> db;
    Table table;
    std::shared_ptr<Pager> pager;
    const JetFormat& format;
    std::vector<int32_t> ids;
};

// The file passes our check, holds `ids` in every user table read back by our reader with the
// values payRow gave them, and another reader (testing_support::exportTable) prints every table
// exactly as jetdb does.
void expectFileSound(const fs::path& file, const std::vector<int32_t>& ids) {
    using testing_support::Output;
    using testing_support::runProgram;
    const std::string name = jet::utf8FromPath(file);
    int status = 0;
    std::string problems = runProgram("jetdb", {"check", name}, &status, Output::Both);
    EXPECT_EQ(status, 0) << problems;

    auto db = Database::open(file, OpenMode::ReadOnly);
    std::map<int32_t, Row> rows;
    db->table("Pay Lines").scan([&](RowId, const Row& row) {
        rows[row.at(0).as<int32_t>()] = row;
        return true;
    });
    ASSERT_EQ(rows.size(), ids.size());
    for (int32_t id : ids) {
        Row expected = payRow(id);
        EXPECT_EQ(rows[id].at(1).as<std::string>(), expected[1].as<std::string>()) << id;
        EXPECT_EQ(rows[id].at(2).as<std::string>(), expected[2].as<std::string>()) << id;
    }
    for (const std::string& table : db->tableNames()) {
        SCOPED_TRACE(table);
        auto ours = sortedLines(runProgram("jetdb", {"export", name, table}, &status));
        ASSERT_EQ(status, 0);
        auto theirs = sortedLines(testing_support::exportTable(file, table, &status));
        ASSERT_EQ(status, 0);
        EXPECT_EQ(ours.size(), theirs.size());
        EXPECT_TRUE(ours == theirs);
    }
}

TEST(GlobalMap, TurnsIntoReferenceMapWhenPageOneIsFull) {
    TempDir dir;
    const fs::path file = dir / "Pay.mdb";
    std::vector<int32_t> ids;
    std::set<uint32_t> freed;
    {
        PayFile f(file);
        Pager& pager = *f.pager;
        f.db->begin();
        f.insert(0, 100);
        // Pages freed while the map is inline are taken again before the file grows.
        for (int i = 0; i < 3; ++i) freed.insert(allocatePage(pager, f.format, "f"));
        for (uint32_t p : freed) freePage(pager, f.format, p, "f");
        fillPageOne(pager, f.format);
        f.db->commit();
        freed = freePagesInFile(pager, f.format);
        EXPECT_GE(freed.size(), 3u);
        const uint32_t pagesBefore = pager.pageCount();
        std::set<uint32_t> taken;
        f.db->begin();
        for (size_t i = 0; i < freed.size(); ++i) taken.insert(allocatePage(pager, f.format, "f"));
        f.db->commit();
        EXPECT_EQ(taken, freed);
        EXPECT_EQ(pager.pageCount(), pagesBefore);
        freed = freePagesInFile(pager, f.format);

        uint32_t usedBefore = 0;
        f.db->begin();
        while (globalMapType(pager, f.format) == UsageMap::kInline) {
            usedBefore = allocatePage(pager, f.format, "f");
            f.insert(int32_t(f.ids.size()), int32_t(f.ids.size()) + 1);
        }
        EXPECT_LT(pager.pageCount(), 600u);  // the change came at the first page past reach
        expectFreePagesExactly(pager, f.format, freed);
        f.insert(5000, 5100);
        // Pages used and freed after the change, on both sides of it.
        std::vector<uint32_t> pages;
        for (int i = 0; i < 4; ++i) pages.push_back(allocatePage(pager, f.format, "f"));
        for (int i = 0; i < 4; i += 2) {
            freePage(pager, f.format, pages[size_t(i)], "f");
            freed.insert(pages[size_t(i)]);
        }
        freePage(pager, f.format, usedBefore, "f");
        freed.insert(usedBefore);
        f.db->commit();
        expectFreePagesExactly(pager, f.format, freed);
        ids = f.ids;
    }
    expectFileSound(file, ids);

    // Reopened, the reference map goes on working.
    auto db = Database::open(file, OpenMode::ReadWrite);
    auto pager = db->impl()->pagerHandle();
    const JetFormat& format = db->impl()->format();
    db->begin();
    uint32_t page = allocatePage(*pager, format, "f");
    EXPECT_EQ(page, *freed.begin());  // the lowest free page first
    EXPECT_FALSE(globalMapSaysFree(*pager, format, page, "f"));
    freed.erase(page);
    db->commit();
    expectFreePagesExactly(*pager, format, freed);
}

TEST(GlobalMap, RollingBackTheChangeLeavesTheFileAsItWas) {
    TempDir dir;
    const fs::path file = dir / "Pay.mdb";
    {
        PayFile f(file);
        f.db->begin();
        fillPageOne(*f.pager, f.format);
        f.db->commit();
    }
    const std::string before = readFile(file);
    {
        auto db = Database::open(file, OpenMode::ReadWrite);
        auto pager = db->impl()->pagerHandle();
        const JetFormat& format = db->impl()->format();
        Table table = db->table("Pay Lines");

        // A whole transaction.
        db->begin();
        for (int32_t id = 0; globalMapType(*pager, format) == UsageMap::kInline; ++id) {
            table.insert(payRow(id));
        }
        db->rollback();
        EXPECT_EQ(globalMapType(*pager, format), UsageMap::kInline);

        // Back to a savepoint taken before the change, then committed.
        db->begin();
        Database::Savepoint savepoint = db->savepoint();
        while (globalMapType(*pager, format) == UsageMap::kInline)
            allocatePage(*pager, format, "f");
        db->rollbackTo(savepoint);
        EXPECT_EQ(globalMapType(*pager, format), UsageMap::kInline);
        db->commit();
    }
    EXPECT_TRUE(readFile(file) == before);
    expectFileSound(file, {});
}

// A pager whose pages are all zero until written, so that a file of tens of thousands of pages
// costs only the pages a test touches.
class SparsePager : public Pager {
  public:
    explicit SparsePager(uint32_t pages) : count_(pages) {}
    const fs::path& path() const override { return path_; }
    uint32_t pageSize() const override { return 4096; }
    uint32_t pageCount() const override { return count_; }
    bool writable() const override { return true; }
    PageRef read(uint32_t page) override {
        if (page >= count_) throw Error(ErrorCode::Corrupt, "no such page");
        auto it = pages_.find(page);
        return it != pages_.end() ? it->second : zero_;
    }
    uint8_t* write(uint32_t page) override {
        if (page >= count_) throw Error(ErrorCode::Corrupt, "no such page");
        auto& slot = pages_[page];
        if (!slot) slot = std::make_shared<PageBuffer>(4096, 0);
        return slot->data();
    }
    uint32_t append() override { return count_++; }
    void begin() override {}
    bool inTransaction() const override { return true; }
    uint64_t savepoint() override { return 0; }
    void rollbackTo(uint64_t) override {}
    void commit() override {}
    void rollback() override {}
    void setFaultHook(FaultHook) override {}

  private:
    fs::path path_ = "sparse.mdb";
    uint32_t count_;
    std::map<uint32_t, std::shared_ptr<PageBuffer>> pages_;
    PageRef zero_ = std::make_shared<PageBuffer>(4096, 0);
};

// The file ends on the last page of the first bitmap page's range: the bitmap page made by the
// change opens the next range, which then needs a bitmap page of its own.
TEST(GlobalMap, BitmapPageOpeningANewRangeIsMarkedUsed) {
    const JetFormat& format = JetFormat::jet4();
    const uint32_t span = uint32_t(format.referenceMapPageBytes * 8);
    SparsePager pager(span - 1);
    uint8_t* page1 = pager.write(1);
    data_page::initialise(page1, format, 1);
    // Inline map of pages 0..511: every page in use but 7 and 300.
    std::vector<uint8_t> row(69, 0);
    row[5 + 0] = 0x80;
    row[5 + 300 / 8] = uint8_t(1u << (300 % 8));
    data_page::addRow(page1, format, row);
    data_page::addRow(page1, format, std::vector<uint8_t>(69, 0));
    fillPageOne(pager, format);

    // Free pages the map describes come first; past its reach the file is taken to grow.
    EXPECT_EQ(allocatePage(pager, format, "f"), 7u);
    EXPECT_EQ(allocatePage(pager, format, "f"), 300u);
    EXPECT_EQ(allocatePage(pager, format, "f"), span - 1);
    UsageMap map = UsageMap::read(pager, format, kGlobal, "f");
    ASSERT_EQ(map.type(), UsageMap::kReference);
    EXPECT_EQ(map.bitmapPages()[0], span);
    EXPECT_EQ(map.bitmapPages()[1], span + 1);
    EXPECT_EQ(pager.pageCount(), span + 2);
    // Pages past the inline row's reach were free and stay so.
    std::set<uint32_t> freeInFile;
    for (uint32_t p = 512; p < span - 1; ++p) freeInFile.insert(p);
    expectFreePagesExactly(pager, format, freeInFile);

    EXPECT_EQ(allocatePage(pager, format, "f"), 512u);
    freeInFile.erase(512);
    freePage(pager, format, 3, "f");
    freePage(pager, format, 3 * span, "f");  // past the end, in a range with no bitmap page
    freeInFile.insert(3);
    expectFreePagesExactly(pager, format, freeInFile);
    EXPECT_EQ(pager.pageCount(), span + 2);
}

// A real file past 128 MB, written the ordinary way: rows before and after, and the file read by
// our reader, our check and mdb-export. Most of its pages are allocated and freed again so that
// the test does not insert 30,000 rows.
TEST(GlobalMap, FileGrowsPastTheInlineMapsLimit) {
    TempDir dir;
    const fs::path file = dir / "Big.mdb";
    std::vector<int32_t> ids;
    {
        PayFile f(file);
        Pager& pager = *f.pager;
        const uint32_t span = uint32_t(f.format.referenceMapPageBytes * 8);
        f.db->begin();
        f.insert(0, 50);
        f.db->commit();
        std::set<uint32_t> freed;
        while (pager.pageCount() < span + 100) {
            f.db->begin();
            for (int i = 0; i < 4000; ++i) freed.insert(allocatePage(pager, f.format, "f"));
            f.db->commit();
        }
        f.db->begin();
        f.insert(50, 100);
        for (uint32_t page : freed) freePage(pager, f.format, page, "f");
        f.db->commit();
        EXPECT_NE(UsageMap::read(pager, f.format, kGlobal, "f").bitmapPages()[1], 0u);
        expectFreePagesExactly(pager, f.format, freed);
        ids = f.ids;
    }
    EXPECT_GT(fs::file_size(file), 130u << 20);
    expectFileSound(file, ids);
}

}  // namespace
