// Behaviour of frmMain: start-up, shut-down and the window's event handlers.
#include "app/window/frm_main.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cmath>

#include "app/window/common_dialog.h"
#include "app/window/layout_table_model.h"
#include "app/window/logic_links.h"
#include "app/window/path_field.h"
#include "app/window/tab_control.h"
#include "app/window/twips.h"
#include "layout/language_error.h"
#include "report/report_error.h"

#ifndef VELTRA_VERSION_MAJOR
#error "the build gives the program's version as VELTRA_VERSION_MAJOR, _MINOR and _REVISION"
#endif

namespace app::window {

namespace {

constexpr const char* kOwner = "frmMain";

QString fromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), text.size());
}

// The stored current tab as a 16-bit integer, converted as the platform converts a text to a
// whole number: blanks around it ignored, a decimal fraction rounded half to even.
int16_t tabSettingToInteger(const std::string& text) {
    const QString trimmed = fromUtf8(text).trimmed();
    bool ok = false;
    const double number = trimmed.toDouble(&ok);
    if (!ok || trimmed.isEmpty() || !std::isfinite(number)) {
        throw layout::languageError(report::errnum::kTypeMismatch);
    }
    const double rounded = std::nearbyint(number);  // the default rounding mode: half to even
    if (rounded < -32768.0 || rounded > 32767.0)
        throw layout::languageError(report::errnum::kOverflow);
    return static_cast<int16_t>(rounded);
}

}  // namespace

QString versionText(int major, int minor, int revision) {
    return QStringLiteral("Version.%1.%2.%3").arg(major).arg(minor).arg(revision);
}

FrmMain::FrmMain(const QString& programFolder, QWidget* parent)
    : QWidget(parent),
      programFolder_(programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                             : programFolder),
      port_(*this),
      form_(port_) {
    createControls();
    connectHandlers();
}

FrmMain::~FrmMain() = default;

void FrmMain::connectHandlers() {
    for (int16_t i = 0; i < 2; ++i) {
        connect(cmdSelectDir_[i], &QPushButton::clicked, this,
                [this, i] { cmdSelectDir_Click(i); });
        connect(txtDir_[i], &QPlainTextEdit::textChanged, this, [this, i] { txtDir_Changed(i); });
    }
    for (int16_t i = 0; i < 4; ++i) {
        connect(cmdTransfer_[i], &QPushButton::clicked, this, [this, i] { cmdTransfer_Click(i); });
    }
    connect(cmdExit_, &QPushButton::clicked, this, &FrmMain::cmdExit_Click);
    txtCompanyCode_->installEventFilter(this);
}

std::string FrmMain::settingsFile() const {
    return links::settingsFilePath(form_.globals.ProgramFolder);
}

void FrmMain::Form_Load() {
    try {
        lblVersion_->setText(
            versionText(VELTRA_VERSION_MAJOR, VELTRA_VERSION_MINOR, VELTRA_VERSION_REVISION));
        // The designed box is narrower than the text; it grows to the right, where the window
        // has room, so the whole version can be read.
        lblVersion_->resize(qMax(lblVersion_->width(), lblVersion_->sizeHint().width()),
                            lblVersion_->height());
        form_.globals.ProgramFolder = programFolder_.toStdString();
        report::setErrorLogFolder(form_.globals.ProgramFolder);

        form_.globals.CurrentCompanyCode =
            links::ReadINI(settingsFile(), "Settings", "CompanyCode", "Sample");
        txtCompanyCode_->setText(fromUtf8(form_.globals.CurrentCompanyCode));

        // Before any grid reads a database: what an interrupted transfer left is put right.
        bool setAside = false;
        const std::string recovered =
            links::recoverDatabases(settingsFile(), form_.globals.CurrentCompanyCode, setAside);
        if (!recovered.empty()) {
            port_.messageBox(recovered, setAside ? kMsgCritical : kMsgOkOnly,
                             "VELTRA Transfer: database recovery");
        }

        links::ReadDefaultINI(form_);
        links::OpenLayoutTable(form_);
        refreshGrids();

        const int16_t tab =
            tabSettingToInteger(links::ReadINI(settingsFile(), "Settings", "SSTab1", "0"));
        if (tab < 0 || tab >= SSTab1_->count()) {
            throw layout::languageError(380, "Invalid property value");
        }
        SSTab1_->setCurrentIndex(tab);
    } catch (...) {
        report::ReportError(kOwner, "Form_Load()");
    }
}

void FrmMain::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    try {
        links::SaveDefaultINI(form_);
    } catch (...) {
        report::ReportError(kOwner, "Form_Unload()");
    }
}

void FrmMain::closeEvent(QCloseEvent* event) {
    // Unloading is never refused.
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
        links::ReadDefaultINI(form_);
    } catch (...) {
        report::ReportError(kOwner, "txtCompanyCode_LostFocus()");
    }
}

void FrmMain::cmdTransfer_Click(int16_t index) {
    // The transfer yields to the event loop once per line, so a button can be clicked again
    // while it runs; such a click is ignored.
    if (form_.transferRunning) return;
    links::cmdTransfer_Click(form_, index);
}

void FrmMain::txtDir_Changed(int16_t index) {
    const QString text = txtDir_[index]->text();
    if (text == lastDirText_[index]) return;
    lastDirText_[index] = text;
    links::txtDir_Change(form_, index);
    if (index == 1) refreshGrids();
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

void FrmMain::fitStatusLabel(Label label) {
    QLabel* widget = labelWidget(label);
    const int designed = twipsToPixels(1380);
    const int room = cmdExit_->x() - widget->x() - twipsToPixels(120);
    widget->resize(qBound(designed, widget->sizeHint().width(), room), widget->height());
}

QWidget* FrmMain::fieldWidget(Field field) const {
    switch (field) {
        case Field::CompanyCode:
            return txtCompanyCode_;
        case Field::TextFile:
            return txtDir_[0];
        case Field::Database:
            return txtDir_[1];
        case Field::Delimiter:
            return txtDelimiter_;
        case Field::Year:
            return txtYear_;
        case Field::Period:
            return txtPeriod_;
        case Field::BankCode:
            return txtBankCode_;
    }
    return nullptr;
}

QLabel* FrmMain::labelWidget(Label label) const {
    switch (label) {
        case Label::ProcessStatus:
            return lblProcessStatus_;
        case Label::RecordCount:
            return lblRecordCount_;
        case Label::UseTime:
            return lblUseTime_;
    }
    return nullptr;
}

}  // namespace app::window
