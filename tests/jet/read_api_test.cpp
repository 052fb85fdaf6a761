// The reading half of the engine through its public API, on Access-written fixtures.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/database.h"
#include "jet/path_text.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

using jet::Database;
using jet::OpenMode;
using testing_support::errorNumberOf;
using testing_support::fixturePath;
using testing_support::Output;
using testing_support::runProgram;

std::shared_ptr<Database> openFixture(const char* name) {
    return Database::open(fixturePath(name), OpenMode::ReadOnly);
}

std::vector<jet::Row> allRows(const jet::Table& table) {
    std::vector<jet::Row> rows;
    table.scan([&](jet::RowId, const jet::Row& row) {
        rows.push_back(row);
        return true;
    });
    return rows;
}

TEST(OpenDatabase, OnePerFileAndClearErrors) {
    auto a = openFixture("testV2000.mdb");
    auto b = Database::open(fixturePath("testV2000.mdb").parent_path() / "." / "testV2000.mdb",
                            OpenMode::ReadOnly);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(a->jetVersion(), 4);
    EXPECT_FALSE(a->writable());
    EXPECT_NE(a.get(), openFixture("delTestV2000.mdb").get());

    // Jet 3 files are only read.
    testing_support::TempDir dir;
    auto jet3 = testing_support::copyFixture("nwind.mdb", dir.path());
    std::string message;
    EXPECT_EQ(
        errorNumberOf<jet::Error>([&] { Database::open(jet3, OpenMode::ReadWrite); }, &message),
        jet::ErrorCode::Unsupported)
        << message;
    EXPECT_EQ(Database::open(jet3, OpenMode::ReadOnly)->jetVersion(), 3);

    // Asking for writing a file already open for reading gives the same, now writable, object.
    auto copy = testing_support::copyFixture("delTestV2000.mdb", dir.path());
    auto reader = Database::open(copy, OpenMode::ReadOnly);
    EXPECT_FALSE(reader->writable());
    auto writer = Database::open(copy, OpenMode::ReadWrite);
    EXPECT_EQ(reader.get(), writer.get());
    EXPECT_TRUE(reader->writable());

    EXPECT_NE(
        errorNumberOf<jet::Error>(
            [&] { Database::open("/nonexistent/folder/file.mdb", OpenMode::ReadOnly); }, &message),
        std::nullopt);
    EXPECT_NE(message.find("/nonexistent/folder/file.mdb"), std::string::npos);
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { a->table("NoSuchTable"); }, &message),
              jet::ErrorCode::NotFound);
    EXPECT_NE(message.find("NoSuchTable"), std::string::npos);
}

TEST(Catalog, UserAndSystemTablesCaseInsensitive) {
    auto db = openFixture("nwind.mdb");
    auto user = db->tableNames();
    EXPECT_EQ(user.size(), 9u);
    EXPECT_NE(std::find(user.begin(), user.end(), "Umsätze"), user.end());
    auto all = db->tableNames(true);
    EXPECT_NE(std::find(all.begin(), all.end(), "MSysObjects"), all.end());
    EXPECT_TRUE(db->hasTable("order DETAILS"));
    EXPECT_TRUE(db->hasTable("UMSÄTZE"));
    EXPECT_EQ(db->table("ORDER details").name(), "Order Details");
    EXPECT_TRUE(db->table("MSysObjects").isSystem());
    EXPECT_FALSE(db->table("Orders").isSystem());
    EXPECT_TRUE(openFixture("emptyJet4.mdb")->tableNames().empty());
}

TEST(Schema, ColumnsIndexesAndProperties) {
    auto db = openFixture("testV2000.mdb");
    jet::Table t = db->table("Table1");
    const auto& c = t.columns();
    ASSERT_EQ(c.size(), 9u);
    const jet::ColumnType expected[] = {
        jet::ColumnType::Text,     jet::ColumnType::Text,     jet::ColumnType::Byte,
        jet::ColumnType::Integer,  jet::ColumnType::Long,     jet::ColumnType::Double,
        jet::ColumnType::DateTime, jet::ColumnType::Currency, jet::ColumnType::Boolean};
    for (size_t i = 0; i < c.size(); ++i) EXPECT_EQ(c[i].type, expected[i]) << c[i].name;
    EXPECT_EQ(c[0].textSize(), 50);
    EXPECT_FALSE(c[0].allowZeroLength);
    EXPECT_EQ(c[2].defaultValue.value_or(""), "0");
    EXPECT_EQ(t.columnIndex("h"), 7);
    EXPECT_EQ(t.columnIndex("nope"), -1);

    int pk = t.primaryKeyIndex();
    ASSERT_GE(pk, 0);
    const jet::Index& primary = t.indexes()[size_t(pk)];
    EXPECT_EQ(primary.name, "PrimaryKey");
    EXPECT_TRUE(primary.unique && primary.required);
    ASSERT_EQ(primary.columns.size(), 1u);
    EXPECT_EQ(primary.columns[0].columnNumber, c[0].number);
    EXPECT_EQ(t.indexIndex("b"), t.indexIndex("B"));

    // Two logical indexes sharing one B-tree, and a foreign key.
    auto idx = openFixture("indexTestV2000.mdb");
    jet::Table t1 = idx->table("Table1");
    EXPECT_TRUE(t1.indexes()[size_t(t1.indexIndex("Table2Table1"))].foreignKey);
    jet::Table t2 = idx->table("Table2");
    EXPECT_EQ(t2.indexes()[size_t(t2.indexIndex("PrimaryKey"))].realIndex,
              t2.indexes()[size_t(t2.indexIndex(".rC"))].realIndex);

    // Jet 3: text sizes in characters, Required from the property blob.
    auto nwind = openFixture("nwind.mdb");
    jet::Table categories = nwind->table("Categories");
    EXPECT_EQ(categories.columns()[1].textSize(), 15);
    EXPECT_TRUE(categories.columns()[1].required);
    EXPECT_TRUE(categories.columns()[0].isAutoNumber());
}

TEST(Rows, TypedValuesAndReadByRowId) {
    auto db = openFixture("testV2000.mdb");
    jet::Table t = db->table("Table1");
    auto ids = t.rowIds();
    ASSERT_EQ(ids.size(), 2u);
    jet::Row row = t.read(ids[0]);
    EXPECT_EQ(row[0], jet::Value("abcdefg"));
    EXPECT_EQ(row[2], jet::Value(uint8_t(2)));
    EXPECT_EQ(row[3], jet::Value(int16_t(222)));
    EXPECT_EQ(row[4], jet::Value(int32_t(333333333)));
    EXPECT_EQ(row[5], jet::Value(444.555));
    EXPECT_EQ(row[6].as<jet::DateTime>().toString(), "1974-09-21 00:00:00");
    EXPECT_EQ(row[7], jet::Value(jet::Currency{35000}));
    EXPECT_EQ(row[8], jet::Value(true));
    EXPECT_EQ(t.read(ids[1], 8), jet::Value(false));
    EXPECT_EQ(t.read(ids[1], 0), jet::Value("a"));
    EXPECT_EQ(allRows(t)[0], row);
    EXPECT_THROW(t.read(jet::RowId{ids[0].page, 200}), jet::Error);
    EXPECT_THROW(t.read(ids[0], 99), jet::Error);

    // Stopping a scan early.
    int seen = 0;
    t.scan([&](jet::RowId, const jet::Row&) { return ++seen < 1; });
    EXPECT_EQ(seen, 1);
}

TEST(Rows, OverflowRowsKeepTheirRowId) {
    auto db = openFixture("overflowTestV2000.mdb");  // a Table is valid while its database is
    jet::Table t = db->table("Table1");
    auto ids = t.rowIds();
    auto rows = allRows(t);
    ASSERT_EQ(ids.size(), 7u);
    // Rows 3 and 5 were moved by updates; they are still found at their original slots.
    EXPECT_EQ(rows[2][1], jet::Value("row3col3"));
    EXPECT_EQ(rows[2][7], jet::Value("row3col9"));
    EXPECT_TRUE(rows[2][0].isNull());
    EXPECT_EQ(rows[4][1], jet::Value("row5col2"));
    for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(t.read(ids[i]), rows[i]);
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
}

TEST(Rows, DeletedAndAddedColumnsAndDeletedRows) {
    auto db = openFixture("delColTestV2000.mdb");
    jet::Table t = db->table("Table1");
    std::vector<uint16_t> numbers;
    for (const auto& c : t.columns()) numbers.push_back(c.number);
    EXPECT_EQ(numbers, (std::vector<uint16_t>{0, 2, 3, 5}));
    auto rows = allRows(t);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1], (jet::Row{int32_t(3), int32_t(5), "bar", "bar2"}));

    auto del = openFixture("delTestV2000.mdb");
    auto rowsDel = allRows(del->table("Table"));
    ASSERT_EQ(rowsDel.size(), 2u);
    EXPECT_EQ(rowsDel[1], (jet::Row{"v", "u"}));
}

TEST(Rows, TextMemoOleAndDecimal) {
    auto uniDb = openFixture("testUnicodeCompV2003.mdb");
    auto uni = allRows(uniDb->table("Table"));
    ASSERT_EQ(uni.size(), 8u);
    EXPECT_EQ(uni[2][1], jet::Value("Мир"));
    EXPECT_EQ(uni[4][1], jet::Value("漢字仮名交じり文"));

    auto numericDb = openFixture("fixedNumericTestV2000.mdb");
    auto numeric = allRows(numericDb->table("test"));
    ASSERT_EQ(numeric.size(), 1u);
    EXPECT_EQ(numeric[0][0], jet::Value("some data"));
    EXPECT_EQ(numeric[0][5].as<jet::Decimal>().toString(), "-1");

    auto nwind = openFixture("nwind.mdb");
    EXPECT_EQ(nwind->jetVersion(), 3);
    EXPECT_EQ(allRows(nwind->table("Order Details")).size(), 2155u);
    auto employees = allRows(nwind->table("Employees"));
    jet::Table e = nwind->table("Employees");
    const jet::Row& nancy = employees[0];
    EXPECT_EQ(nancy[size_t(e.columnIndex("LastName"))], jet::Value("Davolio"));
    // Memo text in the code page, a multi-line address, and a large OLE picture (a page chain).
    EXPECT_EQ(nancy[size_t(e.columnIndex("Address"))], jet::Value("507 - 20th Ave. E.\r\nApt. 2A"));
    const auto& photo = nancy[size_t(e.columnIndex("Photo"))].as<jet::Bytes>();
    EXPECT_GT(photo.size(), 4096u);
    EXPECT_EQ(photo[0], 0x15);
}

TEST(JetdbTool, ExitStatusAndOneLineErrors) {
    const std::string file = jet::utf8FromPath(fixturePath("testV2000.mdb"));
    int status = -1;
    EXPECT_EQ(runProgram("jetdb", {"tables", file}, &status), "Table1\nTable2\nTable3\nTable4\n");
    EXPECT_EQ(status, 0);
    std::string schema = runProgram("jetdb", {"schema", file, "table1"}, &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(schema.find("INDEX PrimaryKey (A) PRIMARY UNIQUE REQUIRED"), std::string::npos);
    std::string err = runProgram("jetdb", {"export", file, "Missing"}, &status, Output::Errors);
    EXPECT_NE(status, 0);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    EXPECT_NE(err.find(file), std::string::npos);
    runProgram("jetdb", {"tables", "/no/such.mdb"}, &status, Output::Errors);
    EXPECT_NE(status, 0);
    runProgram("jetdb", {"frobnicate"}, &status, Output::Errors);
    EXPECT_NE(status, 0);
}

}  // namespace
