#include "app/logic/undo_action.h"

#include <filesystem>

#include "app/logic/transfer_undo.h"
#include "form/frm_main_design.h"
#include "jet/path_text.h"

namespace app {

namespace {

std::filesystem::path databaseFile(const std::string& databasePath) {
    if (databasePath.empty()) return {};
    std::error_code ec;
    const std::filesystem::path path = jet::pathFromUtf8(databasePath);
    return std::filesystem::is_regular_file(path, ec) ? path : std::filesystem::path();
}

}  // namespace

bool undoAvailable(const std::string& databasePath) {
    const std::filesystem::path db = databaseFile(databasePath);
    return !db.empty() && lastUndoableTransfer(db).number != 0;
}

UndoOffer undoOffer(const std::string& databasePath) {
    UndoOffer offer;
    offer.title = std::string(form::kUndoTransferCaption);
    const std::filesystem::path db = databaseFile(databasePath);
    if (db.empty()) {
        offer.refusal = "ไม่มีไฟล์ฐานข้อมูล " + databasePath;
        return offer;
    }
    const KeptTransfer last = lastUndoableTransfer(db);
    const std::string why = whyNotUndoable(db, last);
    if (!why.empty()) {
        offer.refusal = "ยกเลิกการโอนครั้งล่าสุดไม่ได้\n" +
                        (last.number ? describeTransfer(last) + ": " : std::string()) + why;
        return offer;
    }
    offer.available = true;
    offer.question = "ยกเลิกการโอนครั้งล่าสุดหรือไม่?\n\nการโอน: " + last.field("kind") +
                     "\nไฟล์: " + last.field("text file") + "\nเมื่อ: " + last.field("when") +
                     "\nโอนแล้ว " + last.field("lines transferred") + " บรรทัด (" +
                     last.field("counts") + ")\n\nฐานข้อมูลจะกลับเป็นเหมือนก่อนการโอนครั้งนี้";
    return offer;
}

UndoAnswer undoAgreed(const std::string& databasePath) {
    UndoAnswer answer;
    const std::filesystem::path db = databaseFile(databasePath);
    if (db.empty()) {
        answer.message = "ไม่มีไฟล์ฐานข้อมูล " + databasePath;
        return answer;
    }
    const UndoReport report = undoLastTransfer(db);
    answer.undone = report.undone;
    answer.message =
        (report.undone ? "ยกเลิกการโอนเรียบร้อยแล้ว\n" : "ยกเลิกการโอนไม่ได้ ฐานข้อมูลไม่เปลี่ยนแปลง\n") +
        report.message;
    return answer;
}

}  // namespace app
