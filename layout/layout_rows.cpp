#include "layout/layout_rows.h"

#include "layout/line_mapping.h"

namespace layout {

void moveToLayoutRow(data::Recordset& rows, int no) {
    rows.MoveFirst();
    rows.Find("No=" + std::to_string(no));
}

long layoutFieldNo(const data::Recordset& rows) {
    return data::valueToLong(rows.field("FieldNo"));
}

std::string layoutToFieldName(const data::Recordset& rows) {
    return data::valueToText(rows.field("ToFieldName"));
}

jet::Value layoutFormat(const data::Recordset& rows) {
    return rows.field("sFormat");
}

const std::string& layoutColumn(const data::Recordset& rows,
                                const std::vector<std::string>& pieces) {
    return columnText(pieces, layoutFieldNo(rows));
}

}  // namespace layout
