// Tables created by the engine, checked through an independent reader (mdbtools) and through the
// definition bytes themselves; bad definitions must be refused before anything is written.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/coding.h"
#include "jet/create_sample_schema.h"
#include "jet/create_table.h"
#include "jet/create_test_pager.h"
#include "jet/database.h"
#include "jet/empty_database.h"
#include "jet/tdef_writer.h"
#include "support/error_number.h"
#include "support/test_support.h"

using namespace testing_support;
using jet::ColumnType;

namespace {

constexpr double kDate = 45000.5;

// A new database holding `tables`, made through the public API, saved as `dir`/`name`.
std::filesystem::path databaseWith(const TempDir& dir, const std::string& name,
                                   const std::vector<jet::TableDefinition>& tables) {
    auto path = dir / name;
    auto db = jet::Database::create(path);
    for (const auto& t : tables) db->createTable(t);
    return path;
}

std::string quoted(const std::filesystem::path& p) {
    return "'" + p.string() + "'";
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(CreateTable, SamplePayrollDatabaseReadsBackThroughMdbtools) {
    TempDir dir;
    auto melvar = databaseWith(dir, "Melvar.mdb", payrollTables());
    EXPECT_EQ(runCommand("mdb-tables -1 " + quoted(melvar)),
              "Employee Master\nData Calc\nData Master Detail\nData Variant Detail\n");

    std::string schema =
        runCommand("mdb-schema --indexes --default-values " + quoted(melvar) + " postgres");
    // Every column with its type and size, in definition order.
    EXPECT_TRUE(contains(schema,
                         "\"employee#\"\t\t\tVARCHAR (10) NOT NULL, \n"
                         "\t\"company code\"\t\t\tVARCHAR (10), \n"));
    EXPECT_TRUE(contains(schema, "\"address\"\t\t\tTEXT, "));
    EXPECT_TRUE(contains(schema, "\"dependent1\"\t\t\tINTEGER DEFAULT 0, "));
    EXPECT_TRUE(contains(schema, "\"salary\"\t\t\tNUMERIC(15,2), "));
    EXPECT_TRUE(contains(schema, "\"resign date\"\t\t\tTIMESTAMP WITHOUT TIME ZONE, "));
    EXPECT_TRUE(contains(schema, "\"id\"\t\t\tSERIAL, "));
    EXPECT_TRUE(contains(schema, "\"period\"\t\t\tSMALLINT, ")) << schema;
    // Indexes: primary keys, plain and several-column ones.
    for (const char* line :
         {"CREATE INDEX \"employee master_ix_department_idx\" ON \"employee master\" "
          "(\"department\");",
          "CREATE INDEX \"employee master_ix_lastname_idx\" ON \"employee master\" "
          "(\"last name\");",
          "ALTER TABLE \"employee master\" ADD CONSTRAINT \"employee master_pkey\" PRIMARY KEY "
          "(\"employee#\");",
          "CREATE INDEX \"data calc_ix_emp_idx\" ON \"data calc\" (\"employee#\", \"year\", "
          "\"period\");",
          "ALTER TABLE \"data calc\" ADD CONSTRAINT \"data calc_pkey\" PRIMARY KEY (\"id\");",
          "ALTER TABLE \"data variant detail\" ADD CONSTRAINT \"data variant detail_pkey\" "
          "PRIMARY KEY (\"employee#\", \"type for\", \"type\", \"code\");"}) {
        EXPECT_TRUE(contains(schema, line)) << line;
    }
    // Exactly the created tables' columns, and no rows.
    EXPECT_EQ(runCommand("mdb-export " + quoted(melvar) + " 'Data Calc'"),
              "ID,Company Code,Employee#,Year,Period,Type for,Type,Code,Amount\n");
    EXPECT_EQ(splitLines(runCommand("mdb-export " + quoted(melvar) + " 'Employee Master'")).size(),
              1u);
}

TEST(CreateTable, SampleLayoutDatabaseReadsBackThroughMdbtools) {
    TempDir dir;
    auto layouts = databaseWith(dir, "ImportData.mdb", layoutTables());
    EXPECT_EQ(runCommand("mdb-tables -1 " + quoted(layouts)),
              "iEmployee Master\niData Calc\niDataMasterDetail\niDataVariantDetail\n");
    EXPECT_EQ(runCommand("mdb-export " + quoted(layouts) + " 'iEmployee Master'"),
              "No,FieldThaiName,ToFieldName,FieldNo,sFormat\n");
    EXPECT_EQ(runCommand("mdb-export " + quoted(layouts) + " 'iData Calc'"),
              "No,FieldThaiName,ToFieldName,FieldNo\n");
    std::string schema = runCommand("mdb-schema --indexes " + quoted(layouts) + " postgres");
    EXPECT_TRUE(contains(schema,
                         "ALTER TABLE \"idatamasterdetail\" ADD CONSTRAINT "
                         "\"idatamasterdetail_pkey\" PRIMARY KEY (\"no\");"));
}

TEST(CreateTable, CatalogRowsAndCountersFollowNewTables) {
    TempDir dir;
    auto melvar = databaseWith(dir, "Melvar.mdb", payrollTables());
    // (Property blobs break mdb-export's lines, so rows are found by their leading fields.)
    auto rows = splitLines(runCommand("mdb-export " + quoted(melvar) + " MSysObjects"));
    // A user table's row: Id = its TDEF page, parent = the Tables container, type 1, flags 0.
    auto pager = MemoryPager::load(melvar);
    for (const char* name : {"Employee Master", "Data Calc"}) {
        uint32_t tdef = jet::create::findTable(*pager, name);
        ASSERT_NE(tdef, 0u) << name;
        std::string prefix = std::to_string(tdef) + ",251658241,\"" + name + "\",1,";
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const std::string& r) {
            return r.rfind(prefix, 0) == 0;
        })) << prefix;
    }
    EXPECT_EQ(jet::create::findTable(*pager, "data calc"),
              jet::create::findTable(*pager, "Data Calc"));
    EXPECT_EQ(jet::create::findTable(*pager, "Nothing"), 0u);
    EXPECT_EQ(jet::create::findTable(*pager, "Tables"), 0u);  // a container, not a table

    // MSysObjects' definition counts the new rows and keys.
    auto catalog = jet::create::decodeTdef(jet::create::readTdef(*pager, 2).definition);
    EXPECT_EQ(catalog.rowCount, 12u);
    EXPECT_EQ(catalog.realIndexes[0].uniqueKeys, 12u);
    EXPECT_EQ(catalog.realIndexes[1].uniqueKeys, 12u);
}

TEST(CreateTable, LaysOutColumnsAsAccessDoes) {
    jet::TableDefinition t;
    t.name = "Every type";
    t.columns = {typed("B", ColumnType::Byte),
                 typed("Flag", ColumnType::Boolean),
                 text("Name", 20),
                 typed("I", ColumnType::Integer),
                 typed("Notes", ColumnType::Memo),
                 typed("C", ColumnType::Currency),
                 typed("G", ColumnType::Guid),
                 typed("Bin", ColumnType::Binary)};
    t.columns[7].size = 16;
    t.columns[2].unicodeCompression = false;
    jet::create::validateTableDefinition(t);
    auto image = jet::create::layoutTable(t);
    struct Expect {
        uint16_t number, varIndex, fixedOffset, length;
        uint8_t flags, extra;
    };
    const Expect expected[] = {
        {0, 0, 0, 1, 0x03, 0},    // Byte
        {1, 0, 0, 1, 0x03, 0},    // Yes/No: in the null mask, offset 0, no fixed bytes
        {2, 0, 0, 40, 0x02, 0},   // Text(20) without compression
        {3, 1, 1, 2, 0x03, 0},    // Integer after the byte
        {4, 1, 0, 0, 0x02, 0},    // Memo
        {5, 2, 3, 8, 0x03, 0},    // Currency
        {6, 2, 11, 16, 0x03, 0},  // Replication ID
        {7, 2, 0, 16, 0x02, 0},   // Binary(16)
    };
    ASSERT_EQ(image.columns.size(), std::size(expected));
    for (size_t i = 0; i < image.columns.size(); ++i) {
        const auto& c = image.columns[i];
        EXPECT_EQ(c.number, expected[i].number) << c.name;
        EXPECT_EQ(c.varIndex, expected[i].varIndex) << c.name;
        if (c.isFixed()) {
            EXPECT_EQ(c.fixedOffset, expected[i].fixedOffset) << c.name;
        }
        EXPECT_EQ(c.length, expected[i].length) << c.name;
        EXPECT_EQ(c.flags, expected[i].flags) << c.name;
        EXPECT_EQ(c.extraFlags, expected[i].extra) << c.name;
    }
    auto counter = dataCalc();
    EXPECT_EQ(jet::create::layoutTable(counter).columns[0].flags, 0x07);       // AutoNumber
    EXPECT_EQ(jet::create::layoutTable(counter).columns[1].extraFlags, 0x01);  // compressed text
}

TEST(CreateTable, IndexesShareRealIndexesAndCarryFlags) {
    jet::TableDefinition t = dataCalc();
    jet::IndexDefinition again = index("IX_Same", {"Employee#", "Year", "Period"});
    jet::IndexDefinition unique = index("UX_Code", {"Code"});
    unique.unique = true;
    jet::IndexDefinition desc = index("IX_Desc", {"Amount"});
    desc.columns[0].ascending = false;
    desc.ignoreNulls = true;
    t.indexes.push_back(again);
    t.indexes.push_back(unique);
    t.indexes.push_back(desc);
    auto image = jet::create::layoutTable(t);
    ASSERT_EQ(image.logicalIndexes.size(), 5u);
    ASSERT_EQ(image.realIndexes.size(), 4u);  // IX_Same shares IX_Emp's B-tree
    auto logical = [&](const std::string& name) {
        for (const auto& l : image.logicalIndexes) {
            if (l.name == name) return l;
        }
        ADD_FAILURE() << name;
        return jet::create::LogicalIndexImage{};
    };
    EXPECT_EQ(logical("IX_Same").realIndex, logical("IX_Emp").realIndex);
    EXPECT_TRUE(logical("PK_DataCalc").primaryKey);
    EXPECT_EQ(image.realIndexes[logical("PK_DataCalc").realIndex].flags, 0x89);
    EXPECT_EQ(image.realIndexes[logical("IX_Emp").realIndex].flags, 0x80);
    EXPECT_EQ(image.realIndexes[logical("UX_Code").realIndex].flags, 0x81);
    const auto& d = image.realIndexes[logical("IX_Desc").realIndex];
    EXPECT_EQ(d.flags, 0x82);
    EXPECT_FALSE(d.columns[0].ascending);
    // Logical indexes are listed by name, numbers keep the definition order.
    EXPECT_EQ(image.logicalIndexes.front().name, "IX_Desc");
    EXPECT_EQ(logical("IX_Desc").number, 4u);
}

TEST(CreateTable, DefinitionSurvivesEncodeDecodeAcrossSeveralPages) {
    jet::TableDefinition t;
    t.name = "Wide";
    for (int i = 0; i < 255; ++i) {
        std::string name = "A rather long column name number " + std::to_string(i);
        t.columns.push_back(i % 3 ? text(name.c_str(), 1 + i % 255)
                                  : typed(name.c_str(), ColumnType::Double));
    }
    t.indexes = {index("PrimaryKey", {"A rather long column name number 0"}, true)};
    auto image = jet::create::layoutTable(t);
    auto bytes = jet::create::encodeTdef(image);
    ASSERT_GT(jet::create::tdefPageCount(bytes.size()), 2u);
    auto back = jet::create::decodeTdef(bytes);
    EXPECT_EQ(jet::create::encodeTdef(back), bytes);

    TempDir dir;
    auto path = databaseWith(dir, "wide.mdb", {t});
    std::string header = splitLines(runCommand("mdb-export " + quoted(path) + " Wide")).at(0);
    EXPECT_EQ(std::count(header.begin(), header.end(), ','), 254);
    EXPECT_TRUE(contains(header, "A rather long column name number 254"));
    std::string schema = runCommand("mdb-schema " + quoted(path));
    EXPECT_TRUE(contains(schema, "[A rather long column name number 254]\t\t\tText (255)"));
}

TEST(CreateTable, RefusesBadDefinitionsBeforeWriting) {
    struct Case {
        const char* what;
        std::function<void(jet::TableDefinition&)> spoil;
    };
    const std::vector<Case> cases = {
        {"duplicate column", [](auto& t) { t.columns.push_back(text("employee#", 5)); }},
        {"name too long", [](auto& t) { t.columns[1].name = std::string(65, 'x'); }},
        {"dot in name", [](auto& t) { t.columns[1].name = "a.b"; }},
        {"bang in name", [](auto& t) { t.name = "Data!Calc"; }},
        {"bracket in name", [](auto& t) { t.columns[1].name = "[x]"; }},
        {"backquote in name", [](auto& t) { t.columns[1].name = "a`b"; }},
        {"leading space", [](auto& t) { t.columns[1].name = " x"; }},
        {"control character", [](auto& t) { t.columns[1].name = "a\tb"; }},
        {"empty name", [](auto& t) { t.columns[1].name = ""; }},
        {"unknown type", [](auto& t) { t.columns[1].type = static_cast<ColumnType>(0x33); }},
        {"system type", [](auto& t) { t.columns[1].type = ColumnType::Complex; }},
        {"text too long", [](auto& t) { t.columns[1].size = 256; }},
        {"negative size", [](auto& t) { t.columns[1].size = -1; }},
        {"too many columns",
         [](auto& t) {
             for (int i = 0; i < 250; ++i)
                 t.columns.push_back(text(("c" + std::to_string(i)).c_str(), 1));
         }},
        {"no columns", [](auto& t) { t.columns.clear(), t.indexes.clear(); }},
        {"autonumber on text", [](auto& t) { t.columns[1].autoNumber = true; }},
        {"index on unknown column", [](auto& t) { t.indexes[1].columns[0].column = "Nope"; }},
        {"index on memo",
         [](auto& t) {
             t.columns.push_back(typed("Notes", ColumnType::Memo));
             t.indexes[1].columns[0].column = "Notes";
         }},
        {"index column twice", [](auto& t) { t.indexes[1].columns[1].column = "Employee#"; }},
        {"two primary keys", [](auto& t) { t.indexes[1].primaryKey = true; }},
        {"duplicate index name", [](auto& t) { t.indexes[1].name = "pk_datacalc"; }},
        {"eleven index columns",
         [](auto& t) {
             for (int i = 0; i < 8; ++i) {
                 t.columns.push_back(text(("k" + std::to_string(i)).c_str(), 1));
                 t.indexes[1].columns.push_back({"k" + std::to_string(i), true});
             }
         }},
    };
    TempDir dir;
    auto path = databaseWith(dir, "x.mdb", {});
    for (const Case& c : cases) {
        jet::TableDefinition t = dataCalc();
        c.spoil(t);
        auto pager = MemoryPager::load(path);
        pager->begin();
        std::string message;
        EXPECT_EQ(errorNumberOf<jet::Error>([&] { jet::create::writeTable(*pager, t); }, &message),
                  jet::ErrorCode::InvalidDefinition)
            << c.what << ": " << message;
        EXPECT_EQ(pager->writes(), 0u) << c.what;
        EXPECT_EQ(pager->pageCount(), jet::create::kEmptyDatabasePages) << c.what;
    }
}

TEST(CreateTable, RefusesATableNameInUseWhateverItsCase) {
    TempDir dir;
    auto path = databaseWith(dir, "x.mdb", {dataCalc()});
    auto pager = MemoryPager::load(path);
    pager->begin();
    jet::TableDefinition t = dataCalc();
    t.name = "DATA CALC";
    EXPECT_THROW(jet::create::writeTable(*pager, t), jet::Error);
    t.name = "msysobjects";
    EXPECT_THROW(jet::create::writeTable(*pager, t), jet::Error);
    EXPECT_EQ(pager->writes(), 0u);
}

TEST(CreateTable, IndexAddedToAnEmptyTable) {
    TempDir dir;
    auto path = databaseWith(dir, "x.mdb", {detailTable("Data Master Detail")});
    auto pager = MemoryPager::load(path);
    pager->begin();
    jet::IndexDefinition byCode = index("IX_Code", {"Code", "Amount"});
    byCode.columns[1].ascending = false;
    jet::create::createIndex(*pager, "data master detail", byCode);
    EXPECT_THROW(jet::create::createIndex(*pager, "Data Master Detail", byCode), jet::Error);
    EXPECT_EQ(
        errorNumberOf<jet::Error>([&] { jet::create::createIndex(*pager, "Missing", byCode); }),
        jet::ErrorCode::NotFound)
        << "index on a missing table accepted";
    jet::IndexDefinition secondKey = index("PK2", {"Code"}, true);
    EXPECT_THROW(jet::create::createIndex(*pager, "Data Master Detail", secondKey), jet::Error);
    pager->commit();
    pager->save();
    std::string schema = runCommand("mdb-schema --indexes " + quoted(path) + " postgres");
    EXPECT_TRUE(contains(schema,
                         "CREATE INDEX \"data master detail_ix_code_idx\" ON \"data master "
                         "detail\" (\"code\", \"amount\" DESC);"))
        << schema;
}

TEST(CreateTable, ColumnPropertiesReachTheCatalog) {
    jet::TableDefinition t;
    t.name = "Props";
    jet::ColumnDefinition code = text("Code", 4, true);
    code.allowZeroLength = true;
    code.description = "รหัส";  // Thai text survives as UTF-16
    jet::ColumnDefinition kind = text("Kind", 1);
    kind.defaultValue = "\"S\"";
    t.columns = {code, kind, typed("Count", ColumnType::Long, "0")};
    TempDir dir;
    auto path = databaseWith(dir, "p.mdb", {t});
    std::string props = runCommand("mdb-prop " + quoted(path) + " Props");
    EXPECT_TRUE(contains(props,
                         "name: Code\n\tAllowZeroLength: yes\n\tRequired: yes\n"
                         "\tDescription: รหัส\n"))
        << props;
    EXPECT_TRUE(contains(props, "name: Kind\n\tAllowZeroLength: no\n\tDefaultValue: \"S\"\n"))
        << props;
    EXPECT_TRUE(contains(props, "name: Count\n\tDefaultValue: 0\n")) << props;
}
