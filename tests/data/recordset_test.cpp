// Connections, statements, record sets and data controls over real Jet files: a payroll
// database and a layout database made by this layer's own CREATE TABLE and INSERT statements,
// and copies of Access-written fixtures.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>

#include "data/conversion.h"
#include "data/data_control.h"
#include "jet/path_text.h"
#include "support/error_number.h"
#include "support/test_support.h"

namespace {

using report::RunTimeError;
using testing_support::errorNumberOf;
using testing_support::TempDir;

std::string text(const data::Recordset& rs, const std::string& name) {
    return data::valueToText(rs.field(name));
}

// A payroll database and a layout database in one folder, as an installation has them.
class PayrollFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        payrollPath = dir / "Melvar.mdb";
        layoutPath = dir / "ImportData.mdb";
        jet::Database::create(payrollPath);
        jet::Database::create(layoutPath);
        payroll = connect(payrollPath);
        layout = connect(layoutPath);
        for (const char* s : {
                 "CREATE TABLE [Employee Master] ([Employee#] TEXT(10) NOT NULL, [Company Code] "
                 "TEXT(10), [First name] TEXT(50), [Birth date] DATETIME, Dependent1 SHORT "
                 "DEFAULT 0, Salary CURRENCY, [Entered by] TEXT(20), [Type of staff] TEXT(1), "
                 "CONSTRAINT PK_Employee PRIMARY KEY ([Employee#]))",
                 "CREATE TABLE [Data Calc] (ID COUNTER CONSTRAINT PK_DataCalc PRIMARY KEY, "
                 "[Company Code] TEXT(10), [Employee#] TEXT(10), [Year] SHORT, Period BYTE, "
                 "[Type for] TEXT(1), Type TEXT(2), Code TEXT(2), Amount CURRENCY)",
                 "CREATE INDEX IX_Emp ON [Data Calc] ([Employee#], [Year], Period)",
                 "CREATE TABLE [Data Master Detail] ([Company Code] TEXT(10), [Employee#] "
                 "TEXT(10), [Type for] TEXT(1), Type TEXT(2), Code TEXT(2), Amount CURRENCY, "
                 "Remark TEXT(50), CONSTRAINT PK_DMD PRIMARY KEY ([Employee#], [Type for], Type, "
                 "Code))",
                 "CREATE TABLE [Data Variant Detail] ([Company Code] TEXT(10), [Employee#] "
                 "TEXT(10), [Type for] TEXT(1), Type TEXT(2), Code TEXT(2), Amount CURRENCY, "
                 "Remark TEXT(50), CONSTRAINT PK_DVD PRIMARY KEY ([Employee#], [Type for], Type, "
                 "Code))",
             }) {
            payroll->Execute(s);
        }
        for (const char* t :
             {"iEmployee Master", "iData Calc", "iDataMasterDetail", "iDataVariantDetail"}) {
            std::string name = t;
            layout->Execute("CREATE TABLE [" + name +
                            "] (No LONG, FieldThaiName TEXT(50), ToFieldName TEXT(50), FieldNo "
                            "LONG" +
                            (name == "iEmployee Master" ? ", sFormat TEXT(20)" : "") +
                            ", CONSTRAINT PrimaryKey PRIMARY KEY (No))");
            // Rows out of order, one with FieldNo 0 that the importers must not see.
            layout->Execute("INSERT INTO [" + name +
                            "] (No, ToFieldName, FieldNo) VALUES (3, "
                            "'10102', 3)");
            layout->Execute("INSERT INTO [" + name +
                            "] (No, ToFieldName, FieldNo) VALUES (1, "
                            "'Employee#', 1)");
            layout->Execute("INSERT INTO [" + name +
                            "] (No, ToFieldName, FieldNo) VALUES (4, "
                            "'10103', 0)");
            layout->Execute("INSERT INTO [" + name +
                            "] (No, FieldThaiName, ToFieldName, "
                            "FieldNo) VALUES (2, 'เงินเดือน', '10101', 2)");
        }
        for (const char* emp : {"0010", "0012", "0015"}) {
            std::string e = emp;
            payroll->Execute("INSERT INTO [Employee Master] ([Employee#], [First name]) VALUES ('" +
                             e + "', 'สมชาย')");
            for (const char* table : {"Data Master Detail", "Data Variant Detail"}) {
                payroll->Execute(std::string("INSERT INTO [") + table +
                                 "] ([Company Code], [Employee#], [Type for], Type, Code, Amount) "
                                 "VALUES ('CC', '" +
                                 e + "', '1', '01', '02', 100)");
            }
            payroll->Execute(
                "INSERT INTO [Data Calc] ([Company Code], [Employee#], [Year], "
                "Period, [Type for], Type, Code, Amount) VALUES ('CC', '" +
                e + "', 2567, 1, '1', '01', '01', 5000.5)");
        }
    }

    std::shared_ptr<data::Connection> connect(const std::filesystem::path& path) {
        auto c = std::make_shared<data::Connection>();
        c->Open(std::string(data::kProviderText) + path.string());
        return c;
    }

    TempDir dir;
    std::filesystem::path payrollPath, layoutPath;
    std::shared_ptr<data::Connection> payroll, layout;
};

TEST_F(PayrollFiles, TheProgramsQueryTextsRunAsWritten) {
    struct Query {
        const char* text;
        bool onLayout;
        std::vector<int> numbers;  // expected No values in order (layout), or a row count
    };
    const Query layoutQueries[] = {
        {"Select * From [iEmployee Master] ORDER BY [iEmployee Master].[No];", true, {1, 2, 3, 4}},
        {"Select * From iDataMasterDetail ORDER BY [iDataMasterDetail].[No];", true, {1, 2, 3, 4}},
        {"Select * From iDataVariantDetail ORDER BY [iDataVariantDetail].[No];",
         true,
         {1, 2, 3, 4}},
        {"Select * From [iData Calc] ORDER BY [iData Calc].[No];", true, {1, 2, 3, 4}},
        {"SELECT [iEmployee Master].* FROM [iEmployee Master] WHERE ((([iEmployee "
         "Master].FieldNo)>0)) ORDER BY [iEmployee Master].[No];",
         true,
         {1, 2, 3}},
        {"SELECT [iData Calc].* FROM [iData Calc] WHERE ((([iData Calc].FieldNo)>0)) ORDER BY "
         "[iData Calc].[No];",
         true,
         {1, 2, 3}},
        {"SELECT [iDataMasterDetail].* FROM [iDataMasterDetail] WHERE "
         "((([iDataMasterDetail].FieldNo)>0)) ORDER BY [iDataMasterDetail].[No];",
         true,
         {1, 2, 3}},
        {"SELECT [iDataVariantDetail].* FROM [iDataVariantDetail] WHERE "
         "((([iDataVariantDetail].FieldNo)>0)) ORDER BY [iDataVariantDetail].[No];",
         true,
         {1, 2, 3}},
    };
    for (const Query& q : layoutQueries) {
        data::Recordset rs;
        rs.Open(q.text, layout);
        std::vector<int> numbers;
        for (; !rs.EOF(); rs.MoveNext()) numbers.push_back(data::valueToLong(rs.field("No")));
        EXPECT_EQ(numbers, q.numbers) << q.text;
    }
    for (const char* table :
         {"Employee Master", "Data Calc", "Data Master Detail", "Data Variant Detail"}) {
        data::Recordset rs;
        rs.Open(std::string("SELECT * FROM [") + table + "]", payroll);
        EXPECT_EQ(rs.RecordCount(), 3) << table;
    }
    for (const char* t : {"Data Master Detail", "Data Variant Detail"}) {
        std::string n = t;
        data::Recordset rs;
        rs.Open("SELECT [" + n + "].* FROM [" + n + "] WHERE ((([" + n +
                    "].[Employee#])='0012') AND (([" + n + "].[Type for])='1') AND (([" + n +
                    "].Type)='01') AND (([" + n + "].Code)='02'));",
                payroll);
        ASSERT_EQ(rs.RecordCount(), 1);
        EXPECT_EQ(text(rs, "Employee#"), "0012");
        rs.setField("Amount", jet::Value("-150.25"));
        rs.Update();
        rs.Open("SELECT [" + n + "].* FROM [" + n + "] WHERE ((([" + n +
                    "].[Employee#])='0012') AND (([" + n + "].[Type for])='1') AND (([" + n +
                    "].Type)='01') AND (([" + n + "].Code)='03'));",
                payroll);
        EXPECT_TRUE(rs.EOF() && rs.BOF());
    }
    EXPECT_EQ(payroll->Execute("DELETE * FROM [Data Calc] WHERE [Employee#]='0012'"), 1);
    data::Recordset rs;
    rs.Open("SELECT * FROM [Data Master Detail] WHERE Amount < 0", payroll);
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs.field("Amount"), jet::Value(jet::Currency{-1502500}));
}

TEST_F(PayrollFiles, FindSearchesForwardFromTheCurrentRow) {
    data::Recordset layoutRows;
    layoutRows.Open(
        "SELECT [iData Calc].* FROM [iData Calc] WHERE ((([iData Calc].FieldNo)>0)) "
        "ORDER BY [iData Calc].[No];",
        layout);
    layoutRows.MoveFirst();
    layoutRows.Find("No=2");
    ASSERT_FALSE(layoutRows.EOF());
    EXPECT_EQ(text(layoutRows, "FieldThaiName"), "เงินเดือน");
    EXPECT_EQ(layoutRows.position(), 1);
    layoutRows.Find("No=2");  // the current row is searched too
    EXPECT_EQ(layoutRows.position(), 1);
    layoutRows.MoveNext();
    layoutRows.Find("No=1");  // forward only: the row behind is not found
    EXPECT_TRUE(layoutRows.EOF());
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { layoutRows.field("No"); }), 3021);
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { layoutRows.MoveNext(); }), 3021);
    layoutRows.MoveFirst();
    layoutRows.Find("No=4");  // FieldNo 0 is not in this set
    EXPECT_TRUE(layoutRows.EOF());

    data::Recordset employees;
    employees.Open("SELECT * FROM [Employee Master]", payroll);
    employees.MoveFirst();
    employees.Find("[Employee#]='0012'");
    ASSERT_FALSE(employees.EOF());
    EXPECT_EQ(text(employees, "[employee#]"), "0012");
    employees.MoveFirst();
    employees.Find("[Employee#]=' 0012'");  // untrimmed: no match
    EXPECT_TRUE(employees.EOF());
    employees.MoveFirst();
    employees.Find("[First name]='สมชาย'");  // a column with no index
    EXPECT_EQ(employees.position(), 0);
    employees.MoveNext();
    employees.Find("[First name]='สมชาย'");
    EXPECT_EQ(employees.position(), 1);

    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { employees.Find("[Employee#]='O'Brien'"); }), 3001);
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { employees.field("Nope"); }), 3265);

    data::Recordset empty;
    empty.Open("SELECT * FROM [Data Calc] WHERE [Employee#]='none'", payroll);
    EXPECT_TRUE(empty.BOF());
    EXPECT_TRUE(empty.EOF());
    EXPECT_EQ(empty.RecordCount(), 0);
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { empty.MoveFirst(); }), 3021);
}

TEST_F(PayrollFiles, AddNewAndChangeInPlaceHoldTheRowUntilUpdate) {
    data::Recordset rs;
    rs.Open("SELECT * FROM [Employee Master]", payroll);
    rs.AddNew();
    rs.setField("Employee#", jet::Value("0020"));
    rs.setField("Birth date", jet::Value("15/03/2567"));
    rs.setField("Salary", jet::Value(" 25,000.50 "));
    rs.setField("Entered by", jet::Value("Import"));

    data::Recordset other;  // a second connection to the same file sees nothing yet
    auto second = connect(payrollPath);
    other.Open("SELECT * FROM [Employee Master] WHERE [Employee#]='0020'", second);
    EXPECT_EQ(other.RecordCount(), 0);

    rs.Update();
    EXPECT_EQ(rs.RecordCount(), 4);
    EXPECT_EQ(rs.position(), 3);  // the new row is current, at the end
    EXPECT_EQ(rs.field("Dependent1"), jet::Value(int16_t{0}));  // its default
    EXPECT_TRUE(rs.field("Type of staff").isNull());
    EXPECT_EQ(rs.field("Birth date").as<jet::DateTime>().toString(), "2024-03-15 00:00:00");
    EXPECT_EQ(rs.field("Salary"), jet::Value(jet::Currency{250005000}));
    other.Requery();
    EXPECT_EQ(other.RecordCount(), 1);

    // Change in place, then leave the row: the change is dropped, not stored.
    rs.MoveFirst();
    rs.setField("Entered by", jet::Value("Nobody"));
    EXPECT_EQ(text(rs, "Entered by"), "Nobody");
    rs.MoveNext();
    rs.MoveFirst();
    EXPECT_EQ(text(rs, "Entered by"), "");
    rs.setField("Entered by", jet::Value("Import"));
    rs.Update();
    other.Open("SELECT * FROM [Employee Master] WHERE [Entered by]='IMPORT'", second);
    EXPECT_EQ(other.RecordCount(), 2);

    // Refusals leave nothing behind.
    rs.AddNew();
    rs.setField("Employee#", jet::Value("0012"));
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { rs.Update(); }), 3022);
    rs.CancelUpdate();
    rs.AddNew();
    rs.setField("First name", jet::Value("x"));
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { rs.Update(); }), 3314);
    rs.CancelUpdate();
    rs.AddNew();
    EXPECT_EQ(
        errorNumberOf<RunTimeError>([&] { rs.setField("Employee#", jet::Value("12345678901")); }),
        3163);
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { rs.setField("Dependent1", jet::Value("")); }), 13);
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { rs.setField("Dependent1", jet::Value("40000")); }),
              6);
    EXPECT_EQ(
        errorNumberOf<RunTimeError>([&] { rs.setField("Birth date", jet::Value("31/04/2567")); }),
        13);
    rs.CancelUpdate();
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), 4);
}

TEST_F(PayrollFiles, DeletionsThroughAnotherConnectionShowAfterRequery) {
    data::Recordset calc;
    calc.Open("SELECT * FROM [Data Calc]", payroll);
    calc.MoveFirst();
    calc.Find("[Employee#]='0012'");
    ASSERT_FALSE(calc.EOF());
    auto own = connect(payrollPath);
    EXPECT_EQ(own->Execute("DELETE * FROM [Data Calc] WHERE [Employee#]='0012'"), 1);
    own->Close();
    calc.Requery();
    EXPECT_EQ(calc.RecordCount(), 2);
    calc.MoveFirst();
    calc.Find("[Employee#]='0012'");
    EXPECT_TRUE(calc.EOF());

    // Rows added after the find index was built are found too, at the end.
    calc.AddNew();
    calc.setField("Employee#", jet::Value("0012"));
    calc.setField("Amount", jet::Value(jet::Currency{10000}));
    calc.Update();
    calc.MoveFirst();
    calc.Find("[Employee#]='0012'");
    EXPECT_EQ(calc.position(), 2);
    EXPECT_NE(data::valueToLong(calc.field("ID")), 0);  // numbered by the engine

    // Delete through the record set: the next row follows.
    calc.MoveFirst();
    calc.Delete();
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { calc.field("ID"); }), 3021);
    calc.MoveNext();
    EXPECT_EQ(calc.position(), 0);
    EXPECT_EQ(calc.RecordCount(), 2);
}

// A record set keeps rows it decoded, but never past a change: rows changed through another
// record set or a statement read as changed when the walk comes back to them, with or without
// a memo column (whose rows are kept only while they stay current).
TEST_F(PayrollFiles, RowsChangedElsewhereReadChangedWhenVisitedAgain) {
    layout->Execute("CREATE TABLE Notes (No LONG, Body MEMO, Tag TEXT(10))");
    for (int no = 1; no <= 3; ++no)
        layout->Execute("INSERT INTO Notes (No, Body, Tag) VALUES (" + std::to_string(no) +
                        ", 'body', 'old')");
    for (const char* table : {"[iData Calc]", "Notes"}) {
        SCOPED_TRACE(table);
        const std::string tag = std::string(table) == "Notes" ? "Tag" : "ToFieldName";
        data::Recordset walk;
        walk.Open(std::string("SELECT * FROM ") + table, layout);
        for (walk.MoveFirst(); !walk.EOF(); walk.MoveNext()) walk.field(tag);  // all decoded

        data::Recordset other;
        other.Open(std::string("SELECT * FROM ") + table, layout);
        other.MoveFirst();
        other.setField(tag, jet::Value("first"));
        other.Update();
        EXPECT_EQ(layout->Execute(std::string("UPDATE ") + table + " SET " + tag + "='every'"),
                  std::string(table) == "Notes" ? 3 : 4);

        for (walk.MoveFirst(); !walk.EOF(); walk.MoveNext())
            EXPECT_EQ(data::valueToText(walk.field(tag)), "every") << walk.position();
    }
}

// Requery of a whole table follows the table's changes instead of listing it again: whatever
// mix of changes came between, the rows and their order are those of a record set opened anew.
TEST_F(PayrollFiles, RequeryOfAWholeTableGivesWhatAFreshRecordSetGives) {
    auto idsOf = [](data::Recordset& rs) {
        std::vector<long> ids;
        if (rs.RecordCount() == 0) return ids;
        for (rs.MoveFirst(); !rs.EOF(); rs.MoveNext())
            ids.push_back(data::valueToLong(rs.field("ID")));
        return ids;
    };
    auto fresh = [&] {
        data::Recordset rs;
        rs.Open("SELECT * FROM [Data Calc]", payroll);
        return idsOf(rs);
    };
    auto addThrough = [](data::Recordset& rs, const std::string& employee) {
        rs.AddNew();
        rs.setField("Employee#", jet::Value(employee));
        rs.setField("Amount", jet::Value(jet::Currency{10000}));
        rs.Update();
    };
    for (int i = 0; i < 300; ++i)  // several pages, so that freed room is taken again
        payroll->Execute(
            "INSERT INTO [Data Calc] ([Employee#], [Company Code], Amount) VALUES ('E" +
            std::to_string(i % 60) + "', 'xxxxxxxxxx', 1)");

    data::Recordset calc;
    calc.Open("SELECT * FROM [Data Calc]", payroll);
    std::mt19937 random(11);
    for (int round = 0; round < 120; ++round) {
        const std::string employee = "E" + std::to_string(random() % 60);
        switch (random() % 5) {
            case 0: {  // the transfer's own way: delete elsewhere, then add here
                auto other = connect(payrollPath);
                other->Execute("DELETE * FROM [Data Calc] WHERE [Employee#]='" + employee + "'");
                other->Close();
                for (int k = 0; k < 4; ++k) addThrough(calc, employee);
                break;
            }
            case 1:  // rows added elsewhere
                payroll->Execute("INSERT INTO [Data Calc] ([Employee#], Amount) VALUES ('" +
                                 employee + "', 2)");
                break;
            case 2:  // rows added here, some deleted here again
                addThrough(calc, employee);
                addThrough(calc, employee);
                if (random() % 2) calc.Delete();
                break;
            case 3:  // a row of the old keyset deleted here
                calc.MoveFirst();
                calc.Find("[Employee#]='" + employee + "'");
                if (!calc.EOF()) calc.Delete();
                break;
            default: {  // a change undone: the record set runs its query again
                payroll->BeginTrans();
                payroll->Execute("DELETE * FROM [Data Calc] WHERE [Employee#]='" + employee + "'");
                payroll->RollbackTrans();
            }
        }
        calc.Requery();
        ASSERT_EQ(calc.position(), 0);
        ASSERT_EQ(idsOf(calc), fresh()) << "round " << round;
        calc.MoveFirst();
        calc.Find("[Employee#]='" + employee + "'");
        if (!calc.EOF()) {
            EXPECT_EQ(text(calc, "Employee#"), employee);
        }
    }

    // Rows added through a filtered record set stay at its end, wherever the table put them
    // (freed room on earlier pages): each is found at once, and so are those added before.
    data::Recordset filtered;
    filtered.Open("SELECT * FROM [Data Calc] WHERE Amount >= 0", payroll);
    for (int k = 0; k < 150; ++k) {
        if (k % 10 == 0)
            payroll->Execute("DELETE * FROM [Data Calc] WHERE [Employee#]='E" +
                             std::to_string(k / 10) + "'");
        addThrough(filtered, "N" + std::to_string(k));
        for (int back : {k, k / 2}) {
            filtered.MoveFirst();
            filtered.Find("[Employee#]='N" + std::to_string(back) + "'");
            ASSERT_FALSE(filtered.EOF()) << k;
            EXPECT_EQ(text(filtered, "Employee#"), "N" + std::to_string(back));
        }
    }
}

TEST_F(PayrollFiles, StatementsAreAtomicAndTransactionsMapToTheFile) {
    // A value holding a quote never runs.
    EXPECT_EQ(errorNumberOf<RunTimeError>(
                  [&] { payroll->Execute("DELETE * FROM [Data Calc] WHERE [Employee#]='0'012'"); }),
              3075);
    EXPECT_EQ(
        errorNumberOf<RunTimeError>([&] { payroll->Execute("DELETE * FROM [No Such Table]"); }),
        3078);
    EXPECT_EQ(
        errorNumberOf<RunTimeError>([&] { payroll->Execute("UPDATE [Data Calc] SET Nope = 1"); }),
        3061);
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { payroll->Execute("SELECT * FROM [Data Calc]"); }),
              3065);
    // The second row breaks the key: the first row's change is undone with it.
    EXPECT_EQ(errorNumberOf<RunTimeError>(
                  [&] { payroll->Execute("UPDATE [Employee Master] SET [Employee#]='0099'"); }),
              3022);
    data::Recordset rs;
    rs.Open("[Employee Master]", payroll);
    rs.Find("[Employee#]='0099'");
    EXPECT_TRUE(rs.EOF());

    // A key of three characters leaves Code empty: columns made by statements take that.
    EXPECT_EQ(payroll->Execute("INSERT INTO [Data Calc] ([Employee#], Code) VALUES ('0030', '')"),
              1);
    EXPECT_EQ(payroll->Execute("DELETE FROM [Data Calc] WHERE Code=''"), 1);

    payroll->BeginTrans();
    EXPECT_EQ(payroll->Execute("UPDATE [Data Calc] SET Amount = Amount * 2 WHERE Type='01'"), 3);
    auto savepoint = payroll->Savepoint();
    EXPECT_EQ(payroll->Execute("DELETE FROM [Data Calc]"), 3);
    payroll->RollbackTo(savepoint);
    payroll->CommitTrans();
    rs.Open("SELECT Amount FROM [Data Calc] ORDER BY [Employee#] DESC", payroll);
    ASSERT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(rs.fieldCount(), 1);
    EXPECT_EQ(rs.field("Amount"), jet::Value(jet::Currency{100010000}));

    payroll->BeginTrans();
    payroll->Execute("DELETE FROM [Data Calc]");
    payroll->RollbackTrans();
    rs.Requery();
    EXPECT_EQ(rs.RecordCount(), 3);
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { payroll->CommitTrans(); }), 3034);
}

TEST_F(PayrollFiles, IndexSeekAndScanGiveTheSameRows) {
    // The first WHERE is answered by the primary key, the second (with an OR) by a scan.
    data::Recordset seek, scan;
    seek.Open("SELECT * FROM [Data Master Detail] WHERE [Employee#]='0015' AND Type='01'", payroll);
    scan.Open(
        "SELECT * FROM [Data Master Detail] WHERE ([Employee#]='0015' OR 1=0) AND "
        "Type='01'",
        payroll);
    ASSERT_EQ(seek.RecordCount(), 1);
    ASSERT_EQ(scan.RecordCount(), 1);
    EXPECT_EQ(text(seek, "Employee#"), text(scan, "Employee#"));
    seek.Open("SELECT * FROM [Employee Master] WHERE [Employee#]='0012'", payroll);
    EXPECT_EQ(seek.RecordCount(), 1);
}

TEST_F(PayrollFiles, DataControlsOpenWhatTheirTextsDescribe) {
    data::DataControl control;
    control.ConnectionString = std::string(data::kProviderText) + layoutPath.string();
    control.RecordSource = "Select * From [iData Calc] ORDER BY [iData Calc].[No];";
    control.Refresh();
    EXPECT_EQ(control.recordset().RecordCount(), 4);
    control.RecordSource = "SELECT * FROM [Missing]";
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { control.Refresh(); }), 3078);
    EXPECT_FALSE(control.hasRecordset());  // what was open is closed
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { control.recordset(); }), 3704);

    // The layout database named as the program names it, with a backslash.
    control.ConnectionString =
        std::string(data::kProviderText) + dir.path().string() + "\\ImportData.mdb";
    control.RecordSource = "iDataMasterDetail";
    control.Refresh();
    EXPECT_EQ(control.recordset().RecordCount(), 4);
}

// A data control refreshed with look-ups of one shape (one per amount of a file) reopens its
// record set with the new texts: each must find exactly what a fresh record set finds.
TEST_F(PayrollFiles, DataControlsReopenLookUpsOfOneShape) {
    data::DataControl control;
    control.ConnectionString = std::string(data::kProviderText) + payrollPath.string();
    auto lookUp = [&](const std::string& employee, const std::string& code) {
        control.RecordSource =
            "SELECT [Data Master Detail].* FROM [Data Master Detail] WHERE ((([Data Master "
            "Detail].[Employee#])='" +
            employee + "') AND (([Data Master Detail].Code)='" + code + "'));";
        control.Refresh();
        return &control.recordset();
    };
    data::Recordset* first = lookUp("0010", "02");
    ASSERT_FALSE(first->EOF());
    EXPECT_EQ(text(*first, "Employee#"), "0010");
    first->setField("Amount", jet::Value(jet::Currency{770000}));
    first->Update();

    data::Recordset* second = lookUp("0012", "02");
    EXPECT_EQ(second, first) << "the same record set object, opened again";
    ASSERT_EQ(second->RecordCount(), 1);
    EXPECT_EQ(text(*second, "Employee#"), "0012");
    EXPECT_TRUE(lookUp("0012", "03")->EOF());
    EXPECT_TRUE(lookUp("O''12", "02")->EOF());
    EXPECT_EQ(data::valueToText(lookUp("0010", "02")->field("Amount")), "77");

    // Another shape, a table name, a source that fails, and the shape again.
    control.RecordSource = "SELECT * FROM [Data Master Detail] WHERE Code='02'";
    control.Refresh();
    EXPECT_EQ(control.recordset().RecordCount(), 3);
    control.RecordSource = "[Data Variant Detail]";
    control.Refresh();
    EXPECT_EQ(control.recordset().RecordCount(), 3);
    control.RecordSource = "SELECT * FROM [Data Master Detail] WHERE Nope='02'";
    EXPECT_NE(errorNumberOf<RunTimeError>([&] { control.Refresh(); }), std::nullopt);
    EXPECT_FALSE(control.hasRecordset());
    EXPECT_EQ(text(*lookUp("0015", "02"), "Employee#"), "0015");
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] {
                  control.RecordSource = "SELECT * FROM [Data Master Detail] WHERE Nope='03'";
                  control.Refresh();
              }),
              errorNumberOf<RunTimeError>([&] {
                  data::Recordset fresh;
                  fresh.Open("SELECT * FROM [Data Master Detail] WHERE Nope='03'", payroll);
              }));
    EXPECT_FALSE(control.hasRecordset());
}

TEST(ConnectionText, ProviderAndDataSource) {
    auto info = data::parseConnectionText(
        "data source=/x/Melvar.mdb;User ID=Admin; provider = microsoft.jet.oledb.4.0 ");
    EXPECT_EQ(info.dataSource, std::filesystem::path("/x/Melvar.mdb"));
    info = data::parseConnectionText(std::string(data::kProviderText) + "/d\\Pay\\Melvar.mdb");
    EXPECT_EQ(info.dataSource, std::filesystem::path("/d/Pay/Melvar.mdb"));
    std::string message;
    EXPECT_NE(errorNumberOf<RunTimeError>(
                  [] { data::parseConnectionText("Provider=SQLOLEDB;Data Source=x"); }, &message),
              std::nullopt);
    EXPECT_NE(message.find("SQLOLEDB"), std::string::npos);
    data::Connection c;
    EXPECT_EQ(
        errorNumberOf<RunTimeError>(
            [&] {
                c.Open(std::string(data::kProviderText) + "C:\\Program Files\\Payroll\\Melvar.mdb");
            },
            &message),
        3024);
    EXPECT_EQ(message, "Could not find file 'C:\\Program Files\\Payroll\\Melvar.mdb'.");
    EXPECT_FALSE(c.isOpen());
    // A folder by the database's name is no file either, and nothing is left beside it.
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "Folder.mdb");
    const std::string folder = (dir.path() / "Folder.mdb").string();
    EXPECT_EQ(errorNumberOf<RunTimeError>(
                  [&] { c.Open(std::string(data::kProviderText) + folder); }, &message),
              3024);
    EXPECT_EQ(message, "Could not find file '" + folder + "'.");
    EXPECT_FALSE(c.isOpen());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(AccessFiles, ReadingAFixtureAndItsDefaults) {
    TempDir dir;
    auto path = testing_support::copyFixture("nwind.mdb", dir.path());
    auto conn = std::make_shared<data::Connection>();
    conn->Open(std::string(data::kProviderText) + path.string());
    data::Recordset rs;
    rs.Open(
        "SELECT ProductName, UnitPrice FROM Products WHERE CategoryID = 1 AND UnitPrice >= 18 "
        "ORDER BY UnitPrice DESC, ProductName",
        conn);
    ASSERT_GT(rs.RecordCount(), 2);
    data::Recordset all;
    all.Open("Products", conn);
    EXPECT_EQ(all.RecordCount(), 77);
    all.Find("productname='CHAI'");  // case-insensitive
    ASSERT_FALSE(all.EOF());
    EXPECT_EQ(data::valueToLong(all.field("ProductID")), 1);
    double previous = 1e300;
    for (; !rs.EOF(); rs.MoveNext()) {
        double price = *data::numericValue(rs.field("UnitPrice"));
        EXPECT_LE(price, previous);
        previous = price;
    }
    // This file is Jet 3: read, never written.
    EXPECT_EQ(errorNumberOf<RunTimeError>([&] { all.AddNew(); }), 3027);

    // A new row of an Access 2000 table takes its columns' defaults.
    auto v2000 = testing_support::copyFixture("testV2000.mdb", dir.path());
    auto conn4 = std::make_shared<data::Connection>();
    conn4->Open(std::string(data::kProviderText) + v2000.string());
    data::Recordset t;
    t.Open("SELECT * FROM Table1", conn4);
    t.AddNew();
    t.setField("A", jet::Value("new"));
    t.setField("G", jet::Value("01/01/2543"));
    t.Update();
    EXPECT_EQ(t.field("C"), jet::Value(uint8_t{0}));
    EXPECT_EQ(t.field("H"), jet::Value(jet::Currency{0}));
    EXPECT_EQ(t.field("I"), jet::Value(false));
    EXPECT_TRUE(t.field("B").isNull());
    t.Requery();
    t.Find("G = #2000-01-01#");
    EXPECT_EQ(text(t, "A"), "new");
}

TEST_F(PayrollFiles, JetdbSqlRunsStatementsInOneTransaction) {
    payroll->Close();  // the tool is another process: it needs the file to itself
    layout->Close();
    using testing_support::runProgram;
    const std::string file = jet::utf8FromPath(payrollPath);
    int status = -1;
    std::string out = runProgram(
        "jetdb",
        {"sql", file, "SELECT [Employee#], Amount FROM [Data Calc] WHERE [Employee#]='0012'"},
        &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "Employee#,Amount\n\"0012\",5000.5000\n");

    auto script = dir / "script.sql";
    std::ofstream(script) << "DELETE FROM [Data Calc]\n\nINSERT INTO [Data Calc] ([Employee#]) "
                             "VALUES ('x''y')\nDELETE FROM [Nope]\n";
    out = runProgram("jetdb", {"sql", file}, &status, testing_support::Output::Both, script);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("line 4"), std::string::npos) << out;
    out = runProgram("jetdb", {"sql", file, "SELECT * FROM [Data Calc]"}, &status);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 4) << out;  // nothing was deleted
    out = runProgram("jetdb", {"sql", file, "DELETE FROM [Data Calc] WHERE Type='01'"}, &status);
    EXPECT_EQ(out, "3\n");
}

}  // namespace
