// jetdb compact: the new file holds what the old one held, as independent readers see it (every
// table's rows, the schema with indexes and relationships, every object's properties, the
// queries), passes our check and the independent validator, and is no larger; the original is
// never changed. Engine-made files show what a compact gives back.
#include <gtest/gtest.h>

#include <algorithm>

#include "create_sample_schema.h"
#include "jet/compact.h"
#include "jet/database.h"
#include "jet/database_impl.h"
#include "jet/index_tree.h"
#include "jet/pager.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runCommand;
using testing_support::splitLines;
using testing_support::TempDir;

std::string shell(const fs::path& path) {
    return "'" + path.string() + "'";
}

const std::string jetdb = std::string(VELTRA_BINARY_DIR) + "/jetdb";

// Lines that differ only in where mdbtools' warnings fall among them are the same.
std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines = splitLines(text);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// What mdbtools reads in a file, one section per object, each section's lines sorted (rows come
// back in a new storage order).
std::vector<std::vector<std::string>> readable(const fs::path& file) {
    std::vector<std::vector<std::string>> out;
    out.push_back(
        sortedLines(runCommand("mdb-schema --indexes --relations --not-null "
                               "--default-values --comments " +
                               shell(file) + " access 2>/dev/null")));
    for (const std::string& table : splitLines(runCommand("mdb-tables -S -1 " + shell(file)))) {
        out.push_back({"table " + table});
        out.push_back(sortedLines(
            runCommand("mdb-export -b hex " + shell(file) + " '" + table + "' 2>/dev/null")));
        out.push_back(
            sortedLines(runCommand("mdb-prop " + shell(file) + " '" + table + "' 2>/dev/null")));
    }
    for (const std::string& query : splitLines(runCommand("mdb-queries -L -1 " + shell(file)))) {
        out.push_back({"query " + query});
        out.push_back(
            sortedLines(runCommand("mdb-queries " + shell(file) + " '" + query + "' 2>/dev/null")));
        out.push_back(
            sortedLines(runCommand("mdb-prop " + shell(file) + " '" + query + "' 2>/dev/null")));
    }
    return out;
}

// Our check and the independent validator both pass.
void expectSound(const fs::path& file) {
    int status = 0;
    std::string out = runCommand(jetdb + " check " + shell(file) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    const fs::path validator = fs::path(VELTRA_SHARED_DIR) / "validator" / "validate.sh";
    ASSERT_TRUE(fs::exists(validator)) << "no validator at " << validator;
    out = runCommand("sh " + shell(validator) + " " + shell(file) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
}

class CompactFixture : public testing::TestWithParam<const char*> {};

TEST_P(CompactFixture, HoldsWhatTheOriginalHeldAndLeavesItAlone) {
    TempDir dir;
    const fs::path source = testing_support::copyFixture(GetParam(), dir.path());
    const fs::path target = dir / "compacted.mdb";
    const std::string before = readFile(source);
    int status = 0;
    const std::string out =
        runCommand(jetdb + " compact " + shell(source) + " " + shell(target) + " 2>&1", &status);
    EXPECT_EQ(readFile(source), before);
    if (std::string(GetParam()) == "nwind.mdb") {
        // Access 97 files are read, never written: refused, and nothing left behind.
        EXPECT_EQ(status, 1) << out;
        EXPECT_NE(out.find("Jet 3"), std::string::npos) << out;
        EXPECT_FALSE(fs::exists(target));
        EXPECT_FALSE(fs::exists(dir / "compacted.mdb.compacting"));
        return;
    }
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out.find("kept as stored"), std::string::npos) << out;
    EXPECT_LE(fs::file_size(target), fs::file_size(source));
    EXPECT_EQ(readable(target), readable(source));
    expectSound(target);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, CompactFixture, testing::ValuesIn(testing_support::kAllFixtures),
                         [](const testing::TestParamInfo<const char*>& fixture) {
                             std::string name = fixture.param;
                             return name.substr(0, name.find('.'));
                         });

// A table that had many rows, long values and index entries deleted: the compacted file is
// smaller, keeps every AutoNumber value and the counter, and its rows read the same.
TEST(Compact, GivesBackWhatDeletionsLeftAndKeepsAutoNumbers) {
    TempDir dir;
    const fs::path source = dir / "Pay.mdb";
    {
        using T = jet::ColumnType;
        jet::TableDefinition def;
        def.name = "Pay Lines";
        jet::ColumnDefinition id = testing_support::typed("ID", T::Long);
        id.autoNumber = true;
        def.columns = {id, testing_support::typed("Key", T::Long),
                       testing_support::text("Name", 50), testing_support::typed("Note", T::Memo)};
        def.indexes = {testing_support::index("PrimaryKey", {"ID"}, true),
                       testing_support::index("ByKey", {"Key", "Name"})};
        auto db = jet::Database::create(source);
        jet::Table lines = db->createTable(def);
        db->begin();
        for (int32_t i = 0; i < 3000; ++i) {
            // Short notes in the row, some on long-value pages, a few over several pages.
            const size_t note = i % 40 == 0 ? 9000 : i % 9 == 0 ? 1500 : 12;
            lines.insert({jet::Value(), jet::Value(int32_t(i * 7919 % 3000)),
                          jet::Value(std::string(20, char('a' + i % 26))),
                          jet::Value(std::string(note, char('A' + i % 26)))});
        }
        db->commit();
        // Nine rows in ten go, the last ones among them: the counter stays past every value.
        db->begin();
        std::vector<jet::RowId> ids = lines.rowIds();
        for (size_t i = 0; i < ids.size(); ++i)
            if (i % 10 != 0 || i + 5 > ids.size()) lines.remove(ids[i]);
        db->commit();
    }
    const fs::path target = dir / "Packed.mdb";
    jet::CompactResult result = jet::compactDatabase(source, target);
    EXPECT_TRUE(result.keptAsStored.empty());
    EXPECT_EQ(result.freePagesLeft, 0u);
    EXPECT_EQ(result.sizeAfter, fs::file_size(target));
    // The pages the deletions emptied are gone; long values keep their pages.
    EXPECT_LT(result.sizeAfter * 10, result.sizeBefore * 6);

    auto a = jet::Database::open(source, jet::OpenMode::ReadOnly);
    auto b = jet::Database::open(target, jet::OpenMode::ReadWrite);
    jet::Table before = a->table("Pay Lines"), after = b->table("Pay Lines");
    std::vector<jet::Row> rowsBefore, rowsAfter;
    before.scan([&](jet::RowId, const jet::Row& r) { return rowsBefore.push_back(r), true; });
    after.scan([&](jet::RowId, const jet::Row& r) { return rowsAfter.push_back(r), true; });
    EXPECT_EQ(rowsAfter, rowsBefore);
    EXPECT_EQ(after.rowCount(), rowsBefore.size());
    // The next AutoNumber follows the highest ever handed out, deleted rows included.
    jet::Row fresh = rowsBefore.front();
    const jet::RowId id = after.insert(fresh);
    EXPECT_EQ(after.read(id, after.columnIndex("ID")), jet::Value(int32_t(3001)));
    b.reset();
    expectSound(target);
}

// Indexes of several levels, built whole: every page full but the last of each level, the tree
// in the shape the engine keeps, and every key found again.
TEST(Compact, BuildsIndexesOfSeveralLevelsFull) {
    TempDir dir;
    const fs::path source = dir / "Names.mdb";
    std::vector<std::string> names;
    {
        using T = jet::ColumnType;
        jet::TableDefinition def;
        def.name = "Names";
        def.columns = {testing_support::typed("N", T::Long), testing_support::text("Name", 120)};
        def.indexes = {testing_support::index("PrimaryKey", {"N"}, true),
                       testing_support::index("ByName", {"Name"})};
        auto db = jet::Database::create(source);
        jet::Table table = db->createTable(def);
        db->begin();
        for (int32_t i = 0; i < 12000; ++i) {
            // Long keys in no order, some repeated: thousands of leaves, three levels.
            const int32_t k = i * 7919 % 12000;
            names.push_back(std::string(100, char('a' + k % 26)) + std::to_string(k % 9000));
            table.insert({jet::Value(k), jet::Value(names.back())});
        }
        db->commit();
    }
    const fs::path target = dir / "Packed.mdb";
    const jet::CompactResult result = jet::compactDatabase(source, target);
    EXPECT_LT(result.sizeAfter, result.sizeBefore);
    auto db = jet::Database::open(target, jet::OpenMode::ReadOnly);
    EXPECT_TRUE(db->check().empty());
    jet::Table table = db->table("Names");
    for (const jet::IndexDescriptor& d : table.impl()->indexDescriptors()) {
        std::vector<uint32_t> pages;
        EXPECT_TRUE(jet::IndexTree(db->impl()->pager(), d).verifyStructure(&pages).empty());
        EXPECT_GT(pages.size(), 3u) << d.name;
    }
    const int byName = table.indexIndex("ByName");
    for (size_t i = 0; i < names.size(); i += 997) {
        const std::vector<jet::RowId> found = table.seek(byName, {jet::Value(names[i])});
        ASSERT_FALSE(found.empty()) << names[i];
        EXPECT_EQ(table.read(found.front(), 1), jet::Value(names[i]));
    }
    db.reset();
    expectSound(target);
}

// A table whose index sorts text in an order the engine cannot build keys for is carried over as
// it was and named; the other tables are still rewritten.
TEST(Compact, CarriesOverAndNamesATableItCannotWriteAgain) {
    TempDir dir;
    const fs::path source = dir / "Sorted.mdb";
    std::vector<jet::Row> rows;
    {
        jet::TableDefinition def;
        def.name = "Kana";
        def.columns = {testing_support::typed("N", jet::ColumnType::Long),
                       testing_support::text("Name", 40)};
        def.indexes = {testing_support::index("ByName", {"Name"})};
        auto db = jet::Database::create(source);
        jet::Table kana = db->createTable(def);
        def.name = "Plain";
        jet::Table plain = db->createTable(def);
        for (int32_t i = 0; i < 50; ++i) {
            rows.push_back({jet::Value(i), jet::Value("name " + std::to_string(i))});
            kana.insert(rows.back());
            plain.insert(rows.back());
        }
        // The text column's sort order becomes Japanese (LCID 0x0411).
        jet::TableImpl& impl = *kana.impl();
        const jet::Tdef& tdef = impl.tdef();
        const jet::JetFormat& format = impl.db().format();
        const size_t at = tdef.columnsOffset + tdef.descriptorPosition[1] * format.columnSize +
                          format.colSortOrder;
        ASSERT_LT(at + 2, format.pageSize);
        db->begin();
        jet::putU16(impl.db().pager().write(tdef.firstPage) + at, 0x0411);
        db->commit();
    }
    const fs::path target = dir / "Packed.mdb";
    const jet::CompactResult result = jet::compactDatabase(source, target);
    ASSERT_EQ(result.keptAsStored.size(), 1u);
    EXPECT_EQ(result.keptAsStored[0].rfind("Kana: index ByName", 0), 0u) << result.keptAsStored[0];
    auto db = jet::Database::open(target, jet::OpenMode::ReadOnly);
    for (const char* name : {"Kana", "Plain"}) {
        std::vector<jet::Row> read;
        db->table(name).scan(
            [&](jet::RowId, const jet::Row& r) { return read.push_back(r), true; });
        EXPECT_EQ(read, rows) << name;
    }
}

TEST(Compact, RefusesATargetThatExistsOrADatabaseOpenElsewhereHere) {
    TempDir dir;
    const fs::path source = testing_support::copyFixture("testV2000.mdb", dir.path());
    const fs::path taken = dir / "taken.mdb";
    {
        std::FILE* f = std::fopen(taken.string().c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("mine", f);
        std::fclose(f);
    }
    EXPECT_THROW(jet::compactDatabase(source, taken), jet::Error);
    EXPECT_EQ(readFile(taken), "mine");

    // Whoever holds the database here would go on writing the old file: refused.
    const std::string before = readFile(source);
    {
        auto held = jet::Database::open(source, jet::OpenMode::ReadWrite);
        try {
            jet::compactInPlace(source);
            ADD_FAILURE() << "compacted a database in use";
        } catch (const jet::Error& e) {
            EXPECT_EQ(e.code(), jet::ErrorCode::InUse) << e.what();
        }
    }
    EXPECT_EQ(readFile(source), before);
    EXPECT_FALSE(fs::exists(jet::compactBackupPath(source)));
    EXPECT_FALSE(fs::exists(dir / "testV2000.mdb.compacting"));
}

}  // namespace
