#include "app/window/qt_main_window_port.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>

#include "app/window/frm_main.h"
#include "app/window/path_field.h"
#include "app/window/tab_control.h"
#include "app/window/thai_message_box.h"

namespace app::window {

namespace {

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

// Pending events are handled at most this often during a transfer.
constexpr qint64 kYieldIntervalMs = 16;

}  // namespace

QtMainWindowPort::~QtMainWindowPort() {
    if (busy_) QApplication::restoreOverrideCursor();
}

std::string QtMainWindowPort::fieldText(form::Field field) const {
    QWidget* widget = window_.fieldWidget(field);
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text().toStdString();
    if (auto* path = qobject_cast<PathField*>(widget)) return path->text().toStdString();
    return {};
}

void QtMainWindowPort::setFieldText(form::Field field, const std::string& text) {
    QWidget* widget = window_.fieldWidget(field);
    // A path field emits its change, which runs the window's path-change handling.
    if (auto* line = qobject_cast<QLineEdit*>(widget)) line->setText(fromUtf8(text));
    if (auto* path = qobject_cast<PathField*>(widget)) path->setText(fromUtf8(text));
}

std::string QtMainWindowPort::labelCaption(form::Label label) const {
    return window_.labelWidget(label)->text().toStdString();
}

void QtMainWindowPort::setLabelCaption(form::Label label, const std::string& caption) {
    window_.labelWidget(label)->setText(fromUtf8(caption));
    unfittedLabels_ |= 1u << static_cast<unsigned>(label);
    // Fitted once the event loop runs: at the next yield, or when the work returns to it.
    if (!fitPosted_) {
        fitPosted_ = true;
        QMetaObject::invokeMethod(
            &window_, [this] { fitChangedLabels(); }, Qt::QueuedConnection);
    }
}

void QtMainWindowPort::fitChangedLabels() {
    fitPosted_ = false;
    for (form::Label label :
         {form::Label::ProcessStatus, form::Label::RecordCount, form::Label::UseTime}) {
        if (unfittedLabels_ & (1u << static_cast<unsigned>(label))) window_.fitStatusLabel(label);
    }
    unfittedLabels_ = 0;
}

void QtMainWindowPort::setMousePointer(int pointer) {
    const bool busy = pointer == form::kPointerHourglass;
    if (busy == busy_) return;
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
    busy_ = busy;
}

void QtMainWindowPort::messageBox(const std::string& prompt, int style, const std::string& title) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (style == form::kMsgCritical) icon = QMessageBox::Critical;
    if (style == form::kMsgQuestion) icon = QMessageBox::Question;
    QString text = fromUtf8(prompt);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    fitChangedLabels();  // the labels behind the box show their whole captions
    QMessageBox box(icon, fromUtf8(title), text, QMessageBox::Ok, &window_);
    box.setObjectName(QStringLiteral("messageBox"));
    prepareThaiMessageBox(box);
    // The hourglass belongs to the work, not to the box the user must answer.
    if (busy_) QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy_) QApplication::restoreOverrideCursor();
}

void QtMainWindowPort::yield() {
    if (sinceYield_.isValid() && sinceYield_.elapsed() < kYieldIntervalMs) return;
    fitChangedLabels();
    window_.showTransferProgress();
    QCoreApplication::processEvents();
    sinceYield_.start();
}

int QtMainWindowPort::currentTab() const {
    return window_.tabControl()->currentIndex();
}

void QtMainWindowPort::setCurrentTab(int tab) {
    window_.tabControl()->setCurrentIndex(tab);
}

}  // namespace app::window
