// LayoutRows: one layout table of ImportData.mdb, as a layout grid shows and edits it, whatever
// toolkit draws the grid.
//
// The rows (in the order of the record source, ascending No) are read in the grid's columns when
// reload() is called, after the data control was refreshed, and kept; the grid never reaches the
// database itself.
//
// Edits go to the database at once through a LayoutRowStore, one row at a time. A cell the table
// cannot hold is refused before anything is written: No and FieldNo must be whole numbers (an
// empty FieldNo is allowed: the row is then not part of the file), and No must be unique. A
// refusal, or a write the database refuses, comes back as the message to show and leaves the
// table as it was.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "jet/value.h"

namespace app {

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

struct LayoutColumn {
    std::string caption;
    std::string field;
};

// Text of a cell value as the grid shows it: numbers in decimal, texts as they are, null empty.
std::string cellText(const jet::Value& value);

class LayoutRows {
  public:
    explicit LayoutRows(std::vector<LayoutColumn> columns) : columns_(std::move(columns)) {}

    const std::vector<LayoutColumn>& columns() const { return columns_; }
    // The store to show; nullptr shows no rows. Not owned. Call reload() after.
    void setStore(LayoutRowStore* store) { store_ = store; }
    // Whether rows can be changed: a store is set and its table open.
    bool isEditable() const;

    int rowCount() const { return static_cast<int>(rows_.size()); }
    int columnCount() const { return static_cast<int>(columns_.size()); }
    const jet::Value& value(int row, int column) const { return rows_[row][column]; }
    std::string text(int row, int column) const { return cellText(value(row, column)); }
    // No and FieldNo: shown right-aligned, edited as whole numbers.
    bool isWholeNumberColumn(int column) const;

    // Reads every row again. A failure to read leaves no rows; its message is returned.
    std::optional<std::string> reload();

    // What an edit changed in the rows the grid shows.
    enum class Change { None, Row, AllCells, AllRows };
    struct EditOutcome {
        bool accepted = false;  // false: nothing was stored
        Change change = Change::None;
        std::string message;  // to tell the user, when not empty: a refusal or a failed reread
    };
    // Validates the text of one cell and stores it. The same value again is accepted, unstored.
    EditOutcome setText(int row, int column, const std::string& text);
    // Adds one row: No one above the highest No, FieldNo 0, texts empty. Rows are read again.
    EditOutcome insertRow();
    EditOutcome removeRow(int row);

  private:
    std::optional<std::vector<std::vector<jet::Value>>> readRows(std::string& error);
    int columnOf(const std::string& field) const;

    std::vector<LayoutColumn> columns_;
    LayoutRowStore* store_ = nullptr;
    std::vector<std::vector<jet::Value>> rows_;
};

}  // namespace app
