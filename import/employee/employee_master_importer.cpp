#include "import/employee/employee_master_importer.h"

#include <vector>

#include "import/employee/employee_field_rules.h"
#include "layout/criteria.h"
#include "layout/layout_rows.h"
#include "layout/line_mapping.h"
#include "layout/line_progress.h"
#include "report/report_error.h"

namespace importers::employee {

namespace {

// The current row of the destination record set as an EmployeeRecord.
class CurrentRecord : public EmployeeRecord {
  public:
    explicit CurrentRecord(data::Recordset& recordset) : recordset_(recordset) {}
    jet::Value field(const std::string& name) const override { return recordset_.field(name); }
    void setField(const std::string& name, const jet::Value& value) override {
        recordset_.setField(name, value);
    }

  private:
    data::Recordset& recordset_;
};

void applyLayoutRow(EmployeeRecord& record, const data::Recordset& layoutRows,
                    const std::string& toFieldName, const std::vector<std::string>& pieces) {
    const LineColumn column{pieces, layout::layoutFieldNo(layoutRows)};
    if (toFieldName == "Sex") {
        applySexRule(record, column);
    } else if (toFieldName == "Status") {
        applyStatusRule(record, column);
    } else if (isCodedField(toFieldName)) {
        applyCodedFieldRule(record, toFieldName, column);
    } else if (isDateField(toFieldName)) {
        applyDateRule(record, toFieldName, layout::layoutFormat(layoutRows), column);
    } else if (isDependantField(toFieldName)) {
        applyDependantRule(record, toFieldName, column);
    } else {
        applyPlainRule(record, toFieldName, column);
    }
}

}  // namespace

bool ImportToEmployeeMaster(form::Form& form, const std::string& sData,
                            const std::string& sDelimiter) {
    form::MainWindowPort& window = form.window;
    std::string sEmpNo;
    data::Recordset* layoutRows = nullptr;
    data::Recordset* destination = nullptr;
    try {
        window.setMousePointer(form::kPointerHourglass);
        const std::vector<std::string> pieces = layout::splitLine(sData, sDelimiter);

        layoutRows = &form.adcStructure.recordset();
        layout::moveToLayoutRow(*layoutRows, 2);
        layout::noteColumn(form, *layoutRows, pieces);
        sEmpNo = layout::layoutColumn(*layoutRows, pieces);

        layout::showLineProgress(form, sEmpNo);

        destination = &form.adcDestination.recordset();
        // An empty table (both end flags set) has nothing to search. The count is asked rather
        // than the flags, which also hold after the cursor ran past the last row.
        if (destination->RecordCount() > 0) {
            const std::string criterion = "[Employee#]='" + sEmpNo + "'";
            layout::checkQuotable(sEmpNo, criterion);
            destination->MoveFirst();
            destination->Find(criterion);
        }
        const bool created = destination->EOF();
        if (created) {
            destination->AddNew();
            destination->setField("Employee#", sEmpNo);
        }
        CurrentRecord record(*destination);
        record.setField("Company Code", "CC");
        record.setField("Entered by", "Import");
        record.setField("Default Fix income form", "PM01");
        record.setField("Default Var income form", "PD01");

        const long rowCount = layoutRows->RecordCount();
        for (long row = 0; row < rowCount; ++row) {
            const std::string toFieldName = layout::layoutToFieldName(*layoutRows);
            layout::noteColumn(form, *layoutRows, pieces);
            applyLayoutRow(record, *layoutRows, toFieldName, pieces);
            layoutRows->MoveNext();
        }

        form.currentColumn = {};  // the completion rules read no column of the line
        applyCompletionRules(record, window.fieldText(form::Field::BankCode));
        destination->Update();
        ++(created ? form.lineCounts.employeesCreated : form.lineCounts.employeesUpdated);

        window.setMousePointer(form::kPointerDefault);
        return true;
    } catch (...) {
        const report::RunTimeError error = report::currentError();
        // The pending record of a failed line is never saved.
        layout::dropPendingRow(destination);
        window.setMousePointer(form::kPointerDefault);
        layout::showFailedLine(form, sData);
        // With no current layout row (no row 2, or after the walk) the field name is empty.
        std::string fieldName;
        if (layoutRows != nullptr) {
            try {
                if (!layoutRows->EOF() && !layoutRows->BOF()) {
                    fieldName = layout::layoutToFieldName(*layoutRows);
                }
            } catch (...) {
            }
        }
        report::ReportError(error, "frmMain",
                            "ImportToEmployeeMaster()\r\nรหัส: " + sEmpNo +
                                ",  ชื่อฟิล์ด: " + fieldName + "\r\nข้อผิดพลาด: " + error.description());
        return false;
    }
}

}  // namespace importers::employee
