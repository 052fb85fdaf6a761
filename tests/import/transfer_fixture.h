// A payroll database and a layout database in a temporary folder, a recording
// window and a recording error report component, wired to one Form: what every
// end-to-end transfer test needs.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/logic/transfer_command.h"
#include "data/data_control.h"
#include "data_sources/data_sources.h"
#include "form/form.h"
#include "support/recording_window.h"
#include "support/test_support.h"
#include "text/windows874.h"

namespace testing_support {

class TransferTest : public ::testing::Test {
  protected:
    TransferTest() : form(window) {}

    // A failure to make the databases throws out of SetUp: the test fails before its body.
    void SetUp() override {
        createDatabases();

        window.fields[form::Field::Delimiter] = ",";
        window.fields[form::Field::TextFile] = textPath.string();
        window.fields[form::Field::Database] = dbPath.string();
        window.fields[form::Field::Year] = "2567";
        window.fields[form::Field::Period] = "1";
        form.globals.DataFolder = dir.path().string();
        form.now = [this] {
            clock.oleDate += 7.0 / 86400.0;  // seven seconds pass at every look at the clock
            return clock;
        };
    }

    void createDatabases() {
        std::filesystem::copy_file(fixturePath("emptyJet4.mdb"), dbPath);
        std::filesystem::copy_file(fixturePath("emptyJet4.mdb"), layoutPath);
        for (const auto& path : {dbPath, layoutPath}) {
            std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                         std::filesystem::perm_options::add);
        }
        execute(dbPath,
                std::string(
                    "CREATE TABLE [Employee Master] ([Employee#] TEXT(10) NOT NULL CONSTRAINT "
                    "PK_Employee PRIMARY KEY, [Company Code] TEXT(10), [Title] TEXT(20), "
                    "[First name] TEXT(50), [Last name] TEXT(50), [Sex] TEXT(1), [SexTableFor] "
                    "TEXT(1), [SexType] TEXT(2), [Status] TEXT(1), [Position] TEXT(3), "
                    "[PositionTableFor] TEXT(1), [PositionType] TEXT(2), [Department] TEXT(3), "
                    "[DepartmentTableFor] TEXT(1), [DepartmentType] TEXT(2), [Section] TEXT(3), "
                    "[SectionTableFor] TEXT(1), [SectionType] TEXT(2), [Sub-Section] TEXT(3), "
                    "[Sub-SectionTableFor] TEXT(1), [Sub-SectionType] TEXT(2), [Type of staff] "
                    "TEXT(1), [Bank Account] TEXT(20), [Bank Code] TEXT(3), [Bank CodeTableFor] "
                    "TEXT(1), [Bank CodeType] TEXT(2), [Custom name 1] TEXT(50), [Birth date] ") +
                    dateType() + ", [Hired date] " + dateType() + ", [Employ date] " + dateType() +
                    ", [Promote date] " + dateType() + ", [Resign Date] " + dateType() +
                    ", [Dependent1] SHORT, [Dependent2] SHORT, "
                    "[Salary] CURRENCY, [Entered by] TEXT(20), [Default Fix income form] TEXT(4), "
                    "[Default Var income form] TEXT(4), [Remark] TEXT(8))");
        execute(dbPath,
                "CREATE TABLE [Data Calc] ([ID] COUNTER CONSTRAINT PK_DataCalc PRIMARY KEY, "
                "[Company Code] TEXT(10), [Employee#] TEXT(10), [Year] SHORT, [Period] BYTE, "
                "[Type for] TEXT(1), [Type] TEXT(2), [Code] TEXT(2), [Amount] CURRENCY)");
        for (const char* table : {"Data Master Detail", "Data Variant Detail"}) {
            execute(dbPath, std::string("CREATE TABLE [") + table +
                                "] ([Company Code] TEXT(10), [Employee#] TEXT(10), [Type for] "
                                "TEXT(1), [Type] TEXT(2), [Code] TEXT(2), [Amount] CURRENCY, "
                                "[Remark] TEXT(50), CONSTRAINT PK_Detail PRIMARY KEY "
                                "([Employee#], [Type for], [Type], [Code]))");
        }
        for (const char* table :
             {"iEmployee Master", "iData Calc", "iDataMasterDetail", "iDataVariantDetail"}) {
            execute(layoutPath, std::string("CREATE TABLE [") + table +
                                    "] ([No] LONG CONSTRAINT PK_Layout PRIMARY KEY, "
                                    "[FieldThaiName] TEXT(50), [ToFieldName] TEXT(50), "
                                    "[FieldNo] LONG, [sFormat] TEXT(20))");
        }
    }

    // The type of the five date fields of [Employee Master]; a product may keep them as text.
    virtual std::string dateType() const { return "DATETIME"; }

    void execute(const std::filesystem::path& path, const std::string& statement) {
        data::Connection connection;
        connection.Open(data_sources::connectionTextFor(path.string()));
        connection.Execute(statement);
        connection.Close();
    }

    // Layout rows: {No, ToFieldName, FieldNo, sFormat}.
    struct LayoutRow {
        int no;
        std::string toFieldName;
        int fieldNo;
        std::string format;
    };
    void setLayout(const std::string& table, const std::vector<LayoutRow>& rows) {
        execute(layoutPath, "DELETE * FROM [" + table + "]");
        for (const auto& row : rows) {
            execute(layoutPath, "INSERT INTO [" + table +
                                    "] ([No], [FieldThaiName], [ToFieldName], [FieldNo], "
                                    "[sFormat]) VALUES (" +
                                    std::to_string(row.no) + ", 'ข้อมูล', " +
                                    quoted(row.toFieldName) + ", " + std::to_string(row.fieldNo) +
                                    ", " + (row.format.empty() ? "NULL" : "'" + row.format + "'") +
                                    ")");
        }
    }

    // Every row of a query, each as its fields' texts joined by "|".
    std::vector<std::string> rows(const std::string& query) {
        auto connection = std::make_shared<data::Connection>();
        connection->Open(data_sources::connectionTextFor(dbPath.string()));
        data::Recordset recordset;
        recordset.Open(query, connection);
        std::vector<std::string> out;
        for (; !recordset.EOF(); recordset.MoveNext()) {
            std::string line;
            for (int i = 0; i < recordset.fieldCount(); ++i) {
                if (i > 0) line += "|";
                line += data::valueToText(recordset.field(i));
            }
            out.push_back(line);
        }
        recordset.Close();
        connection->Close();
        return out;
    }
    jet::Value value(const std::string& query, const std::string& field) {
        auto connection = std::make_shared<data::Connection>();
        connection->Open(data_sources::connectionTextFor(dbPath.string()));
        data::Recordset recordset;
        recordset.Open(query, connection);
        jet::Value v = recordset.EOF() ? jet::Value() : recordset.field(field);
        recordset.Close();
        connection->Close();
        return v;
    }

    // Writes the input file in the Thai code page.
    void writeInput(const std::string& text) {
        std::ofstream(textPath, std::ios::binary) << text::utf8ToWindows874(text);
    }
    static std::string quoted(const std::string& text) {
        std::string out = "'";
        for (char c : text) out += c == '\'' ? std::string("''") : std::string(1, c);
        return out + "'";
    }

    void click(int16_t kind) { app::cmdTransfer_Click(form, kind); }

    std::vector<std::string> messageTitles() const {
        std::vector<std::string> out;
        for (const auto& m : window.messages) out.push_back(m.title);
        return out;
    }

    TempDir dir;
    std::filesystem::path dbPath = dir / "Melvar.mdb";
    std::filesystem::path layoutPath = dir / "ImportData.mdb";
    std::filesystem::path textPath = dir / "input.txt";
    RecordingWindow window;
    RecordingErrorReports reports;
    form::Form form;
    jet::DateTime clock{45366.5};
};

using Lines = std::vector<std::string>;

inline const std::string kCompleted = "โอนข้อมูลเสร็จเรียบร้อยแล้ว ";
inline const std::string kFailed = "การโอนข้อมูลไม่สำเร็จ กรุณาตรวจสอบข้อมูล แล้วลองใหม่";

}  // namespace testing_support
