#include "import/payroll/data_calc_importer.h"

#include "data_sources/data_sources.h"
#include "layout/criteria.h"
#include "layout/layout_rows.h"
#include "layout/line_mapping.h"
#include "layout/line_progress.h"
#include "report/report_error.h"

namespace importers::payroll {

namespace {

// Deletes every [Data Calc] row of the employee when the destination holds any, through a
// connection of its own, and re-runs the destination's query so the rows disappear from it.
// Returns the number of rows deleted.
long deleteEarlierRows(data::Recordset& destination, data::Connection& connection,
                       const std::string& sEmpNo, const std::string& sDbPath) {
    if (destination.RecordCount() <= 0) return 0;
    const std::string criterion = "[Employee#]='" + sEmpNo + "'";
    layout::checkQuotable(sEmpNo, criterion);
    destination.MoveFirst();
    destination.Find(criterion);
    if (destination.EOF()) return 0;
    connection.Open(data_sources::connectionTextFor(sDbPath));
    const long deleted =
        connection.Execute("DELETE * FROM [Data Calc] WHERE [Employee#]='" + sEmpNo + "'");
    connection.Close();
    destination.Requery();
    return deleted;
}

}  // namespace

bool ImportToDataCalc(form::Form& form, const std::string& sData, const std::string& sDelimiter,
                      const std::string& sDbPath) {
    form::MainWindowPort& window = form.window;
    data::Recordset* destination = nullptr;
    try {
        window.setMousePointer(form::kPointerHourglass);
        const std::vector<std::string> pieces = layout::splitLine(sData, sDelimiter);
        data::Connection connection;

        data::Recordset& layoutRows = form.adcStructure.recordset();
        layout::moveToLayoutRow(layoutRows, 1);
        layout::noteColumn(form, layoutRows, pieces);
        const std::string sEmpNo = layout::layoutColumn(layoutRows, pieces);

        layout::showLineProgress(form, sEmpNo);

        destination = &form.adcDestination.recordset();
        form.lineCounts.rowsDeleted += deleteEarlierRows(*destination, connection, sEmpNo, sDbPath);

        layoutRows.MoveFirst();
        const long rowCount = layoutRows.RecordCount();
        for (long row = 2; row <= rowCount; ++row) {
            layoutRows.MoveNext();
            layout::noteColumn(form, layoutRows, pieces);
            const jet::Currency amount =
                layout::amountOfColumn(layout::layoutColumn(layoutRows, pieces));
            if (amount.units == 0) continue;
            const layout::PayItemKey key =
                layout::cutPayItemKey(layout::layoutToFieldName(layoutRows));
            destination->AddNew();
            destination->setField("Company Code", "CC");
            destination->setField("Employee#", sEmpNo);
            destination->setField("Year", window.fieldText(form::Field::Year));
            destination->setField("Period", window.fieldText(form::Field::Period));
            destination->setField("Type for", key.typeFor);
            destination->setField("Type", key.type);
            destination->setField("Code", key.code);
            destination->setField("Amount", amount);
            destination->Update();
            ++form.lineCounts.rowsWritten;
        }

        window.setMousePointer(form::kPointerDefault);
        return true;
    } catch (...) {
        // A row whose fields were not all set is never stored.
        layout::dropPendingRow(destination);
        window.setMousePointer(form::kPointerDefault);
        layout::showFailedLine(form, sData);
        report::ReportError("frmMain", "ImportToDataCalc()");
        return false;
    }
}

}  // namespace importers::payroll
