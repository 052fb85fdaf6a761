#include "app/window/layout_grid.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>

#include "app/window/layout_table_model.h"

namespace app::window {

LayoutGrid::LayoutGrid(LayoutTableModel* model, QWidget* parent)
    : QTableView(parent), model_(model) {
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setMinimumWidth(16);
    applyColumnWidths();
    // A reset (every reload) keeps the widths the design gives.
    connect(model_, &QAbstractItemModel::modelReset, this, &LayoutGrid::applyColumnWidths);
}

void LayoutGrid::applyColumnWidths() {
    const auto& columns = model_->columns();
    for (size_t i = 0; i < columns.size(); ++i) {
        setColumnWidth(static_cast<int>(i), columns[i].width);
    }
}

bool LayoutGrid::addRow() {
    if (!model_->insertRows(model_->rowCount(), 1)) return false;
    // The new row has the highest No, so it is the last one.
    setCurrentIndex(model_->index(model_->rowCount() - 1, 0));
    return true;
}

bool LayoutGrid::deleteCurrentRow() {
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return false;
    return model_->removeRows(current.row(), 1);
}

bool LayoutGrid::confirmDelete() {
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return false;
    const QString no = model_->index(current.row(), 0).data().toString();
    return QMessageBox::question(
               this, QStringLiteral("ImportData.mdb"), QStringLiteral("ลบแถว No %1 ?").arg(no),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

void LayoutGrid::keyPressEvent(QKeyEvent* event) {
    if (state() != QAbstractItemView::EditingState) {
        if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
            addRow();
            return;
        }
        if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
            if (confirmDelete()) deleteCurrentRow();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

void LayoutGrid::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex at = indexAt(viewport()->mapFromGlobal(event->globalPos()));
    if (at.isValid()) setCurrentIndex(at);
    QMenu menu(this);
    QAction* add = menu.addAction(QStringLiteral("เพิ่มแถว\tInsert"));
    QAction* remove = menu.addAction(QStringLiteral("ลบแถว\tCtrl+Delete"));
    add->setEnabled(model_->isEditable());
    remove->setEnabled(model_->isEditable() && currentIndex().isValid());
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == add) {
        addRow();
    } else if (chosen == remove && confirmDelete()) {
        deleteCurrentRow();
    }
}

}  // namespace app::window
