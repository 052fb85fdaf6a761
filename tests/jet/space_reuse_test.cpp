// Space given back by deletes is taken again: row slots and bytes on a data page, data pages of
// a table, long-value pages and index pages all come back before the file grows, and the file
// stays sound for our check, mdb-export and the independent validator after any mix of changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "create_sample_schema.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/index_check.h"
#include "jet/pager.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace jet;
using testing_support::runCommand;
using testing_support::TempDir;

std::string shell(const fs::path& path) {
    return "'" + path.string() + "'";
}

TEST(DataPageSlots, DeletedSlotsAreTakenAgainAndTrailingOnesDropped) {
    const JetFormat& format = JetFormat::jet4();
    std::vector<uint8_t> page(format.pageSize);
    data_page::initialise(page.data(), format, 42);
    const std::vector<uint8_t> row(30, 0xAB), other(50, 0xCD);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(data_page::addRow(page.data(), format, row), i);
    const uint32_t fullFree = data_page::freeSpace(page.data(), format);

    data_page::deleteRow(page.data(), format, 1);
    data_page::deleteRow(page.data(), format, 3);
    EXPECT_EQ(data_page::slotCount(page.data(), format), 5);
    // Emptied slots before new ones, with the rows of the other slots where readers expect them.
    EXPECT_EQ(data_page::addRow(page.data(), format, row), 3);
    EXPECT_EQ(data_page::addRow(page.data(), format, other), 1);
    EXPECT_EQ(data_page::addRow(page.data(), format, row), 5);
    for (uint16_t r : {0, 2, 3, 4, 5}) {
        auto bytes = data_page::rowBytes(page.data(), format, r);
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), row.begin(), row.end())) << r;
    }
    auto moved = data_page::rowBytes(page.data(), format, 1);
    EXPECT_TRUE(std::equal(moved.begin(), moved.end(), other.begin(), other.end()));

    // Deleting from the end gives the slots back as well; a page of deleted slots holds no rows.
    data_page::deleteRow(page.data(), format, 4);
    EXPECT_EQ(data_page::slotCount(page.data(), format), 6);
    data_page::deleteRow(page.data(), format, 5);
    EXPECT_EQ(data_page::slotCount(page.data(), format), 4);
    for (uint16_t r : {0, 1, 2}) data_page::deleteRow(page.data(), format, r);
    EXPECT_EQ(data_page::slotCount(page.data(), format), 4);
    EXPECT_FALSE(data_page::holdsNoRows(page.data(), format));
    data_page::deleteRow(page.data(), format, 3);
    EXPECT_EQ(data_page::slotCount(page.data(), format), 0);
    EXPECT_TRUE(data_page::holdsNoRows(page.data(), format));
    EXPECT_EQ(data_page::freeSpace(page.data(), format), fullFree + 5 * (30 + 2));
    EXPECT_EQ(getU16(page.data() + format.dataFreeSpace),
              data_page::freeSpace(page.data(), format));
}

TEST(DataPageSlots, AFullSlotTableTakesRowsOnlyInEmptiedSlots) {
    const JetFormat& format = JetFormat::jet4();
    std::vector<uint8_t> page(format.pageSize);
    data_page::initialise(page.data(), format, 42);
    const std::vector<uint8_t> row(4, 1);
    for (int i = 0; i < data_page::kMaxSlots; ++i) data_page::addRow(page.data(), format, row);
    EXPECT_FALSE(data_page::hasRoomFor(page.data(), format, 4));
    data_page::deleteRow(page.data(), format, 100);
    EXPECT_TRUE(data_page::hasRoomFor(page.data(), format, 4));
    EXPECT_EQ(data_page::addRow(page.data(), format, row), 100);
}

TableDefinition payTable() {
    using testing_support::index;
    using testing_support::text;
    using testing_support::typed;
    TableDefinition t;
    t.name = "Pay Lines";
    t.columns = {typed("Id", ColumnType::Long), text("Employee", 40),
                 typed("Amount", ColumnType::Double), typed("Note", ColumnType::Memo)};
    t.indexes = {index("PrimaryKey", {"Id"}, true), index("Employee", {"Employee"})};
    t.indexes[0].unique = true;
    return t;
}

// Notes of three length classes: kept in the row, on a long-value page of their own, in a chain.
Row payRow(int32_t id, size_t noteLength) {
    std::string note;
    while (note.size() < noteLength) note += "บันทึก " + std::to_string(id) + " ";
    return {Value(id), Value("พนักงาน " + std::to_string(id % 97)), Value(id * 1.25),
            noteLength ? Value(note) : Value()};
}

struct PayFile {
    explicit PayFile(const fs::path& file)
        : db(Database::create(file)), pager(db->impl()->pagerHandle()) {
        db->createTable(payTable());
    }
    Table table() { return db->table("Pay Lines"); }
    TableImpl& impl() { return db->impl()->table("Pay Lines"); }
    const JetFormat& format() { return db->impl()->format(); }

    // Pages the table's usage maps list: its data pages, and each index's pages.
    size_t dataPages() {
        return UsageMap::read(*pager, format(), impl().tdef().ownedMap, "f").pages().size();
    }
    size_t indexPages() {
        size_t n = 0;
        for (const IndexDescriptor& d : impl().indexDescriptors()) {
            n += UsageMap::read(*pager, format(), d.usageMap, "f").pages().size();
        }
        return n;
    }
    std::map<RowId, int32_t> rows() {
        std::map<RowId, int32_t> out;
        table().scan([&](RowId id, const Row& row) {
            out[id] = row[0].as<int32_t>();
            return true;
        });
        return out;
    }

    std::shared_ptr<Database> db;
    std::shared_ptr<Pager> pager;
};

// Our check, our reader against mdb-export for every table, and the independent validator.
void expectFileSound(const fs::path& file, size_t rows) {
    const std::string jetdb = std::string(VELTRA_BINARY_DIR) + "/jetdb";
    int status = 0;
    std::string out = runCommand(jetdb + " check " + shell(file) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    auto db = Database::open(file, OpenMode::ReadOnly);
    for (const std::string& table : db->tableNames()) {
        auto ours = testing_support::splitLines(
            runCommand(jetdb + " export " + shell(file) + " '" + table + "'", &status));
        EXPECT_EQ(status, 0);
        auto theirs = testing_support::splitLines(
            runCommand("mdb-export " + shell(file) + " '" + table + "' 2>&1", &status));
        EXPECT_EQ(status, 0);
        std::sort(ours.begin(), ours.end());
        std::sort(theirs.begin(), theirs.end());
        EXPECT_TRUE(ours == theirs) << table;
        if (table == "Pay Lines") {
            EXPECT_EQ(ours.size(), rows + 1);  // with the header line
        }
    }
    const fs::path validator = fs::path(VELTRA_SHARED_DIR) / "validator" / "validate.sh";
    ASSERT_TRUE(fs::exists(validator)) << "no validator at " << validator;
    out = runCommand("sh " + shell(validator) + " " + shell(file) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
}

// The table's indexes agree with its rows; then, closed, the file passes every outside check.
void closeAndExpectSound(PayFile& f, const fs::path& file, size_t rows) {
    EXPECT_TRUE(checkTableIndexes(f.impl()).empty());
    f.db.reset();
    f.pager.reset();
    expectFileSound(file, rows);
}

// Each round deletes every row and adds as many new ones with new keys, as a monthly transfer
// replaces an employee's lines: after the first round the file no longer grows.
TEST(SpaceReuse, ReplacingEveryRowLeavesTheFileItsSize) {
    TempDir dir;
    const fs::path file = dir / "Pay.mdb";
    PayFile f(file);
    const int32_t perRound = 600;
    int32_t next = 0;
    auto round = [&] {
        f.db->begin();
        for (const auto& [id, key] : f.rows()) f.table().remove(id);
        for (int32_t i = 0; i < perRound; ++i, ++next) {
            // Mostly short notes, some on long-value pages, a few chained.
            size_t note = i % 50 == 0 ? 9000 : i % 7 == 0 ? 2000 : 20;
            f.table().insert(payRow(next, note));
        }
        f.db->commit();
    };
    round();
    round();
    const uint32_t pages = f.pager->pageCount();
    const size_t dataPages = f.dataPages(), indexPages = f.indexPages();
    for (int i = 0; i < 8; ++i) round();
    EXPECT_LE(f.pager->pageCount(), pages + 2);
    EXPECT_LE(f.dataPages(), dataPages + 1);
    EXPECT_LE(f.indexPages(), indexPages + 2);
    closeAndExpectSound(f, file, perRound);
}

// Emptied data, long-value and index pages go back to the free-page map, and the next pages any
// writer needs are those.
TEST(SpaceReuse, EmptiedPagesOfEveryKindAreFreedAndTakenAgain) {
    TempDir dir;
    const fs::path file = dir / "Pay.mdb";
    PayFile f(file);
    f.db->begin();
    for (int32_t id = 0; id < 1500; ++id) f.table().insert(payRow(id, id % 10 == 0 ? 3000 : 10));
    f.db->commit();
    const uint32_t pages = f.pager->pageCount();
    const size_t indexPages = f.indexPages();
    ASSERT_GT(f.dataPages(), 10u);
    ASSERT_GT(indexPages, 6u);

    f.db->begin();
    for (const auto& [id, key] : f.rows()) f.table().remove(id);
    f.db->commit();
    EXPECT_EQ(f.dataPages(), 0u);
    EXPECT_EQ(f.indexPages(), 2u);  // the roots stay
    std::set<uint32_t> freed;
    for (uint32_t p = 2; p < pages; ++p) {
        if (globalMapSaysFree(*f.pager, f.format(), p, "f")) freed.insert(p);
    }
    EXPECT_GE(freed.size(), size_t(pages) / 2);
    // The space report counts them, and the table as holding no data pages.
    f.db.reset();
    f.pager.reset();
    int status = 0;
    const std::string report =
        runCommand(std::string(VELTRA_BINARY_DIR) + "/jetdb space " + shell(file), &status);
    EXPECT_EQ(status, 0) << report;
    EXPECT_NE(report.find("free pages (free-page map): " + std::to_string(freed.size()) + " "),
              std::string::npos)
        << report;
    EXPECT_NE(report.find("Pay Lines"), std::string::npos);
    f.db = Database::open(file, OpenMode::ReadWrite);
    f.pager = f.db->impl()->pagerHandle();

    // Taken again before the file grows.
    f.db->begin();
    for (int32_t id = 0; id < 1500; ++id) f.table().insert(payRow(id, id % 10 == 0 ? 3000 : 10));
    f.db->commit();
    EXPECT_LE(f.pager->pageCount(), pages + 1);
    closeAndExpectSound(f, file, 1500);
}

// A page freed, taken again and given back by a rollback keeps its old bytes: nothing may take
// it for the table's next rows unless the free-page map hands it out again.
TEST(SpaceReuse, APageTakenAgainAndRolledBackIsNotWrittenAsTheTables) {
    TempDir dir;
    const fs::path file = dir / "Pay.mdb";
    PayFile f(file);
    f.db->begin();
    for (int32_t id = 0; id < 300; ++id) f.table().insert(payRow(id, 10));
    f.db->commit();
    f.db->begin();
    for (const auto& [id, key] : f.rows()) f.table().remove(id);
    f.db->commit();
    f.db->begin();
    f.table().insert(payRow(1000, 10));
    f.db->rollback();
    f.db->begin();
    for (int32_t id = 2000; id < 2010; ++id) f.table().insert(payRow(id, 10));
    f.db->commit();
    EXPECT_EQ(f.rows().size(), 10u);
    closeAndExpectSound(f, file, 10);
}

// Deleting most keys of a range leaves leaves nearly empty; they merge into their neighbours.
TEST(SpaceReuse, NearlyEmptyIndexLeavesMerge) {
    TempDir dir;
    const fs::path file = dir / "Pay.mdb";
    PayFile f(file);
    f.db->begin();
    for (int32_t id = 0; id < 4000; ++id) f.table().insert(payRow(id, 0));
    f.db->commit();
    const size_t before = f.indexPages();
    f.db->begin();
    for (const auto& [id, key] : f.rows()) {
        if (key % 10 != 0) f.table().remove(id);
    }
    f.db->commit();
    EXPECT_LT(f.indexPages() * 3, before);
    closeAndExpectSound(f, file, 400);
}

// Random inserts, updates and deletes, committed and rolled back, in batches: every structure
// stays sound and the file stays the size its rows need.
TEST(SpaceReuse, RandomMixKeepsTheFileSound) {
    TempDir dir;
    const fs::path file = dir / "Pay.mdb";
    PayFile f(file);
    std::mt19937 random(20);
    std::set<int32_t> live;
    int32_t next = 0;
    uint32_t pagesAfterWarmUp = 0;
    for (int batch = 0; batch < 30; ++batch) {
        f.db->begin();
        std::set<int32_t> kept = live;
        for (int change = 0; change < 150; ++change) {
            auto rows = f.rows();
            const int kind = int(random() % 10);
            const size_t note = random() % 20 == 0  ? 5000
                                : random() % 5 == 0 ? 1500
                                                    : random() % 60;
            if (kind < 4 || rows.size() < 50) {
                f.table().insert(payRow(next, note));
                live.insert(next++);
            } else if (kind < 8) {
                auto it = std::next(rows.begin(), long(random() % rows.size()));
                f.table().remove(it->first);
                live.erase(it->second);
            } else {
                auto it = std::next(rows.begin(), long(random() % rows.size()));
                f.table().update(it->first, payRow(it->second, note));
            }
        }
        if (batch % 5 == 4) {
            f.db->rollback();
            live = kept;
        } else {
            f.db->commit();
        }
        if (batch == 10) pagesAfterWarmUp = f.pager->pageCount();
        ASSERT_TRUE(checkTableIndexes(f.impl()).empty()) << "batch " << batch;
    }
    EXPECT_EQ(f.rows().size(), live.size());
    // About as many rows as after the warm-up: the file has grown little since.
    EXPECT_LE(f.pager->pageCount(), pagesAfterWarmUp * 3 / 2);
    closeAndExpectSound(f, file, live.size());
}

}  // namespace
