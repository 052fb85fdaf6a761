#include "app/window/layout_grid.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>

#include "app/window/layout_table_model.h"
#include "app/window/thai_message_box.h"

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
    // Tab and Shift+Tab move to the next control, not through every cell; arrows walk the cells.
    setTabKeyNavigation(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    applyColumnWidths();
    // A reset (every reload) keeps the widths the design gives.
    connect(model_, &QAbstractItemModel::modelReset, this, &LayoutGrid::applyColumnWidths);
}

void LayoutGrid::applyColumnWidths() {
    if (fitting_) return;
    fitting_ = true;
    const auto& columns = model_->columns();
    // The designed widths, unless they overrun the room left by the vertical scroll bar: then
    // the widest column gives way, so that the last (the position in the line) stays in view.
    int total = 0;
    size_t widest = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        total += columns[i].width;
        if (columns[i].width > columns[widest].width) widest = i;
    }
    // The room is worked out from the grid's own size, which the design fixes, so the columns
    // are right before the grid is first laid out too.
    const bool scrollBar =
        verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn ||
        (verticalScrollBarPolicy() == Qt::ScrollBarAsNeeded && verticalScrollBar()->maximum() > 0);
    const int room = width() - 2 * frameWidth() - verticalHeader()->width() -
                     (scrollBar ? verticalScrollBar()->sizeHint().width() : 0);
    for (size_t i = 0; i < columns.size(); ++i) {
        int width = columns[i].width;
        if (i == widest && total > room && testAttribute(Qt::WA_Resized))
            width = qMax(40, width - (total - room));
        setColumnWidth(static_cast<int>(i), width);
    }
    fitting_ = false;
}

void LayoutGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    applyColumnWidths();
}

void LayoutGrid::updateGeometries() {
    QTableView::updateGeometries();
    // The scroll bar comes and goes with the rows; the columns follow the room it leaves.
    applyColumnWidths();
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
    return askYesNo(this, QStringLiteral("ImportData.mdb"),
                    QStringLiteral("ลบแถว No %1 ?").arg(no));
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
