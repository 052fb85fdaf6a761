// The employee and pay-line transfers' starting points: layouts and rows every test of them
// begins from.
#pragma once

#include <string>

#include "import/transfer_fixture.h"

namespace testing_support {

class EmployeeMasterTest : public TransferTest {
  protected:
    void SetUp() override {
        TransferTest::SetUp();
        setLayout("iEmployee Master", {{1, "Title", 0, ""},
                                       {2, "Employee#", 1, ""},
                                       {3, "First name", 2, ""},
                                       {4, "Sex", 3, ""},
                                       {5, "Status", 4, ""},
                                       {6, "Position", 5, ""},
                                       {7, "Department", 6, ""},
                                       {8, "Birth date", 7, "YYYYMMDD"},
                                       {9, "Hired date", 8, "dd/mm/yyyy"},
                                       {10, "Dependent1", 9, ""},
                                       {11, "Bank Account", 10, ""},
                                       {12, "Type of staff", 11, ""},
                                       {13, "Resign Date", 12, ""}});
        window.fields[form::Field::BankCode] = "002";
    }
    std::string text(const std::string& emp, const std::string& field) {
        return data::valueToText(value(select(emp), field));
    }
    jet::CivilDateTime date(const std::string& emp, const std::string& field) {
        const jet::Value v = value(select(emp), field);
        EXPECT_TRUE(v.is<jet::DateTime>()) << field;
        return v.is<jet::DateTime>() ? v.as<jet::DateTime>().toCivil() : jet::CivilDateTime{};
    }
    static std::string select(const std::string& emp) {
        return "SELECT * FROM [Employee Master] WHERE [Employee#]='" + emp + "'";
    }
    Lines codes() { return rows("SELECT [Employee#] FROM [Employee Master] ORDER BY [Employee#]"); }
    std::string context(const std::string& code, const std::string& field,
                        const std::string& description) {
        return "ImportToEmployeeMaster()\r\nรหัส: " + code + ",  ชื่อฟิล์ด: " + field +
               "\r\nข้อผิดพลาด: " + description;
    }
};

class DataCalcTest : public TransferTest {
  protected:
    void SetUp() override {
        TransferTest::SetUp();
        setLayout("iData Calc", {{1, "Employee#", 1, ""},
                                 {2, "I0101", 2, ""},
                                 {3, "I0102", 3, ""},
                                 {4, "D0201", 4, ""},
                                 {5, "X9999", 0, ""}});
        addCalc("E001", 2566, 12, "I0101", "10");
        addCalc("E001", 2567, 1, "I0102", "20");
        addCalc("E002", 2567, 1, "I0101", "30");
    }
    void addCalc(const std::string& emp, int year, int period, const std::string& key,
                 const std::string& amount) {
        execute(dbPath,
                "INSERT INTO [Data Calc] ([Company Code], [Employee#], [Year], [Period], "
                "[Type for], [Type], [Code], [Amount]) VALUES ('ZZ', '" +
                    emp + "', " + std::to_string(year) + ", " + std::to_string(period) + ", '" +
                    key.substr(0, 1) + "', '" + key.substr(1, 2) + "', '" + key.substr(3, 2) +
                    "', " + amount + ")");
    }
    Lines calcRows() {
        return rows(
            "SELECT [Company Code], [Employee#], [Year], [Period], [Type for], [Type], [Code], "
            "[Amount] FROM [Data Calc] ORDER BY [ID]");
    }
};

}  // namespace testing_support
