#include "app/window/message_box_error_report.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <set>
#include <tuple>

#include "app/window/thai_message_box.h"
#include "report/thai_reason.h"

namespace app::window {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

std::function<void(const QString&)>& pathNoticeSink() {
    static std::function<void(const QString&)> sink;
    return sink;
}

// Boxes already shown in this run.
std::set<std::tuple<int32_t, std::string, std::string, std::string>>& shownBoxes() {
    static std::set<std::tuple<int32_t, std::string, std::string, std::string>> shown;
    return shown;
}

// The folder of the file a description names between quotes ("Could not find file '…'."), in
// the platform's separators; empty when it names none.
QString quotedFolder(const QString& description) {
    const qsizetype open = description.indexOf(QLatin1Char('\''));
    const qsizetype close = description.lastIndexOf(QLatin1Char('\''));
    if (open < 0 || close <= open) return {};
    QString path = description.mid(open + 1, close - open - 1);
    // The stored path may mix the separators of two platforms; the user reads one.
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return QDir::toNativeSeparators(slash < 0 ? QString() : path.left(slash));
}

}  // namespace

QString MessageBoxErrorReport::text() const {
    return fromUtf8(report::thaiReason(number_, description_)) +
           QStringLiteral(
               "\n\nError number: %1\nDescription: %2\nSource: %3\nOwner: %4\nContext: %5")
               .arg(number_)
               .arg(fromUtf8(description_), fromUtf8(source_), fromUtf8(owner_),
                    fromUtf8(context_));
}

QString MessageBoxErrorReport::pathNotice() const {
    if (context_ == "txtDir(1)_Change") {
        return QStringLiteral("ที่อยู่ไฟล์ Melvar.mdb ยังไม่ครบ: พิมพ์ชื่อเต็มของไฟล์ หรือเลือกไฟล์ด้วยปุ่มข้างช่อง");
    }
    if (context_ != "OpenLayoutTable()") return {};
    const QString folder = quotedFolder(fromUtf8(description_));
    if (number_ == 3024 || number_ == 3044) {
        return QStringLiteral(
                   "ไม่พบ ImportData.mdb ในโฟลเดอร์ %1\nตรวจที่อยู่ไฟล์ Melvar.mdb หรือเลือกไฟล์ด้วยปุ่มข้างช่อง")
            .arg(folder);
    }
    return QStringLiteral("เปิด ImportData.mdb ในโฟลเดอร์ %1 ไม่ได้: %2")
        .arg(folder, fromUtf8(report::thaiReason(number_, description_)));
}

void MessageBoxErrorReport::report() {
    const QString notice = pathNotice();
    if (!notice.isEmpty() && pathNoticeSink()) {
        pathNoticeSink()(notice);
        return;
    }
    if (!shownBoxes().insert({number_, description_, owner_, context_}).second) return;
    // The busy pointer of an interrupted procedure must not hide the box's buttons.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("รายงานข้อผิดพลาด"), text(),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setObjectName(QStringLiteral("errorReport"));
    prepareThaiMessageBox(box);
    box.exec();
    if (busy) QApplication::restoreOverrideCursor();
}

void registerMessageBoxErrorReport() {
    report::registerComponent(report::kErrorReportClassId,
                              [] { return std::make_unique<MessageBoxErrorReport>(); });
}

void setPathNoticeSink(std::function<void(const QString& notice)> sink) {
    pathNoticeSink() = std::move(sink);
}

}  // namespace app::window
