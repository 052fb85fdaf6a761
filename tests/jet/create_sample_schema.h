// The sample company's table definitions (the payroll database and the layout database), as the
// tests of table creation and the benchmark use them.
#pragma once

#include <vector>

#include "jet/schema.h"

namespace testing_support {

inline jet::ColumnDefinition text(const char* name, int size, bool required = false) {
    jet::ColumnDefinition c;
    c.name = name;
    c.type = jet::ColumnType::Text;
    c.size = size;
    c.required = required;
    return c;
}

inline jet::ColumnDefinition typed(const char* name, jet::ColumnType type,
                                   const char* defaultValue = nullptr) {
    jet::ColumnDefinition c;
    c.name = name;
    c.type = type;
    if (defaultValue) c.defaultValue = defaultValue;
    return c;
}

inline jet::IndexDefinition index(const char* name, std::vector<const char*> columns,
                                  bool primaryKey = false) {
    jet::IndexDefinition i;
    i.name = name;
    for (const char* c : columns) i.columns.push_back({c, true});
    i.primaryKey = primaryKey;
    return i;
}

inline jet::TableDefinition employeeMaster() {
    using T = jet::ColumnType;
    jet::TableDefinition t;
    t.name = "Employee Master";
    t.columns = {text("Employee#", 10, true), text("Company Code", 10), text("Title", 20),
                 text("First name", 50),      text("Last name", 50),    text("English name", 100),
                 text("ID card", 13),         text("Tax ID", 13),       text("Social security", 13),
                 typed("Address", T::Memo)};
    for (const char* group : {"Sex", "Position", "Department", "Section", "Sub-Section"}) {
        bool sex = std::string(group) == "Sex";
        t.columns.push_back(text(group, sex ? 1 : 3));
        t.columns.push_back(text((std::string(group) + "TableFor").c_str(), 1));
        t.columns.push_back(text((std::string(group) + "Type").c_str(), 2));
        if (sex) t.columns.push_back(text("Status", 1));
    }
    t.columns.push_back(text("Type of staff", 1));
    t.columns.push_back(text("Bank Account", 20));
    t.columns.push_back(text("Bank Code", 3));
    t.columns.push_back(text("Bank CodeTableFor", 1));
    t.columns.push_back(text("Bank CodeType", 2));
    t.columns.push_back(text("Custom name 1", 50));
    for (const char* d :
         {"Birth date", "Hired date", "Employ date", "Promote date", "Resign Date"}) {
        t.columns.push_back(typed(d, T::DateTime));
    }
    t.columns.push_back(typed("Dependent1", T::Integer, "0"));
    t.columns.push_back(typed("Dependent2", T::Integer, "0"));
    t.columns.push_back(typed("Salary", T::Currency));
    t.columns.push_back(text("Entered by", 20));
    t.columns.push_back(text("Default Fix income form", 4));
    t.columns.push_back(text("Default Var income form", 4));
    t.indexes = {index("PK_Employee", {"Employee#"}, true), index("IX_Department", {"Department"}),
                 index("IX_LastName", {"Last name"})};
    return t;
}

inline jet::TableDefinition dataCalc() {
    using T = jet::ColumnType;
    jet::TableDefinition t;
    t.name = "Data Calc";
    jet::ColumnDefinition id = typed("ID", T::Long);
    id.autoNumber = true;
    t.columns = {id,
                 text("Company Code", 10),
                 text("Employee#", 10),
                 typed("Year", T::Integer),
                 typed("Period", T::Byte),
                 text("Type for", 1),
                 text("Type", 2),
                 text("Code", 2),
                 typed("Amount", T::Currency)};
    t.indexes = {index("PK_DataCalc", {"ID"}, true),
                 index("IX_Emp", {"Employee#", "Year", "Period"})};
    return t;
}

inline jet::TableDefinition detailTable(const char* name) {
    jet::TableDefinition t;
    t.name = name;
    t.columns = {text("Company Code", 10), text("Employee#", 10),
                 text("Type for", 1),      text("Type", 2),
                 text("Code", 2),          typed("Amount", jet::ColumnType::Currency),
                 text("Remark", 50)};
    jet::IndexDefinition pk = index("PrimaryKey", {"Employee#", "Type for", "Type", "Code"}, true);
    t.indexes = {pk};
    return t;
}

inline std::vector<jet::TableDefinition> payrollTables() {
    return {employeeMaster(), dataCalc(), detailTable("Data Master Detail"),
            detailTable("Data Variant Detail")};
}

inline std::vector<jet::TableDefinition> layoutTables() {
    std::vector<jet::TableDefinition> out;
    for (const char* name :
         {"iEmployee Master", "iData Calc", "iDataMasterDetail", "iDataVariantDetail"}) {
        jet::TableDefinition t;
        t.name = name;
        t.columns = {typed("No", jet::ColumnType::Long), text("FieldThaiName", 50),
                     text("ToFieldName", 50), typed("FieldNo", jet::ColumnType::Long)};
        if (std::string(name) == "iEmployee Master") t.columns.push_back(text("sFormat", 20));
        t.indexes = {index("PrimaryKey", {"No"}, true)};
        out.push_back(t);
    }
    return out;
}

}  // namespace testing_support
