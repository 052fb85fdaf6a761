// Index seeks through the public API and the whole-database check, on Access-written files.
#include <gtest/gtest.h>

#include <fstream>

#include "jet/coding.h"
#include "jet/database.h"
#include "jet/path_text.h"
#include "support/test_support.h"

namespace {

using jet::Database;
using jet::OpenMode;
using jet::RowId;
using jet::Value;
using testing_support::fixturePath;
using testing_support::Output;
using testing_support::runProgram;
using testing_support::TempDir;

TEST(Seek, TextKeysAreCaseInsensitiveAndFindTheirRows) {
    auto db = Database::open(fixturePath("testV2000.mdb"), OpenMode::ReadOnly);
    jet::Table t = db->table("Table1");
    auto ids = t.rowIds();
    int pk = t.primaryKeyIndex();
    EXPECT_EQ(t.seek(pk, {Value("abcdefg")}), std::vector<RowId>{ids[0]});
    EXPECT_EQ(t.seek(pk, {Value("ABCDEFG")}), std::vector<RowId>{ids[0]});
    EXPECT_EQ(t.seek(pk, {Value("a")}), std::vector<RowId>{ids[1]});
    EXPECT_TRUE(t.seek(pk, {Value("abcdef")}).empty());  // a prefix of a value is not a match
    // All entries in key order: "a" sorts before "abcdefg".
    EXPECT_EQ(t.seek(pk, {}), (std::vector<RowId>{ids[1], ids[0]}));
    EXPECT_THROW(t.seek(pk, {Value("a"), Value("b")}), jet::Error);
    EXPECT_THROW(t.seek(99, {}), jet::Error);

    auto uniDb = Database::open(fixturePath("testUnicodeCompV2003.mdb"), OpenMode::ReadOnly);
    jet::Table u = uniDb->table("Table");
    int byText = -1;
    for (size_t i = 0; i < u.indexes().size(); ++i)
        if (u.indexes()[i].columns[0].columnNumber == u.columns()[1].number) byText = int(i);
    ASSERT_GE(byText, 0);
    auto found = u.seek(byText, {Value("漢字仮名交じり文")});
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(u.read(found[0], 0), Value(int32_t(5)));
}

TEST(Seek, NumericKeysDescendingAndCompound) {
    auto db = Database::open(fixturePath("compIndexTestV2000.mdb"), OpenMode::ReadOnly);
    jet::Table t = db->table("Table1");
    // A descending Long index spread over several index pages.
    auto all = t.seek(0, {});
    ASSERT_EQ(all.size(), 512u);
    EXPECT_EQ(t.read(all.front(), 0), Value(int32_t(4813)));
    // Nulls sort last in a descending index.
    EXPECT_TRUE(t.read(all[510], 0).isNull());
    EXPECT_TRUE(t.read(all[511], 0).isNull());
    EXPECT_GT(t.read(all[1], 0).as<int32_t>(), t.read(all[509], 0).as<int32_t>());
    auto hit = t.seek(0, {Value(int32_t(43))});
    ASSERT_EQ(hit.size(), 1u);
    EXPECT_EQ(t.read(hit[0], 0), Value(int32_t(43)));
    // A narrower integer is widened to the column's type.
    EXPECT_EQ(t.seek(0, {Value(int16_t(43))}), hit);
    EXPECT_TRUE(t.seek(0, {Value(int32_t(44))}).empty());

    // Jet 3: the leading column of a two-column primary key.
    auto nwind = Database::open(fixturePath("nwind.mdb"), OpenMode::ReadOnly);
    jet::Table details = nwind->table("Order Details");
    auto lines = details.seek(details.primaryKeyIndex(), {Value(int32_t(10250))});
    ASSERT_EQ(lines.size(), 3u);
    int32_t previous = -1;
    for (RowId id : lines) {
        EXPECT_EQ(details.read(id, 0), Value(int32_t(10250)));
        int32_t product = details.read(id, 1).as<int32_t>();
        EXPECT_GT(product, previous);  // index order within the order
        previous = product;
    }
    EXPECT_EQ(
        details.seek(details.primaryKeyIndex(), {Value(int32_t(10250)), Value(int32_t(51))}).size(),
        1u);
}

TEST(Check, EveryFixtureIsSound) {
    for (const char* name : testing_support::kAllFixtures) {
        SCOPED_TRACE(name);
        auto db = Database::open(fixturePath(name), OpenMode::ReadOnly);
        std::vector<std::string> progress;
        auto problems = db->check([&](const std::string& line) { progress.push_back(line); });
        EXPECT_TRUE(problems.empty()) << problems.front();
        EXPECT_FALSE(progress.empty());
    }
}

TEST(Check, JetdbReportsADamagedIndex) {
    TempDir dir;
    auto path = testing_support::copyFixture("indexTestV2000.mdb", dir.path());
    const std::string file = jet::utf8FromPath(path);
    int status = -1;
    runProgram("jetdb", {"check", file}, &status);
    EXPECT_EQ(status, 0);

    // Point the first entry of a non-empty leaf at another row: the row loses its entry.
    std::string bytes = testing_support::readFile(path);
    bool damaged = false;
    for (size_t p = 1; p < bytes.size() / 4096 && !damaged; ++p) {
        const uint8_t* page = reinterpret_cast<const uint8_t*>(bytes.data()) + p * 4096;
        if (page[0] != 0x04 || jet::getU16(page + 2) >= 3616) continue;
        // The entry ends at the first set bit of the entry-end bitmap; its last byte is the row.
        for (size_t b = 0; b < 453 * 8 && !damaged; ++b) {
            if ((page[27 + b / 8] >> (b % 8)) & 1) {
                bytes[p * 4096 + 0x1E0 + b - 1] ^= 0x40;
                damaged = true;
            }
        }
    }
    ASSERT_TRUE(damaged);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    std::string out = runProgram("jetdb", {"check", file}, &status, Output::Both);
    EXPECT_NE(status, 0);
    EXPECT_NE(out.find("FAULT"), std::string::npos) << out;
}

}  // namespace
