#include "import/employee/employee_field_rules.h"

#include <array>
#include <type_traits>
#include <variant>

#include "layout/line_mapping.h"
#include "text/characters.h"
#include "text/language_error.h"

namespace importers::employee {

namespace {

struct CodedField {
    const char* name;
    const char* tableGroup;
    const char* tableNumber;
    bool keepsFirstCharacters;  // else the last three
};

constexpr std::array<CodedField, 4> kCodedFields{{
    {"Position", "U", "14", true},
    {"Department", "U", "10", false},
    {"Section", "U", "11", false},
    {"Sub-Section", "U", "12", true},
}};

constexpr std::array<const char*, 5> kDateFields{"Birth date", "Hired date", "Employ date",
                                                 "Promote date", "Resign Date"};

// A field's value as text, for the tests the rules make on text fields: null is the empty text.
std::string textOf(const jet::Value& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, std::monostate>) {
                return "";
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "True" : "False";
            } else if constexpr (std::is_arithmetic_v<T>) {
                return std::to_string(v);
            } else if constexpr (std::is_same_v<T, jet::Currency>) {
                return layout::currencyToText(v);
            } else {
                return "?";  // dates and binary values: never empty
            }
        },
        value.storage());
}

[[noreturn]] void typeMismatch() {
    throw text::languageError(report::errnum::kTypeMismatch);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the number read from the start of `text` is other than zero: blanks are skipped, a
// sign, digits and one decimal point are read, and reading stops at the first character that
// cannot continue the number (so text that does not begin with a number reads as zero).
bool leadingNumberIsNonZero(const std::string& text) {
    bool seenSign = false, seenPoint = false;
    for (char c : text) {
        if (isBlank(c)) continue;
        if (isDigit(c)) {
            if (c != '0') return true;
            seenSign = true;
        } else if ((c == '-' || c == '+') && !seenSign && !seenPoint) {
            seenSign = true;
        } else if (c == '.' && !seenPoint) {
            seenPoint = seenSign = true;
        } else {
            break;
        }
    }
    return false;
}

std::string lowerCase(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool isLeap(long year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// A day-first date "d/m/yyyy" (one or two digits for day and month, four for the year); its
// day and month as two digits each. The year may be of either era, so 29 February passes when
// the year is a leap year in either reading.
std::string dayFirstDayAndMonth(const std::string& column) {
    std::string_view text = column;
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    const std::vector<std::string> parts = layout::splitLine(text, "/");
    if (parts.size() != 3) typeMismatch();
    const size_t maxLength[3] = {2, 2, 4};
    long values[3];
    for (int i = 0; i < 3; ++i) {
        const std::string& part = parts[static_cast<size_t>(i)];
        if (part.empty() || part.size() > maxLength[i]) typeMismatch();
        if (i == 2 && part.size() != 4) typeMismatch();
        long value = 0;
        for (char c : part) {
            if (!isDigit(c)) typeMismatch();
            value = value * 10 + (c - '0');
        }
        values[i] = value;
    }
    const long day = values[0], month = values[1], year = values[2];
    static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDaysInMonth[month - 1]) typeMismatch();
    if (month == 2 && day == 29 && !isLeap(year) && !isLeap(year - 543)) typeMismatch();
    auto twoDigits = [](long v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return twoDigits(day) + "/" + twoDigits(month);
}

// The year of a "yyyymmdd" column moved into the Buddhist Era: its first four characters read
// as a number, plus 543.
std::string buddhistYear(const std::string& column) {
    const jet::Currency year = layout::textToCurrency(text::leftChars(column, 4));
    return layout::currencyToText(jet::Currency{year.units + 543 * 10000});
}

}  // namespace

EmployeeRecord::~EmployeeRecord() = default;

const std::string& LineColumn::text() const {
    return layout::columnText(pieces, fieldNo);
}

void applySexRule(EmployeeRecord& record, const LineColumn& column) {
    record.setField("SexTableFor", "S");
    record.setField("SexType", "19");
    const std::string& text = column.text();
    if (text == "1") {
        record.setField("Sex", "M");
    } else if (text == "2") {
        record.setField("Sex", "F");
    } else {
        record.setField("Sex", text::leftChars(text, 1));
    }
}

void applyStatusRule(EmployeeRecord& record, const LineColumn& column) {
    const std::string& text = column.text();
    static constexpr std::array<const char*, 4> kStatus{"S", "M", "H", "D"};
    for (size_t i = 0; i < kStatus.size(); ++i) {
        if (text == std::to_string(i + 1)) {
            record.setField("Status", kStatus[i]);
            return;
        }
    }
    record.setField("Status", text::leftChars(text, 1));
}

bool isCodedField(const std::string& fieldName) {
    for (const auto& coded : kCodedFields) {
        if (fieldName == coded.name) return true;
    }
    return false;
}

void applyCodedFieldRule(EmployeeRecord& record, const std::string& fieldName,
                         const LineColumn& column) {
    for (const auto& coded : kCodedFields) {
        if (fieldName != coded.name) continue;
        record.setField(fieldName + "TableFor", coded.tableGroup);
        record.setField(fieldName + "Type", coded.tableNumber);
        const std::string& text = column.text();
        record.setField(fieldName, coded.keepsFirstCharacters ? text::leftChars(text, 3)
                                                              : text::rightChars(text, 3));
        return;
    }
}

bool isDateField(const std::string& fieldName) {
    for (const char* name : kDateFields) {
        if (fieldName == name) return true;
    }
    return false;
}

std::optional<std::string> employeeDateText(const jet::Value& sFormat, const std::string& column) {
    const std::string format = lowerCase(textOf(sFormat));
    if (sFormat.isNull() || format.empty()) return std::nullopt;
    if (format == "yyyymmdd") {
        if (column.empty() || column == "00000000" || !leadingNumberIsNonZero(column)) {
            return std::nullopt;
        }
        return text::rightChars(column, 2) + "/" + text::midChars(column, 5, 2) + "/" +
               buddhistYear(column);
    }
    if (format == "dd/mm/yyyy" || format == "d/m/yyyy" || format == "d/mm/yyyy" ||
        format == "dd/m/yyyy") {
        if (column.empty()) return std::nullopt;
        return dayFirstDayAndMonth(column) + "/" + text::rightChars(column, 4);
    }
    if (column.empty()) return std::nullopt;
    return column;
}

void applyDateRule(EmployeeRecord& record, const std::string& fieldName, const jet::Value& sFormat,
                   const LineColumn& column) {
    if (sFormat.isNull() || textOf(sFormat).empty()) return;
    if (auto text = employeeDateText(sFormat, column.text())) record.setField(fieldName, *text);
}

bool isDependantField(const std::string& fieldName) {
    return fieldName == "Dependent1" || fieldName == "Dependent2";
}

void applyDependantRule(EmployeeRecord& record, const std::string& fieldName,
                        const LineColumn& column) {
    const std::string& text = column.text();
    if (text.empty()) {
        record.setField(fieldName, int16_t{0});
    } else {
        record.setField(fieldName, text);
    }
}

void applyPlainRule(EmployeeRecord& record, const std::string& fieldName,
                    const LineColumn& column) {
    const std::string& text = column.text();
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) {
        record.setField(fieldName, std::string());
        return;
    }
    const size_t end = text.find_last_not_of(' ');
    record.setField(fieldName, text.substr(begin, end - begin + 1));
}

void applyCompletionRules(EmployeeRecord& record, const std::string& bankCode) {
    if (textOf(record.field("Type of staff")).empty()) {
        record.setField("Type of staff", "S");
    }
    if (!textOf(record.field("Bank Account")).empty()) {
        record.setField("Custom name 1", "B");
    }
    if (!bankCode.empty() && textOf(record.field("Custom name 1")) == "B") {
        record.setField("Bank CodeTableFor", "S");
        record.setField("Bank CodeType", "13");
        record.setField("Bank Code", bankCode);
    }
}

}  // namespace importers::employee
