// Database::create / createTable / createIndex through the engine's public face, read back by
// the engine's own reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "jet/create_sample_schema.h"
#include "jet/database.h"
#include "support/error_number.h"
#include "support/test_support.h"

using namespace testing_support;
using jet::ColumnType;

namespace {

std::vector<std::string> columnNames(const jet::Table& t) {
    std::vector<std::string> out;
    for (const auto& c : t.columns()) out.push_back(c.name);
    return out;
}

}  // namespace

TEST(CreateApi, SampleSchemaReadsBackThroughOurReader) {
    TempDir dir;
    {
        auto db = jet::Database::create(dir / "Melvar.mdb");
        EXPECT_EQ(db->jetVersion(), 4);
        EXPECT_TRUE(db->writable());
        EXPECT_TRUE(db->tableNames().empty());
        EXPECT_EQ(db->tableNames(true),
                  (std::vector<std::string>{"MSysObjects", "MSysACEs", "MSysQueries",
                                            "MSysRelationships"}));
        for (const auto& t : payrollTables()) db->createTable(t);
    }
    auto db = jet::Database::open(dir / "Melvar.mdb", jet::OpenMode::ReadOnly);
    std::vector<std::string> expected;
    for (const auto& t : payrollTables()) expected.push_back(t.name);
    EXPECT_EQ(db->tableNames(), expected);

    for (const auto& def : payrollTables()) {
        jet::Table t = db->table(def.name);
        std::vector<std::string> names;
        for (const auto& c : def.columns) names.push_back(c.name);
        EXPECT_EQ(columnNames(t), names) << def.name;
        EXPECT_EQ(t.rowCount(), 0u);
        for (size_t i = 0; i < def.columns.size(); ++i) {
            const auto& c = t.columns()[i];
            EXPECT_EQ(c.type, def.columns[i].type) << c.name;
            if (c.type == ColumnType::Text) {
                EXPECT_EQ(c.textSize(), def.columns[i].size) << c.name;
            }
            EXPECT_EQ(c.required, def.columns[i].required) << c.name;
            EXPECT_EQ(c.defaultValue, def.columns[i].defaultValue) << c.name;
            EXPECT_EQ(c.isAutoNumber(), def.columns[i].autoNumber) << c.name;
        }
        ASSERT_EQ(t.indexes().size(), def.indexes.size()) << def.name;
        for (const auto& index : def.indexes) {
            int at = t.indexIndex(index.name);
            ASSERT_GE(at, 0) << index.name;
            const jet::Index& got = t.indexes()[at];
            EXPECT_EQ(got.primaryKey, index.primaryKey) << index.name;
            ASSERT_EQ(got.columns.size(), index.columns.size()) << index.name;
            for (size_t k = 0; k < index.columns.size(); ++k) {
                EXPECT_EQ(t.columns()[t.columnIndex(index.columns[k].column)].number,
                          got.columns[k].columnNumber)
                    << index.name;
            }
        }
    }
    EXPECT_EQ(db->check(), std::vector<std::string>{});
    EXPECT_EQ(db->table("Employee Master").primaryKeyIndex(),
              db->table("Employee Master").indexIndex("PK_Employee"));
}

TEST(CreateApi, CreateIndexAndRefusalsLeaveTheFileConsistent) {
    TempDir dir;
    auto db = jet::Database::create(dir / "ImportData.mdb");
    for (const auto& t : layoutTables()) db->createTable(t);

    jet::IndexDefinition byField;
    byField.name = "IX_Field";
    byField.columns = {{"FieldNo", false}, {"ToFieldName", true}};
    byField.unique = true;
    db->createIndex("iData Calc", byField);
    jet::Table t = db->table("iData Calc");
    int at = t.indexIndex("IX_Field");
    ASSERT_GE(at, 0);
    EXPECT_TRUE(t.indexes()[at].unique);
    EXPECT_FALSE(t.indexes()[at].columns[0].ascending);

    // A refused definition changes nothing: same tables, same file size.
    auto sizeBefore = std::filesystem::file_size(dir / "ImportData.mdb");
    jet::TableDefinition bad = layoutTables()[0];
    bad.name = "iEmployee Master";  // already there
    EXPECT_THROW(db->createTable(bad), jet::Error);
    bad.name = "Fresh";
    bad.columns[1].name = "No";  // duplicate column
    std::string message;
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { db->createTable(bad); }, &message),
              jet::ErrorCode::InvalidDefinition)
        << "duplicate column accepted";
    EXPECT_NE(message.find("\"No\""), std::string::npos) << message;
    EXPECT_THROW(db->createIndex("iData Calc", byField), jet::Error);
    EXPECT_EQ(std::filesystem::file_size(dir / "ImportData.mdb"), sizeBefore);
    EXPECT_EQ(db->tableNames().size(), 4u);

    // Several creations in one caller transaction commit together.
    db->begin();
    jet::TableDefinition a = layoutTables()[1], b = layoutTables()[2];
    a.name = "Copy A";
    b.name = "Copy B";
    db->createTable(a);
    db->createTable(b);
    db->rollback();
    EXPECT_FALSE(db->hasTable("Copy A"));
    db->begin();
    db->createTable(a);
    db->createTable(b);
    db->commit();
    EXPECT_TRUE(db->hasTable("Copy B"));

    int status = 0;
    std::string tables =
        runCommand("mdb-tables -1 '" + (dir / "ImportData.mdb").string() + "'", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(tables.find("Copy B\n"), std::string::npos) << tables;
}

TEST(CreateApi, RefusesAnExistingFile) {
    TempDir dir;
    auto path = copyFixture("emptyJet4.mdb", dir.path());
    auto before = readFile(path);
    EXPECT_THROW(jet::Database::create(path), jet::Error);
    EXPECT_EQ(readFile(path), before);
}

TEST(CreateApi, ManyTablesGrowTheCatalogPastOnePage) {
    // 150 tables with Thai names: the catalog's rows, property blobs and both of its indexes
    // outgrow their first pages.
    TempDir dir;
    auto path = dir / "many.mdb";
    std::vector<std::string> names;
    {
        auto db = jet::Database::create(path);
        db->begin();
        for (int i = 0; i < 150; ++i) {
            jet::TableDefinition t = layoutTables()[0];
            t.name = "ตารางที่ " + std::to_string(i);
            t.columns[1].required = true;
            t.columns[1].description = "ชื่อฟิลด์ภาษาไทย";
            db->createTable(t);
            names.push_back(t.name);
        }
        db->commit();
        EXPECT_EQ(db->check(), std::vector<std::string>{});
    }
    auto db = jet::Database::open(path, jet::OpenMode::ReadOnly);
    EXPECT_EQ(db->tableNames(), names);
    EXPECT_TRUE(db->table("ตารางที่ 149").columns()[1].required);
    EXPECT_EQ(db->check(), std::vector<std::string>{});

    std::string listed = runCommand("mdb-tables -1 '" + path.string() + "'");
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 150);
    EXPECT_NE(listed.find("ตารางที่ 77\n"), std::string::npos);
}

TEST(CreateApi, IndexOverRowsAccessWrote) {
    // compIndexTestV2000: 512 rows written by Access; RS_AGENTE holds "abc" in every row.
    TempDir dir;
    auto path = copyFixture("compIndexTestV2000.mdb", dir.path());
    auto db = jet::Database::open(path, jet::OpenMode::ReadWrite);

    jet::IndexDefinition unique;
    unique.name = "UX_Agent";
    unique.columns = {{"RS_AGENTE", true}};
    unique.unique = true;
    auto before = readFile(path);
    std::string message;
    EXPECT_EQ(errorNumberOf<jet::Error>([&] { db->createIndex("Table1", unique); }, &message),
              jet::ErrorCode::DuplicateKey)
        << message;
    EXPECT_EQ(readFile(path), before);

    jet::IndexDefinition plain;
    plain.name = "IX_Agent";
    plain.columns = {{"RS_AGENTE", true}, {"CD_AGENTE", false}};
    db->createIndex("Table1", plain);
    EXPECT_EQ(db->check(), std::vector<std::string>{});
    jet::Table t = db->table("Table1");
    int at = t.indexIndex("IX_Agent");
    ASSERT_GE(at, 0);
    auto ordered = t.seek(at, {});
    ASSERT_EQ(ordered.size(), 512u);
    // Equal RS_AGENTE everywhere, so the order is CD_AGENTE descending, nulls last.
    int cd = t.columnIndex("CD_AGENTE");
    std::vector<int32_t> values;
    bool nullSeen = false;
    for (jet::RowId id : ordered) {
        jet::Value v = t.read(id, cd);
        if (v.isNull()) {
            nullSeen = true;
        } else {
            EXPECT_FALSE(nullSeen) << "a value after a null";
            values.push_back(v.as<int32_t>());
        }
    }
    EXPECT_TRUE(std::is_sorted(values.rbegin(), values.rend()));
    EXPECT_GT(values.size(), 100u);

    std::string schema = runCommand("mdb-schema --indexes '" + path.string() + "' postgres");
    EXPECT_NE(schema.find("CREATE INDEX \"table1_ix_agent_idx\" ON \"table1\" (\"rs_agente\", "
                          "\"cd_agente\" DESC);"),
              std::string::npos)
        << schema;
}

TEST(CreateApi, SystemTablesMatchTheAccessMadeEmptyFile) {
    // empty.mdb was made by Access 2000. Compared: the four core system tables' columns and
    // indexes, and the catalog rows of the Jet engine's own objects (Flags 0x80000000).
    // Skipped, and why:
    //  - dates (DateCreate, DateUpdate): per file;
    //  - Owner and every SID: they come from the workgroup file of whoever created the file;
    //  - MSysDb's LvProp: Access's version properties, written by Access, not by Jet;
    //  - catalog rows with Flags 0 or 2 (Forms, Reports, SummaryInfo, MSysAccessObjects, ...) and
    //    their permission rows: Access adds its own objects when it first saves something;
    //  - row and key counters of MSysACEs and MSysObjects, which follow from the above.
    TempDir dir;
    auto ours = jet::Database::create(dir / "new.mdb");
    auto access = jet::Database::open(fixturePath("empty.mdb"), jet::OpenMode::ReadOnly);
    for (const char* name : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
        jet::Table a = ours->table(name), b = access->table(name);
        ASSERT_EQ(a.columns().size(), b.columns().size()) << name;
        for (size_t i = 0; i < a.columns().size(); ++i) {
            const jet::Column &x = a.columns()[i], &y = b.columns()[i];
            EXPECT_EQ(x.name, y.name);
            EXPECT_EQ(x.type, y.type) << x.name;
            EXPECT_EQ(x.number, y.number) << x.name;
            EXPECT_EQ(x.length, y.length) << x.name;
            EXPECT_EQ(x.flags, y.flags) << x.name;
            if (x.isFixed()) {
                EXPECT_EQ(x.fixedOffset, y.fixedOffset) << x.name;
            } else {
                EXPECT_EQ(x.varIndex, y.varIndex) << x.name;
            }
        }
        ASSERT_EQ(a.indexes().size(), b.indexes().size()) << name;
        for (size_t i = 0; i < a.indexes().size(); ++i) {
            const jet::Index &x = a.indexes()[i], &y = b.indexes()[i];
            EXPECT_EQ(x.name, y.name);
            EXPECT_EQ(x.primaryKey, y.primaryKey) << x.name;
            EXPECT_EQ(x.unique, y.unique) << x.name;
            EXPECT_EQ(x.ignoreNulls, y.ignoreNulls) << x.name;
            EXPECT_EQ(x.required, y.required) << x.name;
            ASSERT_EQ(x.columns.size(), y.columns.size()) << x.name;
            for (size_t k = 0; k < x.columns.size(); ++k) {
                EXPECT_EQ(x.columns[k].columnNumber, y.columns[k].columnNumber) << x.name;
                EXPECT_EQ(x.columns[k].ascending, y.columns[k].ascending) << x.name;
            }
        }
    }

    auto jetRows = [](const jet::Database& db) {
        jet::Table t = db.table("MSysObjects");
        int id = t.columnIndex("Id"), parent = t.columnIndex("ParentId"),
            name = t.columnIndex("Name"), type = t.columnIndex("Type"),
            flags = t.columnIndex("Flags");
        std::vector<std::string> rows;
        t.scan([&](jet::RowId, const jet::Row& r) {
            if (static_cast<uint32_t>(r[flags].as<int32_t>()) != 0x80000000u) return true;
            rows.push_back(std::to_string(r[id].as<int32_t>()) + "," +
                           std::to_string(r[parent].as<int32_t>()) + "," +
                           r[name].as<std::string>() + "," + std::to_string(r[type].as<int16_t>()));
            return true;
        });
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    EXPECT_EQ(jetRows(*ours), jetRows(*access));
    EXPECT_EQ(ours->table("MSysQueries").rowCount(), 0u);
    EXPECT_EQ(ours->table("MSysRelationships").rowCount(), 0u);

    // Every Jet object has permission rows in both files.
    auto aceObjects = [](const jet::Database& db) {
        jet::Table t = db.table("MSysACEs");
        int object = t.columnIndex("ObjectId");
        std::set<int32_t> ids;
        t.scan([&](jet::RowId, const jet::Row& r) {
            ids.insert(r[object].as<int32_t>());
            return true;
        });
        return ids;
    };
    std::set<int32_t> ourAces = aceObjects(*ours), accessAces = aceObjects(*access);
    EXPECT_EQ(ourAces.size(), 8u);
    EXPECT_TRUE(
        std::includes(accessAces.begin(), accessAces.end(), ourAces.begin(), ourAces.end()));
}

TEST(CreateApi, WideTableWithLongPropertyBlob) {
    // 200 columns with long names and descriptions: a definition over several pages and a
    // property blob stored as a chain of long-value rows.
    TempDir dir;
    auto path = dir / "wide.mdb";
    jet::TableDefinition wide;
    wide.name = "Wide";
    for (int i = 0; i < 200; ++i) {
        jet::ColumnDefinition c =
            text(("Column with a long name, number " + std::to_string(i)).c_str(), 1 + i);
        c.required = i % 2 == 0;
        c.description = "คำอธิบายของคอลัมน์ที่ " + std::to_string(i);
        if (i % 3 == 0) c.defaultValue = "\"d" + std::to_string(i) + "\"";
        wide.columns.push_back(c);
    }
    {
        auto db = jet::Database::create(path);
        db->createTable(wide);
    }
    auto db = jet::Database::open(path, jet::OpenMode::ReadOnly);
    jet::Table t = db->table("Wide");
    ASSERT_EQ(t.columns().size(), 200u);
    for (int i = 0; i < 200; ++i) {
        const jet::Column& c = t.columns()[i];
        EXPECT_EQ(c.name, wide.columns[i].name);
        EXPECT_EQ(c.textSize(), 1 + i);
        EXPECT_EQ(c.required, wide.columns[i].required) << c.name;
        EXPECT_EQ(c.defaultValue, wide.columns[i].defaultValue) << c.name;
        EXPECT_EQ(c.description, wide.columns[i].description) << c.name;
    }
    std::string props = runCommand("mdb-prop '" + path.string() + "' Wide");
    EXPECT_NE(props.find("name: Column with a long name, number 199\n\tAllowZeroLength: no\n"
                         "\tDescription: คำอธิบายของคอลัมน์ที่ 199\n"),
              std::string::npos)
        << props.substr(props.size() > 2000 ? props.size() - 2000 : 0);
}

TEST(CreateApi, RowsOfNewTablesReadBackThroughMdbtools) {
    TempDir dir;
    auto path = dir / "Melvar.mdb";
    {
        auto db = jet::Database::create(path);
        for (const auto& t : payrollTables()) db->createTable(t);
        jet::Table calc = db->table("Data Calc");
        for (int i = 0; i < 3; ++i) {
            jet::Row row(calc.columns().size());
            row[calc.columnIndex("Company Code")] = "C01";
            row[calc.columnIndex("Employee#")] = "E00" + std::to_string(i);
            row[calc.columnIndex("Year")] = int16_t(2026);
            row[calc.columnIndex("Period")] = uint8_t(i + 1);
            row[calc.columnIndex("Type for")] = "F";
            row[calc.columnIndex("Type")] = "01";
            row[calc.columnIndex("Code")] = "0" + std::to_string(i);
            row[calc.columnIndex("Amount")] = jet::Currency{1234500 * (i + 1)};
            calc.insert(row);
        }
        jet::Table master = db->table("Employee Master");
        jet::Row e(master.columns().size());
        e[master.columnIndex("Employee#")] = "E001";
        e[master.columnIndex("First name")] = "สมชาย";
        e[master.columnIndex("Last name")] = "ใจดี";
        e[master.columnIndex("Address")] = std::string(500, 'x');
        e[master.columnIndex("Dependent1")] = int16_t(2);
        e[master.columnIndex("Dependent2")] = int16_t(0);
        master.insert(e);
        EXPECT_EQ(db->check(), std::vector<std::string>{});
    }
    EXPECT_EQ(runCommand("mdb-export '" + path.string() + "' 'Data Calc'"),
              "ID,Company Code,Employee#,Year,Period,Type for,Type,Code,Amount\n"
              "1,\"C01\",\"E000\",2026,1,\"F\",\"01\",\"00\",123.4500\n"
              "2,\"C01\",\"E001\",2026,2,\"F\",\"01\",\"01\",246.9000\n"
              "3,\"C01\",\"E002\",2026,3,\"F\",\"01\",\"02\",370.3500\n");
    std::string employees = runCommand("mdb-export '" + path.string() + "' 'Employee Master'");
    EXPECT_NE(employees.find("\"E001\",,,\"สมชาย\",\"ใจดี\","), std::string::npos) << employees;
    EXPECT_NE(employees.find(std::string(500, 'x')), std::string::npos);
}
