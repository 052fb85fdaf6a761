#include "app/window/layout_table_model.h"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <optional>
#include <type_traits>
#include <variant>

#include "report/run_time_error.h"

namespace app::window {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

// A whole number of the Long type from the text of a cell, or nothing.
std::optional<int32_t> wholeNumber(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return std::nullopt;
    int start = trimmed[0] == QLatin1Char('+') || trimmed[0] == QLatin1Char('-') ? 1 : 0;
    if (start == trimmed.size()) return std::nullopt;
    for (int i = start; i < trimmed.size(); ++i) {
        if (trimmed[i] < QLatin1Char('0') || trimmed[i] > QLatin1Char('9')) return std::nullopt;
    }
    bool ok = false;
    const qlonglong number = trimmed.toLongLong(&ok);
    if (!ok || number < INT32_MIN || number > INT32_MAX) return std::nullopt;
    return static_cast<int32_t>(number);
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

QString errorText(const std::exception& error) {
    if (const auto* runTime = dynamic_cast<const report::RunTimeError*>(&error)) {
        return QStringLiteral("%1 (%2)")
            .arg(fromUtf8(runTime->description()))
            .arg(runTime->number());
    }
    return fromUtf8(error.what());
}

}  // namespace

QString cellText(const jet::Value& value) {
    return std::visit(
        [](const auto& v) -> QString {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return QString();
            } else if constexpr (std::is_same_v<T, std::string>) {
                return fromUtf8(v);
            } else if constexpr (std::is_same_v<T, bool>) {
                return v ? QStringLiteral("True") : QStringLiteral("False");
            } else if constexpr (std::is_same_v<T, uint8_t> || std::is_same_v<T, int16_t> ||
                                 std::is_same_v<T, int32_t>) {
                return QString::number(v);
            } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
                return QString::number(v, 'g', 15);
            } else if constexpr (std::is_same_v<T, jet::Currency>) {
                return QString::number(static_cast<double>(v.units) / 10000.0, 'f', 4);
            } else if constexpr (std::is_same_v<T, jet::DateTime>) {
                return fromUtf8(v.toString());
            } else if constexpr (std::is_same_v<T, jet::Decimal> || std::is_same_v<T, jet::Guid>) {
                return fromUtf8(v.toString());
            } else {
                return QString();
            }
        },
        value.storage());
}

LayoutTableModel::LayoutTableModel(std::vector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)) {}

void LayoutTableModel::setStore(LayoutRowStore* store) {
    store_ = store;
    reload();
}

bool LayoutTableModel::isEditable() const {
    return store_ != nullptr && store_->isOpen();
}

void LayoutTableModel::reload() {
    beginResetModel();
    const std::optional<std::vector<std::vector<jet::Value>>> rows = readRows();
    rows_ = rows ? *rows : std::vector<std::vector<jet::Value>>();
    endResetModel();
    if (!rows) tellReadFailure();
}

std::optional<std::vector<std::vector<jet::Value>>> LayoutTableModel::readRows() {
    if (store_ == nullptr || !store_->isOpen()) return std::vector<std::vector<jet::Value>>();
    std::vector<std::string> fields;
    for (const GridColumn& column : columns_) fields.push_back(column.field);
    try {
        return store_->rows(fields);
    } catch (const std::exception& error) {
        readError_ = errorText(error);
        return std::nullopt;
    }
}

void LayoutTableModel::tellReadFailure() {
    tell(QStringLiteral("อ่านตาราง [%1] ไม่ได้: %2").arg(fromUtf8(store_->tableName()), readError_));
}

void LayoutTableModel::rereadAfterEdit(int row) {
    std::optional<std::vector<std::vector<jet::Value>>> rows = readRows();
    if (!rows || rows->size() != rows_.size()) {
        reload();  // the table changed under the grid: show it whole
        return;
    }
    // The same rows, perhaps in another order (a No was changed): the grid keeps its place and
    // its current cell, and only the cells redraw.
    const bool sameOrder = (*rows)[row] == rows_[row];
    rows_ = std::move(*rows);
    if (sameOrder) {
        emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    } else {
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    }
}

int LayoutTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LayoutTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant LayoutTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    const jet::Value& value = rows_[index.row()][index.column()];
    if (role == Qt::DisplayRole || role == Qt::EditRole) return cellText(value);
    if (role == Qt::TextAlignmentRole && isWholeNumberField(index.column())) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    return {};
}

QVariant LayoutTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) {
        return section >= 0 && section < columnCount() ? columns_[section].caption : QVariant();
    }
    return QVariant();
}

Qt::ItemFlags LayoutTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    const Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    return isEditable() ? flags | Qt::ItemIsEditable : flags;
}

bool LayoutTableModel::isWholeNumberField(int column) const {
    const std::string& field = columns_[column].field;
    return field == "No" || field == "FieldNo";
}

int LayoutTableModel::columnOf(const std::string& field) const {
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].field == field) return static_cast<int>(i);
    }
    return -1;
}

void LayoutTableModel::tell(const QString& message) const {
    if (refuse_) refuse_(message);
}

bool LayoutTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || !isEditable()) {
        return false;
    }
    const int row = index.row();
    const int column = index.column();
    const GridColumn& target = columns_[column];
    const QString text = value.toString();
    const QString table = fromUtf8(store_->tableName());

    jet::Value stored;
    if (isWholeNumberField(column)) {
        const std::optional<int32_t> number = wholeNumber(text);
        if (!number && !(target.field == "FieldNo" && text.trimmed().isEmpty())) {
            tell(QStringLiteral("ช่อง %1 (%2) ของตาราง [%3] ต้องเป็นจำนวนเต็ม: \"%4\"")
                     .arg(target.caption, fromUtf8(target.field), table, text));
            return false;
        }
        if (number) stored = *number;
        if (target.field == "No" && number) {
            for (size_t other = 0; other < rows_.size(); ++other) {
                if (static_cast<int>(other) != row && numberOf(rows_[other][column]) == *number) {
                    tell(QStringLiteral("No %1 มีอยู่แล้วในตาราง [%2]").arg(*number).arg(table));
                    return false;
                }
            }
        }
    } else if (!text.isEmpty()) {
        stored = text.toStdString();
    }
    if (stored == rows_[row][column]) return true;

    try {
        store_->setValue(row, target.field, stored);
    } catch (const std::exception& error) {
        tell(QStringLiteral("บันทึกช่อง %1 ของตาราง [%2] ไม่ได้: %3")
                 .arg(fromUtf8(target.field), table, errorText(error)));
        return false;
    }
    // The store may order its rows anew (by No): read them back as the database holds them.
    rereadAfterEdit(row);
    return true;
}

bool LayoutTableModel::insertRows(int, int count, const QModelIndex& parent) {
    if (parent.isValid() || count != 1 || !isEditable()) return false;
    int64_t highest = 0;
    const int noColumn = columnOf("No");
    if (noColumn >= 0) {
        for (const auto& row : rows_)
            highest = std::max(highest, numberOf(row[noColumn]).value_or(0));
    }
    if (highest >= INT32_MAX) {
        tell(QStringLiteral("เพิ่มแถวในตาราง [%1] ไม่ได้: No ถึงค่าสูงสุดแล้ว")
                 .arg(fromUtf8(store_->tableName())));
        return false;
    }
    std::vector<std::pair<std::string, jet::Value>> values = {
        {"No", jet::Value(static_cast<int32_t>(highest + 1))},
        {"FieldNo", jet::Value(int32_t{0})},
    };
    try {
        store_->addRow(values);
    } catch (const std::exception& error) {
        tell(QStringLiteral("เพิ่มแถวในตาราง [%1] ไม่ได้: %2")
                 .arg(fromUtf8(store_->tableName()), errorText(error)));
        return false;
    }
    reload();
    return true;
}

bool LayoutTableModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || count != 1 || row < 0 || row >= rowCount() || !isEditable()) {
        return false;
    }
    try {
        store_->deleteRow(row);
    } catch (const std::exception& error) {
        tell(QStringLiteral("ลบแถวจากตาราง [%1] ไม่ได้: %2")
                 .arg(fromUtf8(store_->tableName()), errorText(error)));
        return false;
    }
    reload();
    return true;
}

}  // namespace app::window
