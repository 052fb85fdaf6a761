#include "app/window/layout_table_model.h"

namespace app::window {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::vector<app::LayoutColumn> layoutColumns(const std::vector<GridColumn>& columns) {
    std::vector<app::LayoutColumn> result;
    for (const GridColumn& column : columns) {
        result.push_back({column.caption.toStdString(), column.field});
    }
    return result;
}

}  // namespace

QString cellText(const jet::Value& value) {
    return fromUtf8(app::cellText(value));
}

LayoutTableModel::LayoutTableModel(std::vector<GridColumn> columns, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)), rows_(layoutColumns(columns_)) {}

void LayoutTableModel::setStore(LayoutRowStore* store) {
    rows_.setStore(store);
    reload();
}

bool LayoutTableModel::isEditable() const {
    return rows_.isEditable();
}

void LayoutTableModel::reload() {
    beginResetModel();
    const std::optional<std::string> failure = rows_.reload();
    endResetModel();
    if (failure) tell(*failure);
}

void LayoutTableModel::tell(const std::string& message) const {
    if (refuse_ && !message.empty()) refuse_(fromUtf8(message));
}

void LayoutTableModel::showChange(app::LayoutRows::Change change, int row) {
    using Change = app::LayoutRows::Change;
    switch (change) {
        case Change::None:
            break;
        case Change::Row:
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
            break;
        case Change::AllCells:
            // The same rows in another order (a No was changed): the grid keeps its place and
            // its current cell, and only the cells redraw.
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
            break;
        case Change::AllRows:
            beginResetModel();
            endResetModel();
            break;
    }
}

int LayoutTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_.rowCount();
}

int LayoutTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_.columnCount();
}

QVariant LayoutTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) {
        return fromUtf8(rows_.text(index.row(), index.column()));
    }
    if (role == Qt::TextAlignmentRole && rows_.isWholeNumberColumn(index.column())) {
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

bool LayoutTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid()) return false;
    const app::LayoutRows::EditOutcome outcome =
        rows_.setText(index.row(), index.column(), value.toString().toStdString());
    if (outcome.accepted) showChange(outcome.change, index.row());
    tell(outcome.message);
    return outcome.accepted;
}

bool LayoutTableModel::insertRows(int, int count, const QModelIndex& parent) {
    if (parent.isValid() || count != 1) return false;
    const app::LayoutRows::EditOutcome outcome = rows_.insertRow();
    if (outcome.accepted) showChange(outcome.change, 0);
    tell(outcome.message);
    return outcome.accepted;
}

bool LayoutTableModel::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || count != 1) return false;
    const app::LayoutRows::EditOutcome outcome = rows_.removeRow(row);
    if (outcome.accepted) showChange(outcome.change, row);
    tell(outcome.message);
    return outcome.accepted;
}

}  // namespace app::window
