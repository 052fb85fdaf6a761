// Construction of frmMain: every control at its place, with its initial contents. Positions are
// the design's twips; controls on a tab are placed relative to SSTab1's top-left corner.
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>

#include "app/window/common_dialog.h"
#include "app/window/data_control_row_store.h"
#include "app/window/file_button_picture.h"
#include "app/window/frm_main.h"
#include "app/window/layout_grid.h"
#include "app/window/layout_table_model.h"
#include "app/window/path_field.h"
#include "app/window/tab_control.h"
#include "app/window/thai_fonts.h"
#include "app/window/twips.h"

namespace app::window {

namespace {

// Height of one row of tab headers: three rows stay clear of the controls below them.
constexpr int kTabRowHeight = 20;
constexpr int kTabsPerRow = 3;

const QColor kButtonFace(224, 224, 224);
const QColor kTransferButtonFace(192, 255, 192);

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

void setFaceColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Button, colour);
    widget->setPalette(palette);
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLineEdit* makeTextField(QWidget* parent, const char* name, const QString& text) {
    auto* field = new QLineEdit(text, parent);
    field->setObjectName(QString::fromLatin1(name));
    return field;
}

QString arrayName(const char* name, int index) {
    return QStringLiteral("%1_%2").arg(QString::fromLatin1(name)).arg(index);
}

}  // namespace

void FrmMain::createControls() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("โอนข้อมูล *.txt เข้า VELTRA Payroll"));
    setFont(windowDefaultFont());
    setFixedSize(twipsToPixels(10875), twipsToPixels(7470));
    // Nothing moves when the window changes size, so it offers no maximise button.
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    SSTab1_ = new TabControl(kTabsPerRow, kTabRowHeight, this);
    SSTab1_->setObjectName(QStringLiteral("SSTab1"));
    SSTab1_->setGeometry(twipsRect(120, 120, 8055, 5775));
    for (const char* caption :
         {"เลือกไฟล์", "โอนประวัติพนักงาน", "Employee Xtend 1", "โอนข้อมูลเงินเดือน PM", "โอนข้อมูลเงินเดือน PD",
          "Data Calc", "Data History"}) {
        SSTab1_->addTab(QString::fromUtf8(caption));
    }

    lblVersion_ = makeLabel(this, "lblVersion", QString());
    lblVersion_->setGeometry(twipsRect(8400, 120, 660, 300));
    setTextColour(lblVersion_, QColor(0, 0, 192));

    lblProcessStatus_ = makeLabel(this, "lblProcessStatus", QString());
    lblProcessStatus_->setGeometry(twipsRect(150, 6000, 1380, 300));
    setTextColour(lblProcessStatus_, QColor(0, 0, 128));

    lblRecordCount_ = makeLabel(this, "lblRecordCount", QString());
    lblRecordCount_->setGeometry(twipsRect(150, 6400, 1380, 300));
    setTextColour(lblRecordCount_, QColor(0, 0, 192));

    lblUseTime_ = makeLabel(this, "lblUseTime", QString());
    lblUseTime_->setGeometry(twipsRect(150, 6800, 1380, 300));
    setTextColour(lblUseTime_, QColor(0, 0, 255));

    // Beside the tabs, where the design leaves room: notices, and the lasting result of the last
    // transfer (the status labels clear when a transfer ends).
    lblNotice_ = makeLabel(this, "lblNotice", QString());
    lblNotice_->setGeometry(twipsRect(8280, 480, 2475, 1080));
    lblNotice_->setWordWrap(true);
    setTextColour(lblNotice_, QColor(160, 0, 0));
    resultPanel_ = new QPlainTextEdit(this);
    resultPanel_->setObjectName(QStringLiteral("resultPanel"));
    resultPanel_->setReadOnly(true);
    resultPanel_->setFocusPolicy(Qt::ClickFocus);
    resultPanel_->setGeometry(twipsRect(8280, 1980, 2475, 5140));
    prgTransfer_ = new QProgressBar(this);
    prgTransfer_->setObjectName(QStringLiteral("prgTransfer"));
    prgTransfer_->setGeometry(twipsRect(8280, 1620, 2475, 300));
    prgTransfer_->setRange(0, 1000);
    prgTransfer_->hide();
    QFont resultFont = resultPanel_->font();
    resultFont.setPointSizeF(resultFont.pointSizeF() * 0.9);
    resultPanel_->setFont(resultFont);

    cmdExit_ = new QPushButton(QStringLiteral("ออก E&xit"), this);
    cmdExit_->setObjectName(QStringLiteral("cmdExit"));
    cmdExit_->setGeometry(twipsRect(6100, 6720, 1700, 400));
    cmdExit_->setFont(tahoma12());
    setFaceColour(cmdExit_, kButtonFace);

    createCommonTab(SSTab1_->page(0));
    createTransferTabs();
    // At creation the employee-master tab is current; start-up selects the stored one.
    SSTab1_->setCurrentIndex(1);
}

void FrmMain::createCommonTab(QWidget* page) {
    auto place = [this](QWidget* control, int left, int top, int width, int height) {
        SSTab1_->placeOnTab(0, control, twipsRect(left, top, width, height));
    };

    QLabel* label6 = makeLabel(page, "Label6", QStringLiteral("รหัสบริษัท"));
    label6->setFont(msSansSerif12());
    place(label6, 200, 1125, 1095, 405);

    txtCompanyCode_ = makeTextField(page, "txtCompanyCode", QString());
    txtCompanyCode_->setFont(msSansSerif12());
    place(txtCompanyCode_, 1290, 1080, 2415, 420);

    const QString dirCaptions[2] = {QStringLiteral("ไฟล์ *.txt ที่ต้องการอ่าน"),
                                    QStringLiteral("ไฟล์ Melvar.mdb ที่ต้องการนำเข้า")};
    const QString buttonTips[2] = {QStringLiteral("เลือกไฟล์ส่งออก (Payroll)"),
                                   QStringLiteral("เลือกไฟล์ปลายทาง (DozaZaziraziri)")};
    const int labelTops[2] = {1740, 4020};
    const int fieldTops[2] = {2100, 4380};
    const QPixmap picture = fileButtonPicture();
    for (int i = 0; i < 2; ++i) {
        QLabel* caption = makeLabel(page, "lbl", dirCaptions[i]);
        caption->setObjectName(arrayName("lbl", i));
        caption->setFont(tahoma12());
        place(caption, 120, labelTops[i], 5055, 375);

        txtDir_[i] = new PathField(page);
        txtDir_[i]->setObjectName(arrayName("txtDir", i));
        txtDir_[i]->setFont(tahoma12());
        place(txtDir_[i], 120, fieldTops[i], 6255, 1185);

        cmdSelectDir_[i] = new QPushButton(page);
        cmdSelectDir_[i]->setObjectName(arrayName("cmdSelectDir", i));
        cmdSelectDir_[i]->setIcon(QIcon(picture));
        cmdSelectDir_[i]->setIconSize(picture.size());
        cmdSelectDir_[i]->setToolTip(buttonTips[i]);
        cmdSelectDir_[i]->setFont(tahoma12());
        setFaceColour(cmdSelectDir_[i], kButtonFace);
        place(cmdSelectDir_[i], 6420, fieldTops[i], 615, 525);
    }

    QLabel* label1 =
        makeLabel(page, "Label1", QStringLiteral("เครื่องหมายใช้คั่นข้อมูล  Seperate character"));
    place(label1, 120, 3405, 3255, 255);

    txtDelimiter_ = makeTextField(page, "txtDelimiter", QStringLiteral(","));
    txtDelimiter_->setFont(msSansSerif12(true));
    txtDelimiter_->setTextMargins(0, 0, 0, 0);
    txtDelimiter_->setAlignment(Qt::AlignCenter);
    place(txtDelimiter_, 3300, 3300, 255, 420);

    cdl1_ = new CommonDialog(this);
    cdl1_->setObjectName(QStringLiteral("cdl1"));

    // Tab order as the fields are read: company, text file, separator, database.
    setTabOrder(txtCompanyCode_, txtDir_[0]);
    setTabOrder(txtDir_[0], cmdSelectDir_[0]);
    setTabOrder(cmdSelectDir_[0], txtDelimiter_);
    setTabOrder(txtDelimiter_, txtDir_[1]);
    setTabOrder(txtDir_[1], cmdSelectDir_[1]);

    // Compacting the payroll database, on the row of the separator.
    cmdCompact_ = new QPushButton(QStringLiteral("บีบอัดฐานข้อมูล &Compact"), page);
    cmdCompact_->setObjectName(QStringLiteral("cmdCompact"));
    cmdCompact_->setFont(tahoma12());
    setFaceColour(cmdCompact_, kButtonFace);
    place(cmdCompact_, 4320, 3300, 2715, 420);
    setTabOrder(cmdSelectDir_[1], cmdCompact_);
}

QPushButton* FrmMain::createTransferButton(int tab, int16_t index, int left) {
    auto* button = new QPushButton(QStringLiteral("เริ่มนำเข้า &OK"), SSTab1_->page(tab));
    button->setObjectName(arrayName("cmdTransfer", index));
    button->setFont(tahoma12());
    setFaceColour(button, kTransferButtonFace);
    SSTab1_->placeOnTab(tab, button, twipsRect(left, 4980, 1700, 400));
    cmdTransfer_[index] = button;
    return button;
}

QTableView* FrmMain::createGrid(int tab, const char* name, int modelIndex, bool withFormat) {
    struct Source {
        data::DataControl form::Form::*control;
        const char* table;
    };
    static constexpr Source kSources[4] = {
        {&form::Form::adciEmployeeMaster, "iEmployee Master"},
        {&form::Form::adciDataCalc, "iData Calc"},
        {&form::Form::adciDataMasterDetail, "iDataMasterDetail"},
        {&form::Form::adciDataVariantDetail, "iDataVariantDetail"},
    };
    // Widths in twips: the employee grid is narrower for its fifth column.
    const int widths[2][5] = {{570, 2775, 2280, 1290, 0}, {495, 1500, 1500, 1290, 1515}};
    const int* width = widths[withFormat ? 1 : 0];
    std::vector<GridColumn> columns = {
        {QStringLiteral("No"), "No", twipsToPixels(width[0])},
        {QStringLiteral("ชื่อข้อมูล"), "FieldThaiName", twipsToPixels(width[1])},
        {QStringLiteral("ชื่อฟิล์ด"), "ToFieldName", twipsToPixels(width[2])},
        {QStringLiteral("ข้อมูลตำแหน่งที่"), "FieldNo", twipsToPixels(width[3])},
    };
    if (withFormat)
        columns.push_back({QStringLiteral("รูปแบบ"), "sFormat", twipsToPixels(width[4])});

    auto* model = new LayoutTableModel(std::move(columns), this);
    model->setRefusalHandler([this](const QString& message) {
        port_.messageBox(message.toStdString(), form::kMsgCritical, "ImportData.mdb");
    });
    gridModels_[modelIndex] = model;
    const Source& source = kSources[modelIndex];
    gridStores_[modelIndex] =
        std::make_unique<DataControlRowStore>(form_.*source.control, source.table);
    model->setStore(gridStores_[modelIndex].get());
    auto* grid = new LayoutGrid(model, SSTab1_->page(tab));
    grid->setObjectName(QString::fromLatin1(name));
    grid->setFont(gridFont());
    SSTab1_->placeOnTab(tab, grid, twipsRect(120, 1020, 7305, 3855));
    return grid;
}

void FrmMain::createTransferTabs() {
    // Tab 1: employee master.
    createGrid(1, "grdiEmployeeMaster", kGridEmployeeMaster, true);
    QLabel* bankLabel =
        makeLabel(SSTab1_->page(1), "lblBankCode", QStringLiteral("รหัสธนาคาร (เช่น 002)"));
    SSTab1_->placeOnTab(1, bankLabel, twipsRect(120, 5055, 1695, 255));
    txtBankCode_ = makeTextField(SSTab1_->page(1), "txtBankCode", QString());
    SSTab1_->placeOnTab(1, txtBankCode_, twipsRect(2000, 4980, 495, 375));
    createTransferButton(1, 0, 3120);

    // Tab 3: fixed income details (PM); tab 4: variable income details (PD).
    createGrid(3, "DataGrid1", kGridDataMasterDetail, false);
    createTransferButton(3, 2, 5640);
    createGrid(4, "DataGrid2", kGridDataVariantDetail, false);
    createTransferButton(4, 3, 5640);

    // Tab 5: calculation data.
    createGrid(5, "grdiDataCalc", kGridDataCalc, false);
    QWidget* calc = SSTab1_->page(5);
    SSTab1_->placeOnTab(5, makeLabel(calc, "Label2", QStringLiteral("ปี ค.ศ.")),
                        twipsRect(240, 4980, 500, 375));
    txtYear_ = makeTextField(calc, "txtYear_0", QStringLiteral("2005"));
    SSTab1_->placeOnTab(5, txtYear_, twipsRect(735, 4980, 500, 300));
    SSTab1_->placeOnTab(5, makeLabel(calc, "Label3", QStringLiteral("งวดที่")),
                        twipsRect(1470, 4980, 495, 375));
    txtPeriod_ = makeTextField(calc, "txtPeriod_0", QStringLiteral("4"));
    SSTab1_->placeOnTab(5, txtPeriod_, twipsRect(1965, 4980, 500, 300));
    createTransferButton(5, 1, 5760);

    // Access keys of the fields below the grids; the captions keep their designed size.
    addAccessKey(txtYear_, QStringLiteral("Alt+Y"));
    addAccessKey(txtPeriod_, QStringLiteral("Alt+P"));
    addAccessKey(txtBankCode_, QStringLiteral("Alt+B"));
}

void FrmMain::addAccessKey(QLineEdit* field, const QString& keys) {
    auto* shortcut = new QShortcut(QKeySequence(keys), this);
    connect(shortcut, &QShortcut::activated, field, [this, field] {
        // A field on another tab brings its tab forward first.
        for (int tab = 0; tab < SSTab1_->count(); ++tab) {
            if (SSTab1_->page(tab)->isAncestorOf(field)) SSTab1_->setCurrentIndex(tab);
        }
        field->setFocus(Qt::ShortcutFocusReason);
        field->selectAll();
    });
    field->setToolTip(keys);
}

}  // namespace app::window
