// DataControlRowStore: a layout grid's rows, read and written through its data control.
//
// The data control's record set (all rows of one layout table, ascending No) is read from its
// first row to its last; a change is made on the row at the same position and stored at once
// with Update, an added row with AddNew and Update. A change the database refuses is cancelled,
// so the record set holds no pending row, and the error goes to the caller. After every change
// the record set is run again, so positions follow the table's order.
#pragma once

#include <string>

#include "app/logic/layout_rows.h"
#include "data/data_control.h"

namespace app {

class DataControlRowStore : public LayoutRowStore {
  public:
    // `control` outlives the store.
    DataControlRowStore(data::DataControl& control, std::string tableName)
        : control_(control), tableName_(std::move(tableName)) {}

    bool isOpen() const override { return control_.hasRecordset(); }
    std::string tableName() const override { return tableName_; }
    std::vector<std::vector<jet::Value>> rows(const std::vector<std::string>& fields) override;
    void setValue(int row, const std::string& field, const jet::Value& value) override;
    void addRow(const std::vector<std::pair<std::string, jet::Value>>& values) override;
    void deleteRow(int row) override;

  private:
    data::DataControl& control_;
    std::string tableName_;
};

}  // namespace app
