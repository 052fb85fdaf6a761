// The rules that turn one column of an employee line into fields of an [Employee Master] record,
// and the completion rules applied to each record before it is saved.
//
// Coded fields carry companion fields naming their code table: "<field>TableFor" holds a
// one-letter table group and "<field>Type" the table's number as text. The companions are
// written before the column is read, even for an empty column. Date fields are written as
// day-first Buddhist-Era text ("15/03/2567"), which the data layer turns into the field's type;
// other fields get their text (or, for an empty dependant count, the 16-bit number 0).
//
// A column is the piece numbered FieldNo - 1 of the line, untrimmed; a missing piece fails with
// error 9. The rules write through EmployeeRecord, so they can be used on any record.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "jet/value.h"

namespace importers::employee {

// The record being imported: read and write a field by name.
class EmployeeRecord {
  public:
    virtual ~EmployeeRecord();
    virtual jet::Value field(const std::string& name) const = 0;
    virtual void setField(const std::string& name, const jet::Value& value) = 0;
};

// A column of the line, read when a rule needs it.
struct LineColumn {
    const std::vector<std::string>& pieces;
    long fieldNo;
    const std::string& text() const;  // throws error 9 when the line has no such column
};

// Sex: SexTableFor "S", SexType "19", then "1" -> "M", "2" -> "F", else the first character.
void applySexRule(EmployeeRecord& record, const LineColumn& column);
// Status: "1" -> "S", "2" -> "M", "3" -> "H", "4" -> "D", else the first character.
void applyStatusRule(EmployeeRecord& record, const LineColumn& column);
// Position, Department, Section, Sub-Section: companions, then the first three characters
// (Position, Sub-Section) or the last three (Department, Section).
// REQUIRES: isCodedField(fieldName).
void applyCodedFieldRule(EmployeeRecord& record, const std::string& fieldName,
                         const LineColumn& column);
bool isCodedField(const std::string& fieldName);

// The date text to write for a column with the layout's sFormat, or nothing when the field is
// to stay unwritten. Throws error 13 for a "yyyymmdd" column whose year is not a number and for
// a day-first column that is not a valid date.
std::optional<std::string> employeeDateText(const jet::Value& sFormat, const std::string& column);
void applyDateRule(EmployeeRecord& record, const std::string& fieldName, const jet::Value& sFormat,
                   const LineColumn& column);
bool isDateField(const std::string& fieldName);

// Dependent1, Dependent2: an empty column writes the 16-bit number 0, any other the text.
void applyDependantRule(EmployeeRecord& record, const std::string& fieldName,
                        const LineColumn& column);
bool isDependantField(const std::string& fieldName);

// Any other field: the column without leading and trailing spaces (only the space character).
void applyPlainRule(EmployeeRecord& record, const std::string& fieldName, const LineColumn& column);

// In order: an empty Type of staff becomes "S"; a non-empty Bank Account sets Custom name 1 to
// "B"; then with a non-empty bank code and Custom name 1 "B", Bank CodeTableFor "S",
// Bank CodeType "13" and Bank Code the bank code.
void applyCompletionRules(EmployeeRecord& record, const std::string& bankCode);

}  // namespace importers::employee
