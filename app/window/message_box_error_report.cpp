#include "app/window/message_box_error_report.h"

#include <QApplication>
#include <QMessageBox>

#include "app/window/thai_message_box.h"

namespace app::window {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

std::function<void(const QString&)>& pathNoticeSink() {
    static std::function<void(const QString&)> sink;
    return sink;
}

}  // namespace

QString MessageBoxErrorReport::text() const {
    return fromUtf8(app::errorReportText(values_));
}

QString MessageBoxErrorReport::pathNotice() const {
    return fromUtf8(app::pathNotice(values_));
}

void MessageBoxErrorReport::report() {
    const QString notice = pathNotice();
    if (!notice.isEmpty() && pathNoticeSink()) {
        pathNoticeSink()(notice);
        return;
    }
    if (!app::firstShowing(values_)) return;
    // The busy pointer of an interrupted procedure must not hide the box's buttons.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(QMessageBox::Critical, fromUtf8(app::kErrorReportTitle), text(),
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
