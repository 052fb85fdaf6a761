// Writing rows into copies of Access-written files: random inserts, updates and deletes of every
// column type (Thai text, memos of every length class, nulls), read back by our reader and by
// mdb-export; tables grown past their inline page map and emptied again; refused changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>

#include "jet/data_page.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/index_check.h"
#include "jet/pager.h"
#include "jet/path_text.h"
#include "jet/table_write.h"
#include "jet/usage_map.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

using testing_support::errorNumberOf;

namespace fs = std::filesystem;
using namespace jet;
using testing_support::copyFixture;
using testing_support::TempDir;

// A database opened for writing, with the engine's inside view of its tables.
struct Writable {
    explicit Writable(const fs::path& path) : db(Database::open(path, OpenMode::ReadWrite)) {
        pager = db->impl()->pagerHandle();
    }
    TableImpl& table(const std::string& name) { return db->impl()->table(name); }
    const JetFormat& format() const { return db->impl()->format(); }
    void close() {
        pager.reset();
        db.reset();
    }

    std::shared_ptr<Database> db;
    std::shared_ptr<Pager> pager;
};

// Index check of a table: no problem lines.
void expectIndexesSound(TableImpl& table) {
    std::vector<std::string> problems = checkTableIndexes(table);
    EXPECT_TRUE(problems.empty()) << table.name() << ": " << problems.size() << " problems, first: "
                                  << (problems.empty() ? "" : problems.front());
}

// Every live row of a table, keyed by the text of column `key`.
std::map<std::string, Row> rowsByKey(TableImpl& table, int key) {
    std::map<std::string, Row> out;
    table.scan([&](RowId, const Row& row) {
        EXPECT_TRUE(row[key].is<std::string>());
        out[row[key].as<std::string>()] = row;
        return true;
    });
    return out;
}

// CSV rows of an export, fields normalised: numbers to 6 significant digits (mdb-export prints
// Single and Currency its own way); dates mdbtools cannot print (before 1900, far future) dropped
// on both sides.
std::vector<std::vector<std::string>> normalisedCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows = testing_support::parseCsv(text);
    for (auto& row : rows) {
        for (std::string& field : row) {
            char* end = nullptr;
            double d = std::strtod(field.c_str(), &end);
            if (!field.empty() && end == field.c_str() + field.size()) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.6g", d);
                field = buf;
            }
            if (field.size() >= 19 && field[4] == '-' &&
                (field.compare(0, 4, "1900") <= 0 || field.compare(0, 4, "2100") > 0)) {
                field = "?";
            }
        }
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Our export of the table against mdb-export's (an independent reader; on Windows, which has no
// mdbtools, another jetdb): the same rows, as sets (mdb-export lists a moved row where it now
// lives).
void expectSameAsMdbExport(const fs::path& file, const std::string& table) {
    int status = 0;
    const std::string ours =
        testing_support::runProgram("jetdb", {"export", jet::utf8FromPath(file), table}, &status,
                                    testing_support::Output::Both);
    ASSERT_EQ(status, 0) << ours;
    const std::string theirs = testing_support::exportTable(file, table, &status);
    ASSERT_EQ(status, 0) << theirs;
    auto a = normalisedCsv(ours), b = normalisedCsv(theirs);
    ASSERT_EQ(a.size(), b.size());
    size_t differing = 0;
    std::string first;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == b[i]) continue;
        if (differing++ == 0) {
            for (size_t k = 0; k < a[i].size() && k < b[i].size(); ++k) {
                if (a[i][k] != b[i][k]) first = a[i][k] + " / " + b[i][k];
            }
        }
    }
    EXPECT_EQ(differing, 0u) << table << ": " << first;
}

class RandomText {
  public:
    explicit RandomText(uint32_t seed) : random_(seed) {}
    // Mixed ASCII, Latin-1 and Thai; `length` characters.
    std::string text(size_t length) {
        static const char* pieces[] = {"a", "B", "z", "0", " ", "é", "ü", "ก", "ข", "ค",
                                       "ง", "ไ", "ท", "ย", "่",  "ั",  "ฯ", "-", "Q", "x"};
        std::string s;
        for (size_t i = 0; i < length; ++i) s += pieces[random_() % 20];
        return s;
    }
    std::string ascii(size_t length) {
        std::string s;
        for (size_t i = 0; i < length; ++i) s += char('a' + random_() % 26);
        return s;
    }
    uint32_t next(uint32_t bound) { return random_() % bound; }

  private:
    std::mt19937 random_;
};

Row randomTypedRow(RandomText& r, const std::string& key) {
    // testV2000 Table1: A Text(50), B Text(100), C Byte, D Integer, E Long, F Double,
    // G Date/Time, H Currency, I Yes/No.
    Row row(9);
    row[0] = key;
    if (r.next(5)) row[1] = r.text(1 + r.next(100));
    if (r.next(5)) row[2] = uint8_t(r.next(256));
    if (r.next(5)) row[3] = int16_t(int(r.next(65536)) - 32768);
    if (r.next(5)) row[4] = int32_t(r.next(4000000000u) - 2000000000);
    if (r.next(5)) row[5] = double(int(r.next(2000000)) - 1000000) / 8.0;
    if (r.next(5))
        row[6] = DateTime{double(18000 + r.next(40000)) + double(r.next(86400)) / 86400.0};
    if (r.next(5)) row[7] = Currency{int64_t(r.next(100000000)) * 100 - 5000000000};
    row[8] = bool(r.next(2));
    return row;
}

TEST(RowWrite, RandomTypedRowsInsertUpdateDelete) {
    TempDir dir;
    fs::path file = copyFixture("testV2000.mdb", dir.path());
    RandomText r(7);
    std::map<std::string, Row> expected;
    {
        Writable w(file);
        TableImpl& t = w.table("Table1");
        expected = rowsByKey(t, 0);
        uint32_t count = t.tdef().rowCount;
        std::map<std::string, RowId> ids;
        t.scan([&](RowId id, const Row& row) {
            ids[row[0].as<std::string>()] = id;
            return true;
        });

        w.pager->begin();
        for (int i = 0; i < 600; ++i) {
            std::string key = "k" + std::to_string(i) + r.text(r.next(10));
            Row row = randomTypedRow(r, key);
            ids[key] = insertRow(t, row);
            row[8] = row[8].isNull() ? Value(false) : row[8];
            expected[key] = row;
        }
        w.pager->commit();
        EXPECT_EQ(t.tdef().rowCount, count + 600);

        // Updates that grow rows move some of them off full pages; deletes free their slots.
        w.pager->begin();
        int n = 0;
        for (auto& [key, id] : ids) {
            if (++n % 3 == 0) {
                Row row = randomTypedRow(r, key);
                row[1] = r.text(60 + r.next(41));
                updateRow(t, id, row);
                expected[key] = row;
            } else if (n % 5 == 0) {
                removeRow(t, id);
                expected.erase(key);
            }
        }
        w.pager->commit();
        EXPECT_EQ(t.tdef().rowCount, expected.size());
    }
    Writable again(file);
    TableImpl& t = again.table("Table1");
    EXPECT_EQ(t.tdef().rowCount, expected.size());
    auto actual = rowsByKey(t, 0);
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [key, row] : expected) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(actual.count(key));
        EXPECT_EQ(actual[key], row);
    }
    expectIndexesSound(t);
    again.close();
    expectSameAsMdbExport(file, "Table1");
}

// A table keeps the rows read last; a row read again after it was changed, removed, or
// rolled back reads as it now is, inside the transaction and after it.
TEST(RowWrite, RowsReadAgainReadAsTheyNowAre) {
    TempDir dir;
    fs::path file = copyFixture("testV2000.mdb", dir.path());
    RandomText r(11);
    Writable w(file);
    TableImpl& t = w.table("Table1");
    std::vector<RowId> ids;
    std::vector<Row> expected;
    w.pager->begin();
    for (int i = 0; i < 40; ++i) {
        Row row = randomTypedRow(r, "kept" + std::to_string(i));
        row[8] = Value(false);
        ids.push_back(insertRow(t, row));
        expected.push_back(row);
    }
    w.pager->commit();
    // Sixteen rows, as many as the table keeps.
    auto expectRows = [&](const std::vector<Row>& want, const std::string& when) {
        for (size_t i = 24; i < ids.size(); ++i) {
            if (want[i].empty()) {
                EXPECT_EQ(errorNumberOf<Error>([&] { t.read(ids[i]); }), ErrorCode::NotFound)
                    << when << ", row " << i;
            } else {
                EXPECT_EQ(t.read(ids[i]), want[i]) << when << ", row " << i;
            }
        }
    };
    expectRows(expected, "read twice");
    expectRows(expected, "read twice");

    const std::vector<Row> committed = expected;
    w.pager->begin();
    for (size_t i = 24; i < ids.size(); i += 3) {
        expected[i][1] = Value("changed " + std::to_string(i));
        updateRow(t, ids[i], expected[i]);
    }
    removeRow(t, ids[30]);
    expected[30].clear();
    expectRows(expected, "changed in the transaction");
    w.pager->rollback();
    expectRows(committed, "rolled back");

    std::vector<Row> now = committed;
    now[39][1] = Value("changed and kept");
    w.pager->begin();
    updateRow(t, ids[39], now[39]);
    w.pager->commit();
    expectRows(now, "changed and committed");
}

TEST(RowWrite, MemosOfEveryLengthClass) {
    TempDir dir;
    fs::path file = copyFixture("DateTestDatabase.mdb", dir.path());
    RandomText r(11);
    // DateTest: IDCol Long, DateTimeCol, DateCol, TimeCol, LongTextCol Memo, ShortTextCol Text.
    const std::vector<size_t> lengths = {0,    1,    2,    31,   32,   33,   64,   65,
                                         1000, 2038, 2039, 4076, 4077, 9000, 20000};
    std::map<std::string, Row> expected;
    {
        Writable w(file);
        TableImpl& t = w.table("DateTest");
        expected = rowsByKey(t, 5);
        std::vector<std::pair<std::string, RowId>> ids;
        w.pager->begin();
        int i = 0;
        for (size_t length : lengths) {
            for (bool thai : {false, true}) {
                Row row(6);
                row[0] = int32_t(1000 + i);
                row[4] = thai ? r.text(length / 3) : r.ascii(length);
                row[5] = "memo" + std::to_string(i++);
                ids.push_back({row[5].as<std::string>(), insertRow(t, row)});
                expected[row[5].as<std::string>()] = row;
            }
        }
        Row nullMemo(6);
        nullMemo[5] = "null memo";
        insertRow(t, nullMemo);
        expected["null memo"] = nullMemo;
        w.pager->commit();

        // Change memos to other length classes (freeing the old pages), delete a few.
        w.pager->begin();
        for (size_t k = 0; k < ids.size(); ++k) {
            auto& [key, id] = ids[k];
            Row row = expected[key];
            if (k % 4 == 3) {
                removeRow(t, id);
                expected.erase(key);
                continue;
            }
            row[4] = r.ascii(lengths[(k * 7) % lengths.size()]);
            updateRow(t, id, row);
            expected[key] = row;
        }
        w.pager->commit();
    }
    Writable again(file);
    auto actual = rowsByKey(again.table("DateTest"), 5);
    ASSERT_EQ(actual.size(), expected.size());
    for (const auto& [key, row] : expected) {
        SCOPED_TRACE(key);
        EXPECT_EQ(actual[key][4], row[4]);
        EXPECT_EQ(actual[key][0], row[0]);
    }
    expectIndexesSound(again.table("DateTest"));
    again.close();
    expectSameAsMdbExport(file, "DateTest");
}

// A table grows from empty past the 512 pages an inline map describes, then shrinks to nothing.
TEST(RowWrite, TableOutgrowsInlineMapAndEmpties) {
    TempDir dir;
    fs::path file = copyFixture("testPromotionV2000.mdb", dir.path());
    RandomText r(3);
    std::vector<RowId> ids;
    {
        Writable w(file);
        TableImpl& t = w.table("jobDB1");
        ASSERT_EQ(t.tdef().rowCount, 0u);
        EXPECT_EQ(UsageMap::read(*w.pager, w.format(), t.tdef().ownedMap, "f").type(),
                  UsageMap::kInline);
        w.pager->begin();
        for (int i = 0; i < 1100; ++i) {
            Row row(10);
            row[0] = int32_t(i);
            row[3] = "job " + std::to_string(i) + " " + r.ascii(240);
            for (int c = 4; c < 9; ++c) row[c] = r.ascii(250);
            row[9] = double(i) / 4;
            ids.push_back(insertRow(t, row));
        }
        w.pager->commit();
        UsageMap owned = UsageMap::read(*w.pager, w.format(), t.tdef().ownedMap, "f");
        EXPECT_EQ(owned.type(), UsageMap::kReference);
        EXPECT_GT(owned.pages().size(), 512u);
    }
    {
        Writable w(file);
        TableImpl& t = w.table("jobDB1");
        EXPECT_EQ(t.rowIds().size(), 1100u);
        EXPECT_EQ(t.tdef().rowCount, 1100u);
        expectIndexesSound(t);
        w.close();
        expectSameAsMdbExport(file, "jobDB1");
    }
    {
        Writable w(file);
        TableImpl& t = w.table("jobDB1");
        w.pager->begin();
        for (RowId id : ids) removeRow(t, id);
        w.pager->commit();
        EXPECT_TRUE(t.rowIds().empty());
        EXPECT_EQ(t.tdef().rowCount, 0u);
        Row row(10);
        row[3] = "after";
        insertRow(t, row);  // outside a transaction: commits by itself
        EXPECT_EQ(t.rowIds().size(), 1u);
        expectIndexesSound(t);
    }
    expectSameAsMdbExport(file, "jobDB1");
}

TEST(RowWrite, RefusedChangesLeaveNothing) {
    TempDir dir;
    fs::path file = copyFixture("testV2000.mdb", dir.path());
    Writable w(file);
    TableImpl& t = w.table("Table1");
    std::string before = testing_support::readFile(file);
    RandomText r(5);

    auto codeOf = [&](const Row& row) { return errorNumberOf<Error>([&] { insertRow(t, row); }); };
    Row good = randomTypedRow(r, "fine");
    Row tooLong = good;
    tooLong[0] = r.ascii(51);
    EXPECT_EQ(codeOf(tooLong), ErrorCode::TooLong);
    Row thaiFits = good;
    thaiFits[0] = r.text(50);  // characters, not bytes, count
    Row overflow = good;
    overflow[2] = int32_t(256);
    EXPECT_EQ(codeOf(overflow), ErrorCode::Overflow);
    Row wrongType = good;
    wrongType[4] = "12";
    EXPECT_EQ(codeOf(wrongType), ErrorCode::TypeMismatch);
    Row badUtf8 = good;
    badUtf8[1] = std::string("\xC3\x28");
    EXPECT_EQ(codeOf(badUtf8), ErrorCode::TypeMismatch);
    EXPECT_EQ(codeOf(Row(3)), ErrorCode::TypeMismatch);
    EXPECT_EQ(testing_support::readFile(file), before) << "refused rows reach the file";

    // Savepoints per row, as a transfer takes them per line: released ones keep their rows,
    // rolling back to a later one undoes only what followed it.
    w.db->begin();
    Row first = randomTypedRow(r, "first"), second = randomTypedRow(r, "second");
    auto a = w.db->savepoint();
    insertRow(t, first);
    w.db->release(a);
    auto b = w.db->savepoint();
    insertRow(t, second);
    w.db->rollbackTo(b);
    w.db->commit();
    auto kept = rowsByKey(t, 0);
    EXPECT_TRUE(kept.count("first"));
    EXPECT_FALSE(kept.count("second"));
    before = testing_support::readFile(file);

    // Inside a transaction a refused row undoes only itself.
    w.pager->begin();
    insertRow(t, thaiFits);
    EXPECT_EQ(codeOf(tooLong), ErrorCode::TooLong);
    w.pager->commit();
    auto rows = rowsByKey(t, 0);
    EXPECT_TRUE(rows.count(thaiFits[0].as<std::string>()));
    EXPECT_EQ(rows.size(), size_t(t.tdef().rowCount));
}

TEST(DataPage, AddReplaceDeleteKeepFreeSpaceExact) {
    const JetFormat& f = JetFormat::jet4();
    std::vector<uint8_t> page(4096);
    data_page::initialise(page.data(), f, 42);
    EXPECT_EQ(data_page::freeSpace(page.data(), f), 4082u);
    std::vector<uint8_t> a(100, 'a'), b(200, 'b'), c(300, 'c');
    EXPECT_EQ(data_page::addRow(page.data(), f, a), 0);
    EXPECT_EQ(data_page::addRow(page.data(), f, b), 1);
    EXPECT_EQ(data_page::addRow(page.data(), f, c), 2);
    EXPECT_EQ(getU16(page.data() + 2), 4082u - 606);

    std::vector<uint8_t> bigger(500, 'B');
    ASSERT_TRUE(data_page::replaceRow(page.data(), f, 1, bigger, 0));
    auto row = data_page::rowBytes(page.data(), f, 2);
    EXPECT_EQ(std::vector<uint8_t>(row.begin(), row.end()), c) << "later rows move intact";
    data_page::deleteRow(page.data(), f, 0);
    EXPECT_EQ(data_page::rowBytes(page.data(), f, 0).size(), 0u);
    EXPECT_EQ(data_page::slotFlags(page.data(), f, 0), data_page::kDeletedRow);
    EXPECT_EQ(getU16(page.data() + 2), 4082u - 6 - 800);
    std::vector<uint8_t> huge(4000, 'h');
    EXPECT_FALSE(data_page::replaceRow(page.data(), f, 2, huge, 0));
    row = data_page::rowBytes(page.data(), f, 1);
    EXPECT_EQ(std::vector<uint8_t>(row.begin(), row.end()), bigger)
        << "a refused replace changes nothing";
    EXPECT_FALSE(data_page::hasRoomFor(page.data(), f, 3300));
}

// Random adds, replaces and deletes against a model of the slots: every row keeps its bytes, the
// rows stay packed in slot order from the page end, nothing stale lies in the free space and the
// stored free space is exact. Some rows start out as Access leaves deleted rows that kept their
// bytes, which the first change of the page packs away.
TEST(DataPage, RandomChangesKeepRowsPackedAndIntact) {
    const JetFormat& f = JetFormat::jet4();
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        std::vector<uint8_t> page(4096);
        data_page::initialise(page.data(), f, 42);
        std::map<uint16_t, std::vector<uint8_t>> live;
        uint16_t keptDeleted = 0;
        for (int i = 0; i < 6; ++i) {
            std::vector<uint8_t> bytes(20 + random() % 60, uint8_t('a' + i));
            const bool deletedWithBytes = round % 2 == 1 && i % 3 == 1;
            const uint8_t slot = data_page::addRow(page.data(), f, bytes,
                                                   deletedWithBytes ? data_page::kDeletedRow : 0);
            if (deletedWithBytes)
                ++keptDeleted;
            else
                live[slot] = bytes;
        }
        for (int step = 0; step < 300; ++step) {
            const int op = int(random() % 3);
            std::vector<uint8_t> bytes(random() % 120, uint8_t(random()));
            if (op == 0 && data_page::hasRoomFor(page.data(), f, bytes.size())) {
                live[data_page::addRow(page.data(), f, bytes)] = bytes;
            } else if (op == 1 && !live.empty()) {
                auto it = std::next(live.begin(), long(random() % live.size()));
                if (data_page::replaceRow(page.data(), f, it->first, bytes, 0)) {
                    it->second = bytes;
                    keptDeleted = 0;
                }
            } else if (op == 2 && !live.empty()) {
                auto it = std::next(live.begin(), long(random() % live.size()));
                data_page::deleteRow(page.data(), f, it->first);
                live.erase(it);
                keptDeleted = 0;
            }
            const uint16_t slots = data_page::slotCount(page.data(), f);
            uint32_t lowest = 4096;
            for (uint16_t r = 0; r < slots; ++r) {
                auto row = data_page::rowBytes(page.data(), f, r);
                if (auto it = live.find(r); it != live.end()) {
                    ASSERT_EQ(std::vector<uint8_t>(row.begin(), row.end()), it->second)
                        << "round " << round << " step " << step << " slot " << r;
                } else if (!keptDeleted) {
                    ASSERT_EQ(data_page::slotFlags(page.data(), f, r), data_page::kDeletedRow);
                    ASSERT_TRUE(row.empty()) << "a deleted row gives its bytes back";
                }
                if (!row.empty()) {
                    ASSERT_EQ(size_t(row.data() - page.data()) + row.size(), lowest)
                        << "rows packed in slot order";
                    lowest = uint32_t(row.data() - page.data());
                }
            }
            if (keptDeleted) continue;
            const size_t tableEnd = f.dataRowTable + 2 * size_t(slots);
            ASSERT_EQ(data_page::freeSpace(page.data(), f), lowest - tableEnd);
            ASSERT_EQ(getU16(page.data() + 2), lowest - tableEnd);
            ASSERT_TRUE(std::all_of(page.begin() + long(tableEnd), page.begin() + lowest,
                                    [](uint8_t b) { return b == 0; }))
                << "round " << round << " step " << step << ": stale bytes in the free space";
        }
    }
}

}  // namespace

namespace {

// overflowTestV2000 holds rows Access moved to other pages; updating and deleting them (and
// growing others until they move) keeps every row reachable exactly once.
TEST(RowWrite, OverflowRowsUpdatedMovedAndDeleted) {
    TempDir dir;
    fs::path file = copyFixture("overflowTestV2000.mdb", dir.path());
    RandomText r(9);
    std::vector<Row> expected;
    {
        Writable w(file);
        TableImpl& t = w.table("Table1");
        std::vector<RowId> ids = t.rowIds();
        w.pager->begin();
        for (size_t i = 0; i < 200; ++i) {
            Row row(9);
            row[0] = "filler" + std::to_string(i);
            row[1] = r.ascii(20);
            ids.push_back(insertRow(t, row));
        }
        // Every row grows to full width: many no longer fit where they are and move.
        for (size_t i = 0; i < ids.size(); ++i) {
            Row row(9);
            row[0] = "row" + std::to_string(i);
            for (size_t c = 1; c < 9; ++c) row[c] = r.text(50);
            if (i % 7 == 3) {
                removeRow(t, ids[i]);
                continue;
            }
            updateRow(t, ids[i], row);
            expected.push_back(row);
        }
        w.pager->commit();
        EXPECT_EQ(t.tdef().rowCount, expected.size());
        std::vector<RowId> after = t.rowIds();
        EXPECT_EQ(after.size(), expected.size());
    }
    Writable again(file);
    std::map<std::string, Row> actual = rowsByKey(again.table("Table1"), 0);
    ASSERT_EQ(actual.size(), expected.size());
    for (const Row& row : expected) EXPECT_EQ(actual[row[0].as<std::string>()], row);
    again.close();
    expectSameAsMdbExport(file, "Table1");
}

// A text index in a sort order we cannot build keys for: the table is refused for writing before
// anything is written.
TEST(RowWrite, UnknownTextSortOrderRefused) {
    TempDir dir;
    fs::path file = copyFixture("bigIndexTestV2000.mdb", dir.path());
    {
        Writable w(file);
        TableImpl& t = w.table("Table1");
        const Tdef& tdef = t.tdef();
        int col1 = -1;
        for (size_t i = 0; i < tdef.columns.size(); ++i) {
            if (tdef.columns[i].name == "col1") col1 = int(i);
        }
        ASSERT_GE(col1, 0);
        size_t at = tdef.columnsOffset + size_t(tdef.descriptorPosition[size_t(col1)]) * 25 + 11;
        w.pager->begin();
        putU16(w.pager->write(tdef.firstPage) + at, 0x041E);  // Thai
        w.pager->commit();
    }
    std::string before = testing_support::readFile(file);
    Writable w(file);
    TableImpl& t = w.table("Table1");
    std::string message;
    EXPECT_EQ(errorNumberOf<Error>(
                  [&] {
                      insertRow(t, Row{Value("ก"), Value("x")});
                  },
                  &message),
              ErrorCode::Unsupported)
        << "inserted";
    EXPECT_NE(message.find("col1"), std::string::npos) << message;
    EXPECT_EQ(testing_support::readFile(file), before);
}

// Row changes whose commit fails at any step leave the file byte for byte as committed, and the
// engine's view of the table with it.
TEST(RowWrite, InterruptedCommitOfRowsLeavesFileUnchanged) {
    TempDir dir;
    fs::path file = copyFixture("testV2000.mdb", dir.path());
    std::string before = testing_support::readFile(file);
    Writable w(file);
    TableImpl& t = w.table("Table1");
    RandomText r(13);
    const uint32_t count = t.tdef().rowCount;
    for (uint64_t step = 0; step < 12; ++step) {
        w.pager->setFaultHook([step](FaultPoint point, uint64_t n) {
            bool hit = step < 8 ? point == FaultPoint::PageWrite && n == step * 3
                                : int(point) == int(step - 8);
            if (hit) throw Error(ErrorCode::Io, "injected");
        });
        w.db->begin();
        for (int i = 0; i < 300; ++i) insertRow(t, randomTypedRow(r, "x" + std::to_string(i)));
        EXPECT_THROW(w.db->commit(), Error);
        EXPECT_FALSE(w.db->inTransaction());
        EXPECT_EQ(testing_support::readFile(file), before) << "step " << step;
        EXPECT_EQ(w.table("Table1").tdef().rowCount, count);
    }
    w.pager->setFaultHook({});
    insertRow(w.table("Table1"), randomTypedRow(r, "after"));
    expectIndexesSound(w.table("Table1"));
}

}  // namespace

namespace {

// Deleting rows and adding as many again (what every transfer does to its calculation rows)
// reuses the room the deletes gave back instead of growing the file.
TEST(RowWrite, SpaceOfDeletedRowsAndMemosIsReused) {
    TempDir dir;
    fs::path file = copyFixture("DateTestDatabase.mdb", dir.path());
    RandomText r(17);
    auto fill = [&](TableImpl& t) {
        std::vector<RowId> ids;
        for (int i = 0; i < 400; ++i) {
            Row row(6);
            row[0] = int32_t(i);
            row[4] = r.ascii(i % 2 ? 900 : 30);
            row[5] = "row " + std::to_string(i);
            ids.push_back(insertRow(t, row));
        }
        return ids;
    };
    Writable w(file);
    TableImpl& t = w.table("DateTest");
    w.db->begin();
    std::vector<RowId> ids = fill(t);
    w.db->commit();
    const auto grown = fs::file_size(file);
    for (int round = 0; round < 3; ++round) {
        w.db->begin();
        for (RowId id : ids) removeRow(t, id);
        ids = fill(t);
        w.db->commit();
    }
    EXPECT_LE(fs::file_size(file), grown + 4 * 4096);
    EXPECT_EQ(t.rowIds().size(), t.tdef().rowCount);
    w.close();
    expectSameAsMdbExport(file, "DateTest");
}

}  // namespace
