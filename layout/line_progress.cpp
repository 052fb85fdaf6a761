#include "layout/line_progress.h"

#include <chrono>
#include <ctime>

#include "data/conversion.h"
#include "jet/local_time.h"
#include "layout/layout_rows.h"
#include "report/report_error.h"
#include "text/elapsed_time.h"

namespace layout {

jet::DateTime currentDateTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    const std::tm local = jet::localTime(seconds);
    const int64_t days = jet::daysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) -
                         jet::daysFromCivil(1899, 12, 30);
    const double secondOfDay = local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec +
                               static_cast<double>(millis) / 1000.0;
    return jet::DateTime{static_cast<double>(days) + secondOfDay / 86400.0};
}

jet::DateTime nowOf(const form::Form& form) {
    return form.now ? form.now() : currentDateTime();
}

void showLineProgress(form::Form& form, const std::string& employeeCode) {
    form::MainWindowPort& window = form.window;
    window.setLabelCaption(form::Label::ProcessStatus, "กำลังโอนข้อมูล รหัส: " + employeeCode);
    window.setLabelCaption(form::Label::UseTime,
                           "เวลาที่ใช้ " + text::elapsedTimeText(form.dStartTime, nowOf(form)));
    window.setLabelCaption(form::Label::RecordCount,
                           "จำนวนข้อมูลที่อ่านได้ " + std::to_string(form.iLineCount) + " คน");
    window.yield();
}

void noteColumn(form::Form& form, const data::Recordset& rows,
                const std::vector<std::string>& pieces) {
    // Only a note: what cannot be read stays empty, and the importer meets the error itself.
    form::LayoutColumnNote& note = form.currentColumn;
    note = {};
    try {
        note.layoutNo = data::valueToLong(rows.field("No"));
        note.fieldName = layoutToFieldName(rows);
        note.value = layoutColumn(rows, pieces);
    } catch (...) {
    }
}

void showFailedLine(form::Form& form, const std::string& sData) {
    const report::RunTimeError error = report::currentError();
    form.result.failedText = sData;
    form.result.failedColumn = form.currentColumn;
    form.result.errorNumber = error.number();
    form.result.errorDescription = error.description();
    form.window.setLabelCaption(form::Label::ProcessStatus, "ข้อมูลสุดท้ายที่อ่านได้ '" + sData + "'");
}

void dropPendingRow(data::Recordset* destination) noexcept {
    if (destination == nullptr) return;
    try {
        destination->CancelUpdate();
    } catch (...) {
    }
}

}  // namespace layout
