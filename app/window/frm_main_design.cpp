// Construction of frmMain: every control of the shared design table at its place, with its
// initial contents. Positions are the design's twips; controls on a tab are placed relative to
// SSTab1's top-left corner.
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>
#include <map>

#include "app/logic/data_control_row_store.h"
#include "app/window/common_dialog.h"
#include "app/window/file_button_picture.h"
#include "app/window/frm_main.h"
#include "app/window/layout_grid.h"
#include "app/window/layout_table_model.h"
#include "app/window/path_field.h"
#include "app/window/tab_control.h"
#include "app/window/thai_fonts.h"
#include "app/window/twips.h"
#include "form/frm_main_design.h"

namespace app::window {

namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QColor colourOf(uint32_t rgb) {
    return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

void setColours(QWidget* widget, const form::ControlDesign& design) {
    QPalette palette = widget->palette();
    if (design.textColour != form::kNoColour) {
        palette.setColor(QPalette::WindowText, colourOf(design.textColour));
        palette.setColor(QPalette::Text, colourOf(design.textColour));
    }
    if (design.faceColour != form::kNoColour) {
        palette.setColor(QPalette::Button, colourOf(design.faceColour));
    }
    widget->setPalette(palette);
}

QLabel* makeLabel(QWidget* parent, const form::ControlDesign& design) {
    auto* label = new QLabel(fromView(design.caption), parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(design.kind == form::ControlKind::Notice);
    return label;
}

}  // namespace

void FrmMain::createControls() {
    setObjectName(fromView(form::kWindowName));
    setWindowTitle(fromView(form::kWindowTitle));
    setFont(designFont(nullptr));
    setFixedSize(twipsToPixels(form::kWindowWidth), twipsToPixels(form::kWindowHeight));
    // Nothing moves when the window changes size, so it offers no maximise button.
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);

    SSTab1_ = new TabControl(form::kTabsPerRow, form::kTabRowHeightPixels, this);
    SSTab1_->setObjectName(fromView(form::kTabControlName));
    SSTab1_->setGeometry(
        twipsRect(form::kTabLeft, form::kTabTop, form::kTabWidth, form::kTabHeight));
    for (std::string_view caption : form::tabCaptions()) SSTab1_->addTab(fromView(caption));

    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const form::ControlDesign& design : form::controls()) {
        QWidget* control = createControl(design);
        control->setObjectName(fromView(design.name));
        control->setFont(designFont(design.font));
        setColours(control, design);
        if (!design.toolTip.empty()) control->setToolTip(fromView(design.toolTip));
        const QRect rect = twipsRect(design.left, design.top, design.width, design.height);
        if (design.tab < 0) {
            control->setGeometry(rect);
        } else {
            SSTab1_->placeOnTab(design.tab, control, rect);
        }
        if (design.tabIndex > 0) tabOrder.emplace_back(design.tabIndex, control);
        if (design.accessKey != 0) {
            addAccessKey(control, QStringLiteral("Alt+%1").arg(QLatin1Char(design.accessKey)));
        }
    }
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
    }

    lblVersion_ = findChild<QLabel*>(QStringLiteral("lblVersion"));
    lblProcessStatus_ = findChild<QLabel*>(QStringLiteral("lblProcessStatus"));
    lblRecordCount_ = findChild<QLabel*>(QStringLiteral("lblRecordCount"));
    lblUseTime_ = findChild<QLabel*>(QStringLiteral("lblUseTime"));
    lblNotice_ = findChild<QLabel*>(QStringLiteral("lblNotice"));
    resultPanel_ = findChild<QPlainTextEdit*>(QStringLiteral("resultPanel"));
    prgTransfer_ = findChild<QProgressBar*>(QStringLiteral("prgTransfer"));
    cmdExit_ = findChild<QPushButton*>(QStringLiteral("cmdExit"));
    cmdCompact_ = findChild<QPushButton*>(QStringLiteral("cmdCompact"));
    cmdUndoTransfer_ = findChild<QPushButton*>(QStringLiteral("cmdUndoTransfer"));
    cmdUndoTransfer_->setEnabled(false);  // until the database has a transfer kept for undoing
    txtCompanyCode_ = findChild<QLineEdit*>(QStringLiteral("txtCompanyCode"));
    txtDelimiter_ = findChild<QLineEdit*>(QStringLiteral("txtDelimiter"));
    txtBankCode_ = findChild<QLineEdit*>(QStringLiteral("txtBankCode"));
    txtYear_ = findChild<QLineEdit*>(QStringLiteral("txtYear_0"));
    txtPeriod_ = findChild<QLineEdit*>(QStringLiteral("txtPeriod_0"));
    for (int i = 0; i < 2; ++i) {
        txtDir_[i] = findChild<PathField*>(QStringLiteral("txtDir_%1").arg(i));
        cmdSelectDir_[i] = findChild<QPushButton*>(QStringLiteral("cmdSelectDir_%1").arg(i));
    }
    for (int i = 0; i < 4; ++i) {
        cmdTransfer_[i] = findChild<QPushButton*>(QStringLiteral("cmdTransfer_%1").arg(i));
        cmdCheckFile_[i] = findChild<QPushButton*>(QStringLiteral("cmdCheckFile_%1").arg(i));
    }

    cdl1_ = new CommonDialog(this);
    cdl1_->setObjectName(QStringLiteral("cdl1"));
    SSTab1_->setCurrentIndex(form::kInitialTab);
}

QWidget* FrmMain::createControl(const form::ControlDesign& design) {
    using K = form::ControlKind;
    QWidget* parent = design.tab < 0 ? static_cast<QWidget*>(this) : SSTab1_->page(design.tab);
    switch (design.kind) {
        case K::Label:
        case K::Notice:
            return makeLabel(parent, design);
        case K::TextBox: {
            auto* field = new QLineEdit(fromView(design.caption), parent);
            if (design.align == form::Align::Center) {
                field->setTextMargins(0, 0, 0, 0);
                field->setAlignment(Qt::AlignCenter);
            }
            return field;
        }
        case K::PathBox:
            return new PathField(parent);
        case K::Button:
            return new QPushButton(fromView(design.caption), parent);
        case K::FileButton: {
            auto* button = new QPushButton(parent);
            const QPixmap picture = fileButtonPicture();
            button->setIcon(QIcon(picture));
            button->setIconSize(picture.size());
            return button;
        }
        case K::Grid:
            return createGrid(parent, design.name);
        case K::ResultPanel: {
            auto* panel = new QPlainTextEdit(parent);
            panel->setReadOnly(true);
            panel->setFocusPolicy(Qt::ClickFocus);
            return panel;
        }
        case K::Progress: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 1000);
            bar->hide();
            return bar;
        }
    }
    return new QWidget(parent);
}

QTableView* FrmMain::createGrid(QWidget* parent, std::string_view name) {
    std::vector<GridColumn> columns;
    for (const form::GridColumnDesign& column : form::gridColumns()) {
        if (column.grid != name) continue;
        columns.push_back(
            {fromView(column.caption), std::string(column.field), twipsToPixels(column.width)});
    }
    auto* model = new LayoutTableModel(std::move(columns), this);
    model->setRefusalHandler([this](const QString& message) {
        port_.messageBox(message.toStdString(), form::kMsgCritical, "ImportData.mdb");
    });
    const auto sources = form::gridSources();
    for (size_t index = 0; index < sources.size(); ++index) {
        if (sources[index].grid != name) continue;
        gridModels_[index] = model;
        gridStores_[index] = std::make_unique<app::DataControlRowStore>(
            form_.*sources[index].control, std::string(sources[index].table));
        model->setStore(gridStores_[index].get());
    }
    return new LayoutGrid(model, parent);
}

void FrmMain::addAccessKey(QWidget* field, const QString& keys) {
    auto* shortcut = new QShortcut(QKeySequence(keys), this);
    connect(shortcut, &QShortcut::activated, field, [this, field] {
        // A field on another tab brings its tab forward first.
        for (int tab = 0; tab < SSTab1_->count(); ++tab) {
            if (SSTab1_->page(tab)->isAncestorOf(field)) SSTab1_->setCurrentIndex(tab);
        }
        field->setFocus(Qt::ShortcutFocusReason);
        if (auto* line = qobject_cast<QLineEdit*>(field)) line->selectAll();
    });
}

}  // namespace app::window
