#include "app/logic/data_control_row_store.h"

namespace app {

std::vector<std::vector<jet::Value>> DataControlRowStore::rows(
    const std::vector<std::string>& fields) {
    data::Recordset& recordset = control_.recordset();
    std::vector<std::vector<jet::Value>> result;
    if (recordset.RecordCount() == 0) return result;
    for (recordset.MoveFirst(); !recordset.EOF(); recordset.MoveNext()) {
        std::vector<jet::Value> row;
        row.reserve(fields.size());
        for (const std::string& field : fields) row.push_back(recordset.field(field));
        result.push_back(std::move(row));
    }
    return result;
}

void DataControlRowStore::setValue(int row, const std::string& field, const jet::Value& value) {
    data::Recordset& recordset = control_.recordset();
    recordset.setPosition(row);
    try {
        recordset.setField(field, value);
        recordset.Update();
    } catch (...) {
        recordset.CancelUpdate();
        throw;
    }
    recordset.Requery();
}

void DataControlRowStore::addRow(const std::vector<std::pair<std::string, jet::Value>>& values) {
    data::Recordset& recordset = control_.recordset();
    recordset.AddNew();
    try {
        for (const auto& [field, value] : values) recordset.setField(field, value);
        recordset.Update();
    } catch (...) {
        recordset.CancelUpdate();
        throw;
    }
    recordset.Requery();
}

void DataControlRowStore::deleteRow(int row) {
    data::Recordset& recordset = control_.recordset();
    recordset.setPosition(row);
    recordset.Delete();
    recordset.Requery();
}

}  // namespace app
