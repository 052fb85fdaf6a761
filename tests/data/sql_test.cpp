// The Jet SQL parser and expression evaluation, without a database: the statement texts the
// program sends, criteria, and the faults that must stop a statement before it runs.
#include <gtest/gtest.h>

#include "data/errors.h"
#include "data/evaluate.h"
#include "data/sql.h"
#include "support/error_number.h"

namespace {

using data::sql::parseCriterion;
using data::sql::parseStatement;
using report::RunTimeError;
using testing_support::errorNumberOf;

std::vector<jet::Column> detailColumns() {
    std::vector<jet::Column> cols;
    auto add = [&](const char* name, jet::ColumnType type) {
        jet::Column c;
        c.name = name;
        c.type = type;
        c.length = 20;
        cols.push_back(c);
    };
    add("Company Code", jet::ColumnType::Text);
    add("Employee#", jet::ColumnType::Text);
    add("Type for", jet::ColumnType::Text);
    add("Type", jet::ColumnType::Text);
    add("Code", jet::ColumnType::Text);
    add("Amount", jet::ColumnType::Currency);
    add("No", jet::ColumnType::Long);
    add("Birth date", jet::ColumnType::DateTime);
    return cols;
}

jet::Row detailRow(const std::string& emp, const std::string& typeFor, const std::string& type,
                   const std::string& code) {
    return {jet::Value("CC"),       jet::Value(emp),  jet::Value(typeFor),
            jet::Value(type),       jet::Value(code), jet::Value(jet::Currency{1250000}),
            jet::Value(int32_t{2}), jet::Value()};
}

bool matches(const std::string& criterion, const jet::Row& row,
             const std::string& table = "Data Master Detail") {
    auto expr = parseCriterion(criterion);
    data::bindExpression(*expr, table, detailColumns());
    return data::isTrue(*expr, [&](int c) { return row[c]; });
}

TEST(SqlParser, EveryQueryTextOfTheProgramParses) {
    const char* texts[] = {
        "Select * From [iEmployee Master] ORDER BY [iEmployee Master].[No];",
        "Select * From iDataMasterDetail ORDER BY [iDataMasterDetail].[No];",
        "Select * From iDataVariantDetail ORDER BY [iDataVariantDetail].[No];",
        "Select * From [iData Calc] ORDER BY [iData Calc].[No];",
        "SELECT * FROM [Employee Master]",
        "SELECT * FROM [Data Calc]",
        "SELECT * FROM [Data Master Detail]",
        "SELECT * FROM [Data Variant Detail]",
        "SELECT [iEmployee Master].* FROM [iEmployee Master] WHERE ((([iEmployee "
        "Master].FieldNo)>0)) ORDER BY [iEmployee Master].[No];",
        "SELECT [iData Calc].* FROM [iData Calc] WHERE ((([iData Calc].FieldNo)>0)) ORDER BY "
        "[iData Calc].[No];",
        "SELECT [iDataMasterDetail].* FROM [iDataMasterDetail] WHERE "
        "((([iDataMasterDetail].FieldNo)>0)) ORDER BY [iDataMasterDetail].[No];",
        "SELECT [iDataVariantDetail].* FROM [iDataVariantDetail] WHERE "
        "((([iDataVariantDetail].FieldNo)>0)) ORDER BY [iDataVariantDetail].[No];",
        "DELETE * FROM [Data Calc] WHERE [Employee#]='E001'",
        "SELECT [Data Master Detail].* FROM [Data Master Detail] WHERE ((([Data Master "
        "Detail].[Employee#])='E001') AND (([Data Master Detail].[Type for])='1') AND (([Data "
        "Master Detail].Type)='01') AND (([Data Master Detail].Code)='02'));",
        "SELECT [Data Variant Detail].* FROM [Data Variant Detail] WHERE ((([Data Variant "
        "Detail].[Employee#])='E001') AND (([Data Variant Detail].[Type for])='2') AND (([Data "
        "Variant Detail].Type)='01') AND (([Data Variant Detail].Code)='02'));",
    };
    for (const char* text : texts) {
        EXPECT_NO_THROW(parseStatement(text)) << text;
    }
    auto s = std::get<data::sql::Select>(parseStatement(texts[8]));
    EXPECT_EQ(s.table, "iEmployee Master");
    EXPECT_TRUE(s.allColumns);
    ASSERT_TRUE(s.where);
    ASSERT_EQ(s.orderBy.size(), 1u);
    EXPECT_EQ(s.orderBy[0].column->name, "No");
    auto d = std::get<data::sql::Delete>(parseStatement(texts[12]));
    EXPECT_EQ(d.table, "Data Calc");
}

TEST(SqlParser, StatementsAndDefinitions) {
    auto ins = std::get<data::sql::Insert>(
        parseStatement("insert into [Data Calc] ([Employee#], Amount, [Year]) values ('It''s', "
                       "-12.5, 2567);"));
    EXPECT_EQ(ins.columns, (std::vector<std::string>{"Employee#", "Amount", "Year"}));
    ASSERT_EQ(ins.values.size(), 3u);
    EXPECT_EQ(ins.values[0]->literal, jet::Value("It's"));

    auto up = std::get<data::sql::Update>(
        parseStatement("UPDATE [Data Calc] SET Amount = Amount * 2, [Code]='01' WHERE Type='01'"));
    ASSERT_EQ(up.assignments.size(), 2u);
    EXPECT_EQ(up.assignments[1].column, "Code");

    auto sel = std::get<data::sql::Select>(
        parseStatement("SELECT [No], t.FieldNo FROM t WHERE NOT (No IS NULL) ORDER BY No DESC, "
                       "FieldNo ASC"));
    EXPECT_FALSE(sel.allColumns);
    EXPECT_EQ(sel.columns.size(), 2u);
    EXPECT_TRUE(sel.orderBy[0].descending);
    EXPECT_FALSE(sel.orderBy[1].descending);

    auto ct = std::get<data::sql::CreateTable>(parseStatement(
        "CREATE TABLE [Data Calc] (ID COUNTER CONSTRAINT PK_DataCalc PRIMARY KEY, [Employee#] "
        "TEXT(10) NOT NULL, [Year] SHORT, Period BYTE DEFAULT 0, Amount CURRENCY, Memo1 MEMO, "
        "Ok YESNO, D DATETIME, R DECIMAL(18,4), CONSTRAINT IX_Emp UNIQUE ([Employee#], Year))"));
    const auto& def = ct.definition;
    ASSERT_EQ(def.columns.size(), 9u);
    EXPECT_TRUE(def.columns[0].autoNumber);
    EXPECT_EQ(def.columns[0].type, jet::ColumnType::Long);
    EXPECT_EQ(def.columns[1].size, 10);
    EXPECT_TRUE(def.columns[1].required);
    EXPECT_TRUE(def.columns[1].allowZeroLength);  // as the provider makes columns
    EXPECT_EQ(def.columns[2].type, jet::ColumnType::Integer);
    EXPECT_EQ(def.columns[3].defaultValue, std::optional<std::string>("0"));
    EXPECT_EQ(def.columns[8].precision, 18);
    EXPECT_EQ(def.columns[8].scale, 4);
    ASSERT_EQ(def.indexes.size(), 2u);
    EXPECT_TRUE(def.indexes[0].primaryKey);
    EXPECT_EQ(def.indexes[0].name, "PK_DataCalc");
    EXPECT_EQ(def.indexes[1].columns.size(), 2u);
    EXPECT_TRUE(def.indexes[1].unique);

    auto ci = std::get<data::sql::CreateIndex>(
        parseStatement("CREATE UNIQUE INDEX IX_Emp ON [Data Calc] ([Employee#] ASC, Year DESC) "
                       "WITH DISALLOW NULL"));
    EXPECT_EQ(ci.table, "Data Calc");
    EXPECT_TRUE(ci.definition.unique);
    EXPECT_TRUE(ci.definition.required);
    EXPECT_FALSE(ci.definition.columns[1].ascending);
}

TEST(SqlParser, TextsThatDoNotParseAreRefusedWithTheirNumbers) {
    // A value holding a quote breaks the criterion: never a statement that runs.
    EXPECT_EQ(errorNumberOf<RunTimeError>(
                  [] { parseStatement("DELETE * FROM [Data Calc] WHERE [Employee#]='O'Brien'"); }),
              3075);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { parseCriterion("[Employee#]='O'Brien'"); }), 3001);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { parseStatement("SELEC * FROM t"); }), 3129);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { parseStatement("SELECT * FROM"); }), 3131);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { parseStatement("SELECT * FROM t WHERE (a=1"); }),
              3075);
    EXPECT_EQ(
        errorNumberOf<RunTimeError>([] { parseStatement("INSERT INTO t (a, b) VALUES (1)"); }),
        3134);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { parseStatement("UPDATE t SET WHERE a=1"); }), 3075);
    EXPECT_EQ(
        errorNumberOf<RunTimeError>([] { parseStatement("SELECT * FROM t WHERE d=#2024-02-30#"); }),
        3075);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { parseStatement("CREATE TABLE t (a WIDGET)"); }),
              3290);
    EXPECT_EQ(errorNumberOf<RunTimeError>([] { parseStatement("SELECT * FROM t; DELETE FROM t"); }),
              3131);

    try {
        parseStatement("SELECT * FROM t WHERE a = = 1");
        FAIL();
    } catch (const report::RunTimeError& e) {
        EXPECT_EQ(e.description(),
                  "Syntax error (missing operator) in query expression 'a = = 1'.");
        EXPECT_EQ(e.source(), "Microsoft JET Database Engine");
    }
}

TEST(SqlEvaluation, CriteriaAsTheImportersWriteThem) {
    jet::Row row = detailRow("0012", "1", "01", "02");
    EXPECT_TRUE(matches("No=2", row));
    EXPECT_FALSE(matches("No=3", row));
    EXPECT_TRUE(matches("[Employee#]='0012'", row));
    EXPECT_FALSE(matches("[Employee#]=' 0012'", row));  // untrimmed, as written
    EXPECT_TRUE(matches("[employee#]='0012'", row));    // names are case-insensitive
    EXPECT_TRUE(
        matches("((([Data Master Detail].[Employee#])='0012') AND (([Data Master "
                "Detail].[Type for])='1') AND (([Data Master Detail].Type)='01') AND "
                "(([Data Master Detail].Code)='02'))",
                row));
    EXPECT_FALSE(matches("[Data Master Detail].Code='03' OR NOT Type='01'", row));
    // Text compares case-insensitively.
    EXPECT_TRUE(matches("[Company Code]='cc'", row));
    EXPECT_TRUE(matches("[Company Code]>'CB' AND [Company Code]<='cc'", row));
    EXPECT_TRUE(matches("[Employee#] LIKE '00*'", row));
    EXPECT_TRUE(matches("Amount = 125 AND Amount > 124.9999 AND Amount + 1 = 126", row));
    // Null is unknown: neither equal nor unequal, but IS NULL.
    EXPECT_FALSE(matches("[Birth date] = #2024-03-15#", row));
    EXPECT_FALSE(matches("[Birth date] <> #2024-03-15#", row));
    EXPECT_TRUE(matches("[Birth date] IS NULL AND [Employee#] IS NOT NULL", row));
    EXPECT_TRUE(matches("NOT ([Birth date] = #03/15/2024#) OR [Birth date] IS NULL", row));
}

TEST(SqlEvaluation, NamesAndTypesThatDoNotFit) {
    jet::Row row = detailRow("0012", "1", "01", "02");
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { matches("Nope=1", row); }), 3061);
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { matches("[Other Table].Code='02'", row); }), 3061);
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { matches("No='abc'", row); }), 3464);
    EXPECT_TRUE(matches("No='2'", row));  // numeric text compares as a number
}

TEST(SqlEvaluation, IndexableEqualityTerms) {
    auto expr = parseCriterion("(([Employee#])='E1') AND ((Type)='01') AND Code='02'");
    data::bindExpression(*expr, "t", detailColumns());
    auto terms = data::equalityTerms(*expr);
    ASSERT_EQ(terms.size(), 3u);
    EXPECT_EQ(terms[0].column, 1);
    EXPECT_EQ(*terms[1].value, jet::Value("01"));

    auto mixed = parseCriterion("[Employee#]='E1' OR Code='02'");
    data::bindExpression(*mixed, "t", detailColumns());
    EXPECT_TRUE(data::equalityTerms(*mixed).empty());

    // One term that is no equality leaves none for the index: the terms before it are dropped.
    auto partly = parseCriterion("[Employee#]='E1' AND Type='01' AND Code>'02'");
    data::bindExpression(*partly, "t", detailColumns());
    EXPECT_TRUE(data::equalityTerms(*partly).empty());
}

// Texts that differ only between their quotes share one parse; each must still get its own
// texts back, quotes doubled, Thai, and marks that mean something outside quotes included.
TEST(SqlParser, StatementsOfOneShapeKeepTheirOwnTexts) {
    auto whereOf = [](data::sql::Statement& statement) -> data::sql::Expr* {
        if (auto* select = std::get_if<data::sql::Select>(&statement)) return select->where.get();
        return std::get<data::sql::Delete>(statement).where.get();
    };
    auto matchesStatement = [&](const std::string& text, const jet::Row& row) {
        data::sql::Statement statement = parseStatement(text);
        data::sql::Expr* where = whereOf(statement);
        data::bindExpression(*where, "Data Master Detail", detailColumns());
        return data::isTrue(*where, [&](int c) { return row[c]; });
    };
    const jet::Row row = detailRow("0012", "1", "01", "02");
    const jet::Row odd = detailRow("O'X #[1]", "1", "01", "02");
    const jet::Row thai = detailRow("สมชาย", "1", "01", "02");
    const std::string lookup =
        "SELECT [Data Master Detail].* FROM [Data Master Detail] WHERE "
        "((([Data Master Detail].[Employee#])='";
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(
            matchesStatement(lookup + "0012') AND (([Data Master Detail].Code)='02'));", row));
        EXPECT_FALSE(
            matchesStatement(lookup + "0015') AND (([Data Master Detail].Code)='02'));", row));
        EXPECT_FALSE(
            matchesStatement(lookup + "0012') AND (([Data Master Detail].Code)='03'));", row));
        EXPECT_TRUE(
            matchesStatement(lookup + "O''X #[1]') AND (([Data Master Detail].Code)='02'));", odd));
        EXPECT_TRUE(
            matchesStatement(lookup + "สมชาย') AND (([Data Master Detail].Code)='02'));", thai));
        EXPECT_TRUE(
            matchesStatement("DELETE * FROM [Data Master Detail] WHERE [Employee#]=\"0012\"", row));
        EXPECT_FALSE(
            matchesStatement("DELETE * FROM [Data Master Detail] WHERE [Employee#]='0013'", row));
        EXPECT_TRUE(
            matchesStatement("DELETE * FROM [Data Master Detail] WHERE [Employee#]='สมชาย'", thai));
    }
    // A byte that the shapes use as their mark is never taken for a quoted text.
    const std::string quoted = "DELETE FROM t WHERE No=2 OR [x] <> 'a' & 'b'";
    const std::string marks =
        std::string("DELETE FROM t WHERE No=2 OR [x] <> ") + '\x01' + " & " + '\x01';
    for (const std::string& text : {quoted, marks, quoted}) {
        try {
            data::sql::Statement statement = parseStatement(text);
            auto& del = std::get<data::sql::Delete>(statement);
            EXPECT_EQ(text, quoted);
            EXPECT_EQ(del.where->right->right->right->literal, jet::Value("b"));
        } catch (const report::RunTimeError&) {
            EXPECT_EQ(text, marks);
        }
    }
    // A text of the shape that does not parse is refused every time.
    EXPECT_EQ(errorNumberOf<RunTimeError>(
                  [] { parseStatement("DELETE * FROM [Data Calc] WHERE [Employee#]='0'012'"); }),
              3075);
}

TEST(SqlParser, RecordSourcesThatAreTableNames) {
    EXPECT_EQ(data::sql::tableNameOnly("[Data Calc]"), std::optional<std::string>("Data Calc"));
    EXPECT_EQ(data::sql::tableNameOnly("iDataMasterDetail"),
              std::optional<std::string>("iDataMasterDetail"));
    EXPECT_EQ(data::sql::tableNameOnly("Data Calc"), std::optional<std::string>("Data Calc"));
    EXPECT_FALSE(data::sql::tableNameOnly("SELECT * FROM t"));
}

}  // namespace
