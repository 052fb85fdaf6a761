#include "app/logic/error_report_text.h"

#include <filesystem>
#include <set>
#include <tuple>

#include "report/thai_reason.h"

namespace app {

namespace {

// The folder of the file a description names between quotes ("Could not find file '…'."), in
// this system's separators; empty when it names none.
std::string quotedFolder(const std::string& description) {
    const size_t open = description.find('\'');
    const size_t close = description.rfind('\'');
    if (open == std::string::npos || close <= open) return {};
    std::string path = description.substr(open + 1, close - open - 1);
    // The stored path may mix the separators of two platforms; the user reads one.
    const char separator = static_cast<char>(std::filesystem::path::preferred_separator);
    for (char& c : path) {
        if (c == '\\' || c == '/') c = separator;
    }
    const size_t slash = path.rfind(separator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string errorReportText(const ErrorReportValues& values) {
    return report::thaiReason(values.number, values.description) +
           "\n\nError number: " + std::to_string(values.number) +
           "\nDescription: " + values.description + "\nSource: " + values.source +
           "\nOwner: " + values.owner + "\nContext: " + values.context;
}

std::string pathNotice(const ErrorReportValues& values) {
    if (values.context == "txtDir(1)_Change") {
        return "ที่อยู่ไฟล์ Melvar.mdb ยังไม่ครบ: พิมพ์ชื่อเต็มของไฟล์ หรือเลือกไฟล์ด้วยปุ่มข้างช่อง";
    }
    if (values.context != "OpenLayoutTable()") return {};
    const std::string folder = quotedFolder(values.description);
    if (values.number == 3024 || values.number == 3044) {
        return "ไม่พบ ImportData.mdb ในโฟลเดอร์ " + folder +
               "\nตรวจที่อยู่ไฟล์ Melvar.mdb หรือเลือกไฟล์ด้วยปุ่มข้างช่อง";
    }
    return "เปิด ImportData.mdb ในโฟลเดอร์ " + folder +
           " ไม่ได้: " + report::thaiReason(values.number, values.description);
}

bool firstShowing(const ErrorReportValues& values) {
    static std::set<std::tuple<int32_t, std::string, std::string, std::string>> shown;
    return shown.insert({values.number, values.description, values.owner, values.context}).second;
}

}  // namespace app
