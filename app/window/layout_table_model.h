// LayoutTableModel: one layout table of ImportData.mdb, as a layout grid shows and edits it.
//
// The model shows the table's rows (in the order of its record source, ascending No) in the grid's
// columns: a caption, the field shown and a width each. It reads every row when reload() is
// called, after its data control was refreshed, and keeps them; the view never reaches the
// database itself.
//
// Edits go to the database at once through a LayoutRowStore, one row at a time. A cell the table
// cannot hold is refused before anything is written: No and FieldNo must be whole numbers (an
// empty FieldNo is allowed: the row is then not part of the file), and No must be unique. A
// refusal, or a write the database refuses, is told through the refusal handler and leaves the
// table as it was.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "jet/value.h"

namespace app::window {

// The rows of one layout table, read and written one at a time. Row numbers are positions in the
// order rows() returned them.
class LayoutRowStore {
  public:
    virtual ~LayoutRowStore() = default;
    // Whether the table is open (its data control has a record set).
    virtual bool isOpen() const = 0;
    // The name of the table, for messages.
    virtual std::string tableName() const = 0;
    // Every row's values of `fields`, in that order.
    virtual std::vector<std::vector<jet::Value>> rows(const std::vector<std::string>& fields) = 0;
    // Each stores the change at once or throws (report::RunTimeError) having stored nothing.
    virtual void setValue(int row, const std::string& field, const jet::Value& value) = 0;
    virtual void addRow(const std::vector<std::pair<std::string, jet::Value>>& values) = 0;
    virtual void deleteRow(int row) = 0;
};

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
    std::optional<std::vector<std::vector<jet::Value>>> readRows();
    void tellReadFailure();
    // After one cell of `row` was stored: the rows again, without a reset of the view.
    void rereadAfterEdit(int row);
    bool isWholeNumberField(int column) const;
    int columnOf(const std::string& field) const;
    void tell(const QString& message) const;

    std::vector<GridColumn> columns_;
    LayoutRowStore* store_ = nullptr;
    std::vector<std::vector<jet::Value>> rows_;
    RefusalHandler refuse_;
    QString readError_;
};

// Text of a cell value as the grid shows it: numbers in decimal, texts as they are, null empty.
QString cellText(const jet::Value& value);

}  // namespace app::window
