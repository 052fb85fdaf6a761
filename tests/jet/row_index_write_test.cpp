// Row writes against indexes: thousands of random changes through text (Thai included) and
// AutoNumber indexes, checked by the index check, by seeks in every index and by mdb-export;
// unique and primary keys refused before anything is written.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/error.h"
#include "jet/index_check.h"
#include "jet/path_text.h"
#include "jet/table_write.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using namespace jet;
using testing_support::copyFixture;
using testing_support::errorNumberOf;
using testing_support::readFile;
using testing_support::TempDir;

std::string randomWord(std::mt19937& random, size_t maxLength) {
    static const char* pieces[] = {"a", "b", "C", "d", "9", " ", "ก", "ข", "ไ", "่", "é", "-"};
    std::string s;
    size_t length = 1 + random() % maxLength;
    for (size_t i = 0; i < length; ++i) s += pieces[random() % 12];
    return s;
}

std::vector<std::string> problemsOf(Database& db, const std::string& table) {
    return checkTableIndexes(db.impl()->table(table));
}

// An empty table with a text index grows to thousands of rows through random inserts, then
// random updates and deletes and a removal of many rows at once; after every commit the index
// matches the rows.
TEST(RowIndexWrite, RandomChangesKeepTextIndexExact) {
    TempDir dir;
    fs::path file = copyFixture("bigIndexTestV2000.mdb", dir.path());
    std::mt19937 random(42);
    std::multiset<std::string> expected;
    std::vector<std::pair<RowId, std::string>> live;
    {
        auto db = Database::open(file, OpenMode::ReadWrite);
        Table t = db->table("Table1");
        db->begin();
        for (int i = 0; i < 3000; ++i) {
            std::string key = randomWord(random, 40);
            live.push_back({t.insert(Row{key, Value(randomWord(random, 200))}), key});
            expected.insert(key);
        }
        db->commit();
        EXPECT_EQ(problemsOf(*db, "Table1"), std::vector<std::string>{});

        db->begin();
        for (int i = 0; i < 1500; ++i) {
            size_t k = random() % live.size();
            auto [id, key] = live[k];
            expected.erase(expected.find(key));
            if (i % 2) {
                t.remove(id);
                live.erase(live.begin() + long(k));
            } else {
                std::string changed = randomWord(random, 60);
                t.update(id, Row{changed, Value(randomWord(random, 250))});
                live[k].second = changed;
                expected.insert(changed);
            }
        }
        // Every third row left goes in one removal: long values, counters and the index.
        std::vector<RowId> together;
        std::vector<std::pair<RowId, std::string>> kept;
        for (size_t k = 0; k < live.size(); ++k) {
            if (k % 3) {
                kept.push_back(live[k]);
                continue;
            }
            together.push_back(live[k].first);
            expected.erase(expected.find(live[k].second));
        }
        t.remove(together);
        live = kept;
        db->commit();
        EXPECT_EQ(problemsOf(*db, "Table1"), std::vector<std::string>{});
        EXPECT_EQ(t.rowCount(), expected.size());
    }
    auto db = Database::open(file, OpenMode::ReadOnly);
    Table t = db->table("Table1");
    std::multiset<std::string> actual;
    for (RowId id : t.seek(0, {})) actual.insert(t.read(id, 0).as<std::string>());
    EXPECT_EQ(actual, expected);
    std::string some = *expected.begin();
    EXPECT_EQ(t.seek(0, {Value(some)}).size(), expected.count(some));
    EXPECT_EQ(db->check(), std::vector<std::string>{});
    db.reset();

    int status = 0;
    const std::string exported = testing_support::exportTable(file, "Table1", &status);
    EXPECT_EQ(status, 0) << exported;
    EXPECT_EQ(size_t(std::count(exported.begin(), exported.end(), '\n')), expected.size() + 1);
}

TEST(RowIndexWrite, AutoNumberAndUniqueKeys) {
    TempDir dir;
    fs::path file = copyFixture("testUnicodeCompV2003.mdb", dir.path());
    auto db = Database::open(file, OpenMode::ReadWrite);
    Table t = db->table("Table");
    uint32_t before = t.rowCount();
    int32_t highest = 0;
    t.scan([&](RowId, const Row& row) {
        highest = std::max(highest, row[0].as<int32_t>());
        return true;
    });

    // AutoNumber values come from the engine, one above the last handed out.
    RowId a = t.insert(Row{Value(int32_t(999)), Value("Ελληνικά ไทย")});
    RowId b = t.insert(Row{Value(), Value("second")});
    EXPECT_EQ(t.read(a, 0), Value(int32_t(highest + 1)));
    EXPECT_EQ(t.read(b, 0), Value(int32_t(highest + 2)));
    EXPECT_EQ(t.rowCount(), before + 2);

    // An update cannot change an AutoNumber; the text index follows the new value.
    t.update(a, Row{Value(int32_t(5)), Value("changed")});
    EXPECT_EQ(t.read(a, 0), Value(int32_t(highest + 1)));
    EXPECT_EQ(t.seek(1, {Value("changed")}), std::vector<RowId>{a});
    EXPECT_TRUE(t.seek(1, {Value("Ελληνικά ไทย")}).empty());
    t.remove(b);
    RowId c = t.insert(Row{Value(), Value("third")});
    EXPECT_EQ(t.read(c, 0), Value(int32_t(highest + 3))) << "numbers are never reused";
    EXPECT_EQ(db->check(), std::vector<std::string>{});

    // Duplicate and null primary keys are refused before anything changes.
    fs::path other = copyFixture("testV2000.mdb", dir.path());
    auto second = Database::open(other, OpenMode::ReadWrite);
    Table t1 = second->table("Table1");
    std::string bytes = readFile(other);
    Row row{Value("abcdefg"),  Value("x"), Value(uint8_t(1)),      Value(int16_t(1)),
            Value(int32_t(1)), Value(1.0), Value(DateTime{40000}), Value(Currency{10000}),
            Value(true)};
    EXPECT_EQ(errorNumberOf<Error>([&] { t1.insert(row); }), ErrorCode::DuplicateKey);
    row[0] = Value();
    EXPECT_EQ(errorNumberOf<Error>([&] { t1.insert(row); }), ErrorCode::NullNotAllowed);
    EXPECT_EQ(readFile(other), bytes);

    // Changing a key onto another row's key is refused too; keeping one's own key is fine.
    row[0] = Value("new key");
    RowId added = t1.insert(row);
    row[0] = Value("a");
    EXPECT_EQ(errorNumberOf<Error>([&] { t1.update(added, row); }), ErrorCode::DuplicateKey);
    row[0] = Value("new key");
    row[1] = Value("other text");
    t1.update(added, row);
    EXPECT_EQ(second->check(), std::vector<std::string>{});
}

}  // namespace

namespace {

// indexTestV2000: Table1.otherfk1 refers to Table2.id (deletes cascade), Table1.otherfk2 refers
// to Table3.id (updates cascade).
TEST(RowRelationships, ReferencesRefusedOrCascaded) {
    TempDir dir;
    fs::path file = copyFixture("indexTestV2000.mdb", dir.path());
    auto db = Database::open(file, OpenMode::ReadWrite);
    Table t1 = db->table("Table1"), t2 = db->table("Table2"), t3 = db->table("Table3");
    auto idOf = [](Table& t, int32_t key) {
        std::vector<RowId> ids = t.seek(t.primaryKeyIndex(), {Value(key)});
        return ids.empty() ? RowId{} : ids.front();
    };
    auto ids = [](Table& t) {
        std::vector<int32_t> out;
        t.scan([&](RowId, const Row& row) {
            out.push_back(row[0].as<int32_t>());
            return true;
        });
        std::sort(out.begin(), out.end());
        return out;
    };
    Row row{Value(int32_t(7)), Value(int32_t(99)), Value(int32_t(10)), Value("new"),
            Value(int32_t(0))};
    EXPECT_EQ(errorNumberOf<Error>([&] { t1.insert(row); }), ErrorCode::Relationship)
        << "no Table2 row 99";
    row[1] = Value(int32_t(2));
    row[2] = Value(int32_t(98));
    EXPECT_EQ(errorNumberOf<Error>([&] { t1.insert(row); }), ErrorCode::Relationship)
        << "no Table3 row 98";
    row[2] = Value();
    RowId added = t1.insert(row);  // a null reference refers to nothing
    row[2] = Value(int32_t(12));
    t1.update(added, row);
    row[1] = Value(int32_t(50));
    EXPECT_EQ(errorNumberOf<Error>([&] { t1.update(added, row); }), ErrorCode::Relationship);

    // Table2 -> Table1 cascades deletes but not updates.
    EXPECT_EQ(errorNumberOf<Error>([&] {
                  t2.update(idOf(t2, 0), Row{Value(int32_t(5)), Value("x")});
              }),
              ErrorCode::Relationship);
    t2.update(idOf(t2, 0), Row{Value(int32_t(0)), Value("same key, new data")});
    t2.remove(std::vector<RowId>{idOf(t2, 1)});  // rows taken together cascade as well
    EXPECT_EQ(ids(t1), (std::vector<int32_t>{0, 3, 7})) << "rows 1 and 2 referred to Table2 row 1";

    // Table3 -> Table1 cascades updates but not deletes.
    EXPECT_EQ(errorNumberOf<Error>([&] { t3.remove(idOf(t3, 13)); }), ErrorCode::Relationship);
    t3.update(idOf(t3, 13), Row{Value(int32_t(23)), Value("bar23")});
    EXPECT_EQ(t1.read(idOf(t1, 3), 2), Value(int32_t(23)));
    t3.remove(idOf(t3, 11));  // nothing refers to it any more
    EXPECT_EQ(ids(t3), (std::vector<int32_t>{10, 12, 23}));
    EXPECT_EQ(db->check(), std::vector<std::string>{});
}

}  // namespace
