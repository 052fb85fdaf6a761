#include "import/payroll/income_detail_importer.h"

#include <string_view>

#include "layout/criteria.h"
#include "layout/layout_rows.h"
#include "layout/line_progress.h"
#include "report/report_error.h"
#include "text/language_error.h"

namespace importers::payroll {

std::string detailLookupStatement(const std::string& sKind, const std::string& sEmpNo,
                                  const layout::PayItemKey& key) {
    std::string_view table;
    if (sKind == "PM") {
        table = "[Data Master Detail]";
    } else if (sKind == "PD") {
        table = "[Data Variant Detail]";
    } else {
        throw text::languageError(report::errnum::kInvalidProcedureCall);
    }
    // Built in one buffer: this runs for every amount of every line.
    std::string statement;
    statement.reserve(256);
    for (std::string_view part : {std::string_view("SELECT "),
                                  table,
                                  std::string_view(".* FROM "),
                                  table,
                                  std::string_view(" WHERE ((("),
                                  table,
                                  std::string_view(".[Employee#])='"),
                                  std::string_view(sEmpNo),
                                  std::string_view("') AND (("),
                                  table,
                                  std::string_view(".[Type for])='"),
                                  std::string_view(key.typeFor),
                                  std::string_view("') AND (("),
                                  table,
                                  std::string_view(".Type)='"),
                                  std::string_view(key.type),
                                  std::string_view("') AND (("),
                                  table,
                                  std::string_view(".Code)='"),
                                  std::string_view(key.code),
                                  std::string_view("'));")})
        statement += part;
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
