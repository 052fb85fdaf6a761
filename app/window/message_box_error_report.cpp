#include "app/window/message_box_error_report.h"

#include <QApplication>
#include <QMessageBox>

namespace app::window {

namespace {
QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}
}  // namespace

QString MessageBoxErrorReport::text() const {
    return QStringLiteral("Error number: %1\nDescription: %2\nSource: %3\nOwner: %4\nContext: %5")
        .arg(number_)
        .arg(fromUtf8(description_), fromUtf8(source_), fromUtf8(owner_), fromUtf8(context_));
}

void MessageBoxErrorReport::report() {
    // The busy pointer of an interrupted procedure must not hide the box's buttons.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error report"), text(), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("errorReport"));
    box.exec();
    if (busy) QApplication::restoreOverrideCursor();
}

void registerMessageBoxErrorReport() {
    report::registerComponent(report::kErrorReportClassId,
                              [] { return std::make_unique<MessageBoxErrorReport>(); });
}

}  // namespace app::window
