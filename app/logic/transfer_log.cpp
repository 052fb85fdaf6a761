#include "app/logic/transfer_log.h"

#include <cstdio>
#include <fstream>

#include "form/frm_main_design.h"
#include "form/main_window_port.h"
#include "report/report_error.h"

namespace app {

namespace {

constexpr const char* kKindTitles[] = {"โอนประวัติพนักงาน", "โอนข้อมูล [Data Calc]", "โอนข้อมูลเงินเดือน PM",
                                       "โอนข้อมูลเงินเดือน PD"};

std::string number(long value) {
    return std::to_string(value);
}

std::string durationText(double seconds) {
    char text[64];
    if (seconds < 60) {
        std::snprintf(text, sizeof text, "%.1f วินาที", seconds);
    } else {
        const long whole = static_cast<long>(seconds + 0.5);
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld ชม.", whole / 3600, whole / 60 % 60,
                      whole % 60);
    }
    return text;
}

std::string outcomeText(const form::TransferResult& result) {
    switch (result.outcome) {
        case form::TransferOutcome::Completed:
            if (result.check) {
                return result.failures.empty()
                           ? "ตรวจสอบไฟล์แล้ว ทุกบรรทัดโอนได้ (ฐานข้อมูลไม่เปลี่ยนแปลง)"
                           : "ตรวจสอบไฟล์แล้ว มี " + number(long(result.failures.size())) +
                                 " บรรทัดที่โอนไม่ได้ (ฐานข้อมูลไม่เปลี่ยนแปลง)";
            }
            return "โอนข้อมูลเสร็จเรียบร้อย";
        case form::TransferOutcome::LineFailed:
            return "โอนข้อมูลไม่สำเร็จที่บรรทัด " + number(result.failedLine) +
                   " (บรรทัดก่อนหน้าโอนแล้ว บรรทัดนี้ไม่ได้บันทึก)";
        case form::TransferOutcome::Stopped:
            return "หยุดโอนข้อมูลเพราะปิดโปรแกรม หลังบรรทัด " + number(result.linesRead);
        case form::TransferOutcome::Aborted:
            return "การโอนข้อมูลหยุดที่บรรทัด " + number(result.failedLine) + " (บรรทัดก่อนหน้าโอนแล้ว)";
        case form::TransferOutcome::Running:
            return "กำลังโอนข้อมูล";
        case form::TransferOutcome::None:
            break;
    }
    return "";
}

}  // namespace

std::vector<std::string> resultLines(const form::TransferResult& result) {
    std::vector<std::string> lines;
    if (result.outcome == form::TransferOutcome::None) return lines;
    const int kind = result.kind >= 0 && result.kind <= 3 ? result.kind : 0;
    lines.push_back(std::string(kKindTitles[kind]) + ": " + outcomeText(result));
    lines.push_back("อ่าน " + number(result.linesRead) + " บรรทัด, โอนแล้ว " +
                    number(result.linesTransferred) + " บรรทัด");
    const form::TransferCounts& counts = result.counts;
    if (kind == 0) {
        lines.push_back("พนักงานใหม่ " + number(counts.employeesCreated) + " คน, ปรับปรุง " +
                        number(counts.employeesUpdated) + " คน");
    } else if (kind == 1) {
        lines.push_back("ลบแถวเดิม " + number(counts.rowsDeleted) + " แถว, เขียนแถวใหม่ " +
                        number(counts.rowsWritten) + " แถว");
    } else {
        lines.push_back("บันทึกจำนวนเงิน " + number(counts.amountsWritten) + " รายการ, ไม่ได้บันทึก " +
                        number(counts.amountsDropped) + " รายการ (พนักงานไม่มีรายการเงินนั้น)");
    }
    lines.push_back("เวลาที่ใช้ " + durationText(result.seconds));
    for (std::string& line : failureLines(result)) lines.push_back(std::move(line));
    if (!result.undoNote.empty()) lines.push_back(result.undoNote);
    return lines;
}

std::vector<std::string> lineFailureLines(const form::LineFailure& failure) {
    std::vector<std::string> lines;
    lines.push_back("บรรทัดที่ " + number(failure.line) + ": '" + failure.text + "'");
    const form::LayoutColumnNote& column = failure.column;
    if (!column.fieldName.empty() || column.layoutNo != 0) {
        lines.push_back("คอลัมน์: แถวที่ " + number(column.layoutNo) + " ของรูปแบบ, ฟิลด์ " +
                        column.fieldName + ", ค่า '" + column.value + "'");
    }
    lines.push_back("สาเหตุ: " + failure.reason);
    return lines;
}

std::vector<std::string> failureLines(const form::TransferResult& result) {
    std::vector<std::string> lines;
    for (const form::LineFailure& failure : result.failures) {
        for (std::string& line : lineFailureLines(failure)) lines.push_back(std::move(line));
    }
    if (result.outcome == form::TransferOutcome::LineFailed ||
        result.outcome == form::TransferOutcome::Aborted) {
        const form::LineFailure failure{result.failedLine, result.failedText, result.failedColumn,
                                        result.reason};
        for (std::string& line : lineFailureLines(failure)) lines.push_back(std::move(line));
    }
    return lines;
}

CheckFileMessage checkFileMessage(const form::TransferResult& result) {
    CheckFileMessage message;
    if (!result.check || result.outcome == form::TransferOutcome::None) return message;
    const std::vector<std::string> lines = resultLines(result);
    message.show = true;
    message.text = lines.front();
    message.title = std::string(form::kCheckFileCaption);
    message.style = result.failures.empty() ? form::kMsgOkOnly : form::kMsgCritical;
    // A box taller than the screen hides its own button: a few failures, then how many more.
    constexpr size_t kShownFailures = 5;
    size_t shown = 0;
    for (const form::LineFailure& failure : result.failures) {
        if (shown++ == kShownFailures) {
            message.text += "\n\nและอีก " + number(long(result.failures.size() - kShownFailures)) +
                            " บรรทัด (ดูทั้งหมดในช่องผลการโอน)";
            break;
        }
        message.text += "\n";
        for (const std::string& line : lineFailureLines(failure)) message.text += "\n" + line;
    }
    return message;
}

void appendTransferLog(const std::filesystem::path& folder, const form::TransferResult& result) {
    if (folder.empty()) return;
    try {
        std::ofstream out(folder / "transfers.log", std::ios::binary | std::ios::app);
        out << report::localDateTime() << '\n';
        for (const std::string& line : resultLines(result)) out << "  " << line << '\n';
        out << '\n';
    } catch (...) {
    }
}

}  // namespace app
