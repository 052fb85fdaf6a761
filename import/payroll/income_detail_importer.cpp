#include "import/payroll/income_detail_importer.h"

#include "layout/criteria.h"
#include "layout/layout_rows.h"
#include "layout/line_progress.h"
#include "report/report_error.h"
#include "text/language_error.h"

namespace importers::payroll {

std::string detailLookupStatement(const std::string& sKind, const std::string& sEmpNo,
                                  const layout::PayItemKey& key) {
    std::string table;
    if (sKind == "PM") {
        table = "[Data Master Detail]";
    } else if (sKind == "PD") {
        table = "[Data Variant Detail]";
    } else {
        throw text::languageError(report::errnum::kInvalidProcedureCall);
    }
    const std::string statement = "SELECT " + table + ".* " + "FROM " + table + " " + "WHERE (((" +
                                  table + ".[Employee#])='" + sEmpNo + "') AND " + "((" + table +
                                  ".[Type for])='" + key.typeFor + "') AND " + "((" + table +
                                  ".Type)='" + key.type + "') AND " + "((" + table + ".Code)='" +
                                  key.code + "'));";
    for (const std::string* value : {&sEmpNo, &key.typeFor, &key.type, &key.code}) {
        layout::checkQuotable(*value, statement);
    }
    return statement;
}

bool ImportToPMPD(form::Form& form, const std::string& sData, const std::string& sDelimiter,
                  const std::string& sKind) {
    form::MainWindowPort& window = form.window;
    std::string sEmpNo;
    jet::Currency amount{0};  // the amount last converted, named in the error report
    try {
        window.setMousePointer(form::kPointerHourglass);
        const std::vector<std::string> pieces = layout::splitLine(sData, sDelimiter);

        data::Recordset& layoutRows = form.adcStructure.recordset();
        layout::moveToLayoutRow(layoutRows, 1);
        layout::noteColumn(form, layoutRows, pieces);
        sEmpNo = layout::layoutColumn(layoutRows, pieces);

        layout::showLineProgress(form, sEmpNo);

        const long rowCount = layoutRows.RecordCount();
        for (long row = 1; row < rowCount; ++row) {
            layoutRows.MoveNext();
            layout::noteColumn(form, layoutRows, pieces);
            amount = layout::amountOfColumn(layout::layoutColumn(layoutRows, pieces));
            if (amount.units == 0) continue;
            const layout::PayItemKey key =
                layout::cutPayItemKey(layout::layoutToFieldName(layoutRows));
            form.adcDestination.RecordSource = detailLookupStatement(sKind, sEmpNo, key);
            form.adcDestination.Refresh();
            data::Recordset& detail = form.adcDestination.recordset();
            // An amount of a pay item the employee has no row of has nowhere to go.
            if (detail.EOF()) {
                ++form.lineCounts.amountsDropped;
                continue;
            }
            detail.setField("Amount", amount);
            detail.Update();
            ++form.lineCounts.amountsWritten;
        }

        window.setMousePointer(form::kPointerDefault);
        return true;
    } catch (...) {
        window.setMousePointer(form::kPointerDefault);
        layout::showFailedLine(form, sData);
        report::ReportError("frmMain", "ImportToPMPD() > รหัส " + sEmpNo + ", จำนวน " +
                                           layout::currencyToText(amount));
        return false;
    }
}

}  // namespace importers::payroll
