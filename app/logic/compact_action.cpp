#include "app/logic/compact_action.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "jet/compact.h"
#include "jet/error.h"
#include "jet/path_text.h"

namespace app {

namespace fs = std::filesystem;

namespace {

const char* const kTitle = "บีบอัดฐานข้อมูล Compact";

}  // namespace

std::string sizeText(uint64_t bytes) {
    char text[32];
    if (bytes >= 1048576)
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1048576.0);
    else
        std::snprintf(text, sizeof text, "%llu KB",
                      static_cast<unsigned long long>((bytes + 1023) / 1024));
    return text;
}

CompactQuestion compactQuestion(const std::string& database, bool transferRunning) {
    CompactQuestion q;
    q.title = kTitle;
    if (transferRunning) {
        q.text =
            "กำลังโอนข้อมูลอยู่: บีบอัดฐานข้อมูลได้เมื่อการโอนเสร็จแล้ว\n"
            "A transfer is running: compact the database once it has finished.";
        return q;
    }
    std::error_code ec;
    const fs::path path = jet::pathFromUtf8(database);
    if (database.empty() || !fs::is_regular_file(path, ec)) {
        q.text = "ไม่พบไฟล์ฐานข้อมูล " + database +
                 "\nNo database file to compact: choose Melvar.mdb first.";
        return q;
    }
    q.mayCompact = true;
    q.text = "บีบอัดฐานข้อมูล " + database + " (" + sizeText(fs::file_size(path, ec)) +
             ") ตอนนี้หรือไม่?\n"
             "ไฟล์เดิมจะถูกเก็บไว้จนกว่าไฟล์ใหม่จะผ่านการตรวจสอบ\n"
             "Compact the database now? The old file is kept until the new one has been checked.";
    return q;
}

CompactOutcome compactPayrollDatabase(const std::string& database,
                                      const std::function<void(const std::string&)>& progress) {
    CompactOutcome out;
    out.title = kTitle;
    try {
        const jet::CompactResult r = jet::compactInPlace(jet::pathFromUtf8(database), progress);
        out.compacted = true;
        out.sizeBefore = r.sizeBefore;
        out.sizeAfter = r.sizeAfter;
        out.text = "บีบอัดฐานข้อมูลเสร็จเรียบร้อยแล้ว\nCompacted.\nก่อน Before: " + sizeText(r.sizeBefore) +
                   "\nหลัง After: " + sizeText(r.sizeAfter);
        for (const std::string& kept : r.keptAsStored)
            out.text += "\nคัดลอกตามเดิม Copied as stored: " + kept;
    } catch (const std::exception& e) {
        out.text = std::string(
                       "บีบอัดฐานข้อมูลไม่สำเร็จ ฐานข้อมูลยังเป็นเหมือนเดิม\n"
                       "The database was not compacted and is as it was.\n") +
                   e.what();
    }
    return out;
}

}  // namespace app
