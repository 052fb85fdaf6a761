#include "layout/line_progress.h"

#include <chrono>
#include <ctime>

#include "jet/local_time.h"
#include "layout/elapsed_time.h"

namespace layout {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

}  // namespace

jet::DateTime currentDateTime() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    const std::tm local = jet::localTime(seconds);
    const int64_t days = daysFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) -
                         daysFromCivil(1899, 12, 30);
    const double secondOfDay =
        local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + millis / 1000.0;
    return jet::DateTime{static_cast<double>(days) + secondOfDay / 86400.0};
}

jet::DateTime nowOf(const app::Form& form) {
    return form.now ? form.now() : currentDateTime();
}

void showLineProgress(app::Form& form, const std::string& employeeCode) {
    app::MainWindowPort& window = form.window;
    window.setLabelCaption(app::Label::ProcessStatus, "กำลังโอนข้อมูล รหัส: " + employeeCode);
    window.setLabelCaption(app::Label::UseTime,
                           "เวลาที่ใช้ " + elapsedTimeText(form.dStartTime, nowOf(form)));
    window.setLabelCaption(app::Label::RecordCount,
                           "จำนวนข้อมูลที่อ่านได้ " + std::to_string(form.iLineCount) + " คน");
    window.yield();
}

void showFailedLine(app::Form& form, const std::string& sData) {
    form.window.setLabelCaption(app::Label::ProcessStatus, "ข้อมูลสุดท้ายที่อ่านได้ '" + sData + "'");
}

}  // namespace layout
