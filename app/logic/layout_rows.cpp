#include "app/logic/layout_rows.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <type_traits>
#include <variant>

#include "report/run_time_error.h"

namespace app {

namespace {

// A whole number of the Long type from the text of a cell, or nothing.
std::optional<int32_t> wholeNumber(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const size_t last = text.find_last_not_of(" \t");
    size_t start = first + (text[first] == '+' || text[first] == '-' ? 1 : 0);
    if (start > last || last - start >= 18) return std::nullopt;
    int64_t number = 0;
    for (size_t i = start; i <= last; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        number = number * 10 + (text[i] - '0');
    }
    if (text[first] == '-') number = -number;
    if (number < INT32_MIN || number > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(number);
}

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

std::optional<int64_t> numberOf(const jet::Value& value) {
    return std::visit(
        [](const auto& v) -> std::optional<int64_t> {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                          std::is_same_v<T, int32_t>) {
                return static_cast<int64_t>(v);
            } else if constexpr (std::is_same_v<T, double> || std::is_same_v<T, float>) {
                return static_cast<int64_t>(v);
            } else {
                return std::nullopt;
            }
        },
        value.storage());
}

std::string errorText(const std::exception& error) {
    if (const auto* runTime = dynamic_cast<const report::RunTimeError*>(&error)) {
        return runTime->description() + " (" + std::to_string(runTime->number()) + ")";
    }
    return error.what();
}

std::string printed(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

}  // namespace

std::string cellText(const jet::Value& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return {};
            } else if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? "True" : "False";
            } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                                 std::is_same_v<T, int32_t>) {
                return std::to_string(v);
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                return printed("%.15g", static_cast<double>(v));
            } else if constexpr (std::is_same_v<T, jet::Currency>) {
                return printed("%.4f", static_cast<double>(v.units) / 10000.0);
            } else if constexpr (std::is_same_v<T, jet::DateTime> ||
                                 std::is_same_v<T, jet::Decimal> || std::is_same_v<T, jet::Guid>) {
                return v.toString();
            } else {
                return {};
            }
        },
        value.storage());
}

bool LayoutRows::isEditable() const {
    return store_ != nullptr && store_->isOpen();
}

bool LayoutRows::isWholeNumberColumn(int column) const {
    const std::string& field = columns_[column].field;
    return field == "No" || field == "FieldNo";
}

int LayoutRows::columnOf(const std::string& field) const {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].field == field) return static_cast<int>(i);
    }
    return -1;
}

std::optional<std::vector<std::vector<jet::Value>>> LayoutRows::readRows(std::string& error) {
    if (store_ == nullptr || !store_->isOpen()) return std::vector<std::vector<jet::Value>>();
    std::vector<std::string> fields;
    for (const LayoutColumn& column : columns_) fields.push_back(column.field);
    try {
        return store_->rows(fields);
    } catch (const std::exception& failure) {
        error = errorText(failure);
        return std::nullopt;
    }
}

std::optional<std::string> LayoutRows::reload() {
    std::string error;
    std::optional<std::vector<std::vector<jet::Value>>> rows = readRows(error);
    rows_ = rows ? std::move(*rows) : std::vector<std::vector<jet::Value>>();
    if (rows) return std::nullopt;
    return "อ่านตาราง [" + store_->tableName() + "] ไม่ได้: " + error;
}

LayoutRows::EditOutcome LayoutRows::setText(int row, int column, const std::string& text) {
    if (!isEditable() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) {
        return {};
    }
    const LayoutColumn& target = columns_[column];
    const std::string table = store_->tableName();

    jet::Value stored;
    if (isWholeNumberColumn(column)) {
        const std::optional<int32_t> number = wholeNumber(text);
        if (!number && !(target.field == "FieldNo" && isBlank(text))) {
            return {false, Change::None,
                    "ช่อง " + target.caption + " (" + target.field + ") ของตาราง [" + table +
                        "] ต้องเป็นจำนวนเต็ม: \"" + text + "\""};
        }
        if (number) stored = *number;
        if (target.field == "No" && number) {
            for (size_t other = 0; other < rows_.size(); ++other) {
                if (static_cast<int>(other) != row && numberOf(rows_[other][column]) == *number) {
                    return {false, Change::None,
                            "No " + std::to_string(*number) + " มีอยู่แล้วในตาราง [" + table + "]"};
                }
            }
        }
    } else if (!text.empty()) {
        stored = text;
    }
    if (stored == rows_[row][column]) return {true, Change::None, {}};

    try {
        store_->setValue(row, target.field, stored);
    } catch (const std::exception& error) {
        return {false, Change::None,
                "บันทึกช่อง " + target.field + " ของตาราง [" + table + "] ไม่ได้: " + errorText(error)};
    }
    // The store may order its rows anew (by No): read them back as the database holds them.
    std::string error;
    std::optional<std::vector<std::vector<jet::Value>>> rows = readRows(error);
    if (!rows || rows->size() != rows_.size()) {
        // The table changed under the grid: show it whole.
        return {true, Change::AllRows, reload().value_or(std::string())};
    }
    // The same rows, perhaps in another order (a No was changed).
    const bool sameOrder = (*rows)[row] == rows_[row];
    rows_ = std::move(*rows);
    return {true, sameOrder ? Change::Row : Change::AllCells, {}};
}

LayoutRows::EditOutcome LayoutRows::insertRow() {
    if (!isEditable()) return {};
    int64_t highest = 0;
    const int noColumn = columnOf("No");
    if (noColumn >= 0) {
        for (const auto& row : rows_)
            highest = std::max(highest, numberOf(row[noColumn]).value_or(0));
    }
    if (highest >= INT32_MAX) {
        return {false, Change::None,
                "เพิ่มแถวในตาราง [" + store_->tableName() + "] ไม่ได้: No ถึงค่าสูงสุดแล้ว"};
    }
    std::vector<std::pair<std::string, jet::Value>> values = {
        {"No", jet::Value(static_cast<int32_t>(highest + 1))},
        {"FieldNo", jet::Value(int32_t{0})},
    };
    try {
        store_->addRow(values);
    } catch (const std::exception& error) {
        return {false, Change::None,
                "เพิ่มแถวในตาราง [" + store_->tableName() + "] ไม่ได้: " + errorText(error)};
    }
    return {true, Change::AllRows, reload().value_or(std::string())};
}

LayoutRows::EditOutcome LayoutRows::removeRow(int row) {
    if (row < 0 || row >= rowCount() || !isEditable()) return {};
    try {
        store_->deleteRow(row);
    } catch (const std::exception& error) {
        return {false, Change::None,
                "ลบแถวจากตาราง [" + store_->tableName() + "] ไม่ได้: " + errorText(error)};
    }
    return {true, Change::AllRows, reload().value_or(std::string())};
}

}  // namespace app
