// Behaviour of frmMain: start-up, shut-down and the window's event handlers.
#include "app/window/frm_main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>

#include "app/logic/recovery.h"
#include "app/logic/transfer_command.h"
#include "app/logic/transfer_log.h"
#include "app/logic/undo_action.h"
#include "app/logic/window_actions.h"
#include "app/logic/window_session.h"
#include "app/window/common_dialog.h"
#include "app/window/layout_table_model.h"
#include "app/window/message_box_error_report.h"
#include "app/window/path_field.h"
#include "app/window/tab_control.h"
#include "app/window/thai_message_box.h"
#include "app/window/twips.h"
#include "data_sources/data_sources.h"
#include "form/frm_main_design.h"
#include "report/report_error.h"
#include "settings/default_ini.h"

#ifndef VELTRA_VERSION_MAJOR
#error "the build gives the program's version as VELTRA_VERSION_MAJOR, _MINOR and _REVISION"
#endif

namespace app::window {

namespace {

constexpr const char* kOwner = "frmMain";

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

}  // namespace

QString versionText(int major, int minor, int revision) {
    return fromUtf8(app::versionText(major, minor, revision));
}

FrmMain::FrmMain(const QString& programFolder, QWidget* parent)
    : QWidget(parent),
      programFolder_(programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                             : programFolder),
      port_(*this),
      form_(port_) {
    createControls();
    connectHandlers();
    setPathNoticeSink([this](const QString& notice) { setNotice(kNoticePath, notice); });
}

FrmMain::~FrmMain() {
    setPathNoticeSink({});
}

void FrmMain::connectHandlers() {
    for (int16_t i = 0; i < 2; ++i) {
        connect(cmdSelectDir_[i], &QPushButton::clicked, this,
                [this, i] { cmdSelectDir_Click(i); });
        connect(txtDir_[i], &QPlainTextEdit::textChanged, this, [this, i] { txtDir_Changed(i); });
    }
    for (int16_t i = 0; i < 4; ++i) {
        connect(cmdTransfer_[i], &QPushButton::clicked, this, [this, i] { cmdTransfer_Click(i); });
        connect(cmdCheckFile_[i], &QPushButton::clicked, this,
                [this, i] { cmdCheckFile_Click(i); });
    }
    connect(cmdExit_, &QPushButton::clicked, this, &FrmMain::cmdExit_Click);
    connect(cmdUndoTransfer_, &QPushButton::clicked, this, &FrmMain::cmdUndoTransfer_Click);
    connect(cmdCompact_, &QPushButton::clicked, this, &FrmMain::cmdCompact_Click);
    txtCompanyCode_->installEventFilter(this);
}

void FrmMain::Form_Load() {
    lblVersion_->setText(
        versionText(VELTRA_VERSION_MAJOR, VELTRA_VERSION_MINOR, VELTRA_VERSION_REVISION));
    // The designed box is narrower than the text; it grows to the right, where the window has
    // room, so the whole version can be read.
    lblVersion_->resize(qMax(lblVersion_->width(), lblVersion_->sizeHint().width()),
                        lblVersion_->height());
    app::loadWindow(form_, programFolder_.toStdString(), [this] {
        refreshGrids();
        refreshUndoButton();
    });
}

void FrmMain::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    app::unloadWindow(form_);
}

void FrmMain::closeEvent(QCloseEvent* event) {
    if (form_.transferRunning) {
        // Asked before the window unloads (unloading itself is never refused): the lines done
        // stay, the rest of the file is not transferred.
        event->ignore();
        if (!closeAfterTransfer_ &&
            askYesNo(this, QStringLiteral("โอนข้อมูลไป VELTRA Payroll"),
                     QStringLiteral("กำลังโอนข้อมูลอยู่ ต้องการหยุดและปิดโปรแกรมหรือไม่?\n"
                                    "บรรทัดที่โอนแล้วจะยังอยู่ในฐานข้อมูล บรรทัดที่เหลือจะไม่ถูกโอน"))) {
            closeAfterTransfer_ = true;
            form_.stopRequested = true;
        }
        return;
    }
    Form_Unload();
    event->accept();
}

void FrmMain::cmdExit_Click() {
    close();
}

void FrmMain::cmdSelectDir_Click(int16_t index) {
    try {
        cdl1_->setFileName(txtDir_[index]->text());
        cdl1_->ShowOpen();
        txtDir_[index]->setText(cdl1_->fileName());
    } catch (...) {
        report::ReportError(kOwner, "cmdSelectDir_Click");
    }
}

void FrmMain::txtCompanyCode_LostFocus() {
    try {
        form_.globals.CurrentCompanyCode = txtCompanyCode_->text().toStdString();
        settings::ReadDefaultINI(form_);
    } catch (...) {
        report::ReportError(kOwner, "txtCompanyCode_LostFocus()");
    }
}

void FrmMain::cmdTransfer_Click(int16_t index) {
    // The transfer yields to the event loop once per line, so a button can be clicked again
    // while it runs: the buttons stay live, and such a click is refused where the user sees it.
    if (form_.transferRunning) {
        setNotice(kNoticeBusy, QStringLiteral("กำลังโอนข้อมูลอยู่: ยังเริ่มการโอนอื่นไม่ได้ "
                                              "กดปุ่มอีกครั้งเมื่อการโอนนี้เสร็จ"));
        return;
    }
    transferClock_.start();
    prgTransfer_->setValue(0);
    prgTransfer_->setFormat(QStringLiteral("%p%"));
    prgTransfer_->show();
    app::cmdTransfer_Click(form_, index);
    prgTransfer_->hide();
    setNotice(kNoticeBusy, QString());
    showResult();
    refreshUndoButton();
    if (closeAfterTransfer_) close();
}

void FrmMain::cmdCheckFile_Click(int16_t index) {
    app::checkFile(form_, port_, [this, index] { cmdTransfer_Click(index); });
}

void FrmMain::cmdUndoTransfer_Click() {
    const auto ask = [this](const std::string& title, const std::string& question) {
        return askYesNo(this, fromUtf8(title), fromUtf8(question));
    };
    if (app::undoLastTransfer(form_, port_, ask)) refreshGrids();
    refreshUndoButton();
}

void FrmMain::refreshUndoButton() {
    cmdUndoTransfer_->setEnabled(app::undoAvailable(txtDir_[1]->text().toStdString()));
}

void FrmMain::cmdCompact_Click() {
    // The window repaints while the compact runs but takes no input: no transfer can start and
    // nothing else can open the database until it is done.
    app::compactDatabase(
        form_, port_,
        [this](const std::string& title, const std::string& question) {
            return askYesNo(this, fromUtf8(title), fromUtf8(question));
        },
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

void FrmMain::showTransferProgress() {
    const form::TransferResult& result = form_.result;
    if (!form_.transferRunning || result.fileBytes == 0) return;
    const double share =
        static_cast<double>(result.bytesRead) / static_cast<double>(result.fileBytes);
    prgTransfer_->setValue(static_cast<int>(share * prgTransfer_->maximum()));
    // The time left, at the pace so far; told once a little of the file gives the pace.
    if (share < 0.01 || share >= 1.0) return;
    const double left =
        static_cast<double>(transferClock_.elapsed()) / 1000.0 * (1.0 - share) / share;
    const long seconds = static_cast<long>(left + 0.5);
    prgTransfer_->setFormat(seconds < 60
                                ? QStringLiteral("%p%  เหลือ %1 วินาที").arg(seconds)
                                : QStringLiteral("%p%  เหลือ %1 นาที").arg((seconds + 59) / 60));
}

void FrmMain::showResult() {
    // A transfer refused by its tests ran no line: the last result stays.
    if (form_.result.outcome == form::TransferOutcome::None) return;
    QStringList lines;
    for (const std::string& line : app::resultLines(form_.result)) lines << fromUtf8(line);
    resultPanel_->setPlainText(lines.join(QLatin1Char('\n')));
}

void FrmMain::setNotice(Notice notice, const QString& text) {
    notices_[notice] = text;
    QStringList shown;
    for (const QString& each : notices_) {
        if (!each.isEmpty()) shown << each;
    }
    lblNotice_->setText(shown.join(QLatin1Char('\n')));
}

void FrmMain::txtDir_Changed(int16_t index) {
    const QString text = txtDir_[index]->text();
    if (text == lastDirText_[index]) return;
    lastDirText_[index] = text;
    // A notice of the last path goes; the path now in the field tells its own.
    if (index == 1) setNotice(kNoticePath, QString());
    data_sources::txtDir_Change(form_, index);
    if (index == 1) {
        refreshGrids();
        refreshUndoButton();
    }
}

void FrmMain::refreshGrids() {
    for (LayoutTableModel* model : gridModels_) model->reload();
}

bool FrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtCompanyCode_ && event->type() == QEvent::FocusOut) {
        // Only a move of the focus to another control of the window: not a switch to another
        // window or a popup menu.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            txtCompanyCode_LostFocus();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void FrmMain::fitStatusLabel(form::Label label) {
    QLabel* widget = labelWidget(label);
    const int designed = twipsToPixels(1380);
    const int room = cmdExit_->x() - widget->x() - twipsToPixels(120);
    widget->resize(qBound(designed, widget->sizeHint().width(), room), widget->height());
}

QWidget* FrmMain::fieldWidget(form::Field field) const {
    switch (field) {
        case form::Field::CompanyCode:
            return txtCompanyCode_;
        case form::Field::TextFile:
            return txtDir_[0];
        case form::Field::Database:
            return txtDir_[1];
        case form::Field::Delimiter:
            return txtDelimiter_;
        case form::Field::Year:
            return txtYear_;
        case form::Field::Period:
            return txtPeriod_;
        case form::Field::BankCode:
            return txtBankCode_;
    }
    return nullptr;
}

QLabel* FrmMain::labelWidget(form::Label label) const {
    switch (label) {
        case form::Label::ProcessStatus:
            return lblProcessStatus_;
        case form::Label::RecordCount:
            return lblRecordCount_;
        case form::Label::UseTime:
            return lblUseTime_;
    }
    return nullptr;
}

}  // namespace app::window
