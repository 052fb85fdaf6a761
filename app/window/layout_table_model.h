// LayoutTableModel: one layout table of ImportData.mdb, as a Qt layout grid shows and edits it.
//
// The rows, their reading, the checks of an edited cell and the writes are app::LayoutRows',
// shared with every window; this model shows them in the grid's columns (a caption, the field
// shown and a width each) and tells a refusal through the refusal handler.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/logic/layout_rows.h"
#include "jet/value.h"

namespace app::window {

using LayoutRowStore = app::LayoutRowStore;

struct GridColumn {
    QString caption;
    std::string field;
    int width = 0;  // pixels
};

class LayoutTableModel : public QAbstractTableModel {
    Q_OBJECT

  public:
    using RefusalHandler = std::function<void(const QString& message)>;

    explicit LayoutTableModel(std::vector<GridColumn> columns, QObject* parent = nullptr);

    const std::vector<GridColumn>& columns() const { return columns_; }

    // The store to show; nullptr shows no rows. Not owned.
    void setStore(LayoutRowStore* store);
    void setRefusalHandler(RefusalHandler handler) { refuse_ = std::move(handler); }

    // Whether rows can be changed: a store is set and its table open.
    bool isEditable() const;

    // Reads every row again from the store. A failure to read shows no rows and is told.
    void reload();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Validates and writes one cell; false when refused.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Adds one row (only count 1): No one above the highest No, FieldNo 0, texts empty.
    bool insertRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

  private:
    void tell(const std::string& message) const;
    // After an edit was stored: the rows again, keeping the view's place where rows stayed.
    void showChange(app::LayoutRows::Change change, int row);

    std::vector<GridColumn> columns_;
    app::LayoutRows rows_;
    RefusalHandler refuse_;
};

// Text of a cell value as the grid shows it: numbers in decimal, texts as they are, null empty.
QString cellText(const jet::Value& value);

}  // namespace app::window
