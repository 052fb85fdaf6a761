// LayoutGrid: a data grid over a LayoutTableModel.
//
// Shows the model's columns with their captions and widths, and lets the user edit a cell in
// place, add a row (Insert key, or the context menu) and delete the current row (Ctrl+Delete, or
// the context menu, after a yes/no question). The model writes every change at once. Columns
// fit the grid's width; Tab leaves the grid.
#pragma once

#include <QTableView>

namespace app::window {

class LayoutTableModel;

class LayoutGrid : public QTableView {
    Q_OBJECT

  public:
    explicit LayoutGrid(LayoutTableModel* model, QWidget* parent = nullptr);

    LayoutTableModel* layoutModel() const { return model_; }

    // Adds a row and makes its first cell current; false when the model refused.
    bool addRow();
    // Deletes the current row without asking; false when there is none or the model refused.
    bool deleteCurrentRow();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void updateGeometries() override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void applyColumnWidths();
    bool confirmDelete();

    LayoutTableModel* model_;
    bool fitting_ = false;
};

}  // namespace app::window
