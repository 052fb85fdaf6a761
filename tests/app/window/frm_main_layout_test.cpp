// The window as designed: every control's place, caption, look and initial contents.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "app/window/frm_main.h"
#include "app/window/multi_row_tab_bar.h"
#include "app/window/path_field.h"
#include "app/window/tab_control.h"
#include "app/window/window_test_support.h"

namespace {

using app::window::FrmMain;
using app::window::TabControl;

int px(int twips) {
    return qRound(twips / 15.0);
}

struct Placed {
    const char* name;
    int tab;  // -1: on the window itself
    int left, top, width, height;
    const char* text;  // caption or initial text; nullptr: not checked here
};

// The design's table, in twips; controls on a tab relative to SSTab1's top-left corner.
const Placed kDesign[] = {
    {"SSTab1", -1, 120, 120, 8055, 5775, nullptr},
    {"lblVersion", -1, 8400, 120, 660, 300, ""},
    {"lblProcessStatus", -1, 150, 6000, 1380, 300, ""},
    {"lblRecordCount", -1, 150, 6400, 1380, 300, ""},
    {"lblUseTime", -1, 150, 6800, 1380, 300, ""},
    {"cmdExit", -1, 6100, 6720, 1700, 400, "ออก E&xit"},
    {"Label6", 0, 200, 1125, 1095, 405, "รหัสบริษัท"},
    {"txtCompanyCode", 0, 1290, 1080, 2415, 420, ""},
    {"lbl_0", 0, 120, 1740, 5055, 375, "ไฟล์ *.txt ที่ต้องการอ่าน"},
    {"txtDir_0", 0, 120, 2100, 6255, 1185, ""},
    {"cmdSelectDir_0", 0, 6420, 2100, 615, 525, ""},
    {"Label1", 0, 120, 3405, 3255, 255, "เครื่องหมายใช้คั่นข้อมูล  Seperate character"},
    {"txtDelimiter", 0, 3300, 3300, 255, 420, ","},
    {"lbl_1", 0, 120, 4020, 5055, 375, "ไฟล์ Melvar.mdb ที่ต้องการนำเข้า"},
    {"txtDir_1", 0, 120, 4380, 6255, 1185, ""},
    {"cmdSelectDir_1", 0, 6420, 4380, 615, 525, ""},
    {"grdiEmployeeMaster", 1, 120, 1020, 7305, 3855, nullptr},
    {"lblBankCode", 1, 120, 5055, 1695, 255, "รหัสธนาคาร (เช่น 002)"},
    {"txtBankCode", 1, 2000, 4980, 495, 375, ""},
    {"cmdTransfer_0", 1, 3120, 4980, 1700, 400, "เริ่มนำเข้า &OK"},
    {"DataGrid1", 3, 120, 1020, 7305, 3855, nullptr},
    {"cmdTransfer_2", 3, 5640, 4980, 1700, 400, "เริ่มนำเข้า &OK"},
    {"DataGrid2", 4, 120, 1020, 7305, 3855, nullptr},
    {"cmdTransfer_3", 4, 5640, 4980, 1700, 400, "เริ่มนำเข้า &OK"},
    {"grdiDataCalc", 5, 120, 1020, 7305, 3855, nullptr},
    {"Label2", 5, 240, 4980, 500, 375, "ปี ค.ศ."},
    {"txtYear_0", 5, 735, 4980, 500, 300, "2005"},
    {"Label3", 5, 1470, 4980, 495, 375, "งวดที่"},
    {"txtPeriod_0", 5, 1965, 4980, 500, 300, "4"},
    {"cmdTransfer_1", 5, 5760, 4980, 1700, 400, "เริ่มนำเข้า &OK"},
    {"cmdCheckFile_0", 1, 4880, 4980, 1300, 400, "ตรวจสอบไฟล์"},
    {"cmdCheckFile_1", 5, 4400, 4980, 1300, 400, "ตรวจสอบไฟล์"},
    {"cmdCheckFile_2", 3, 4280, 4980, 1300, 400, "ตรวจสอบไฟล์"},
    {"cmdCheckFile_3", 4, 4280, 4980, 1300, 400, "ตรวจสอบไฟล์"},
    {"cmdUndoTransfer", 0, 4200, 3300, 2835, 420, "ยกเลิกการโอนครั้งล่าสุด"},
    {"cmdCompact", 0, 4200, 1080, 2835, 420, "บีบอัดฐานข้อมูล &Compact"},
};

QString textOf(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) return button->text();
    if (auto* line = qobject_cast<QLineEdit*>(widget)) return line->text();
    if (auto* path = qobject_cast<app::window::PathField*>(widget)) return path->text();
    return QStringLiteral("<no text>");
}

class FrmMainLayout : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { window_testing::ensureApplication(); }

    QWidget* control(const char* name) {
        auto* found = window.findChild<QWidget*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    FrmMain window;
    TabControl* tabs = window.tabControl();
};

TEST_F(FrmMainLayout, WindowHasItsCaptionAndFixedClientArea) {
    EXPECT_EQ(window.objectName(), QStringLiteral("frmMain"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("โอนข้อมูล *.txt เข้า VELTRA Payroll"));
    EXPECT_EQ(window.size(), QSize(725, 498));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
}

TEST_F(FrmMainLayout, EveryControlSitsWhereTheDesignPutsItWithItsInitialText) {
    for (const Placed& placed : kDesign) {
        QWidget* widget = control(placed.name);
        if (widget == nullptr) continue;
        const QRect expected(px(placed.left), px(placed.top), px(placed.width), px(placed.height));
        if (placed.tab < 0) {
            EXPECT_EQ(widget->parentWidget(), &window) << placed.name;
            EXPECT_EQ(widget->geometry(), expected) << placed.name;
        } else {
            EXPECT_TRUE(tabs->page(placed.tab)->isAncestorOf(widget)) << placed.name;
            EXPECT_EQ(QRect(widget->mapTo(tabs, QPoint(0, 0)), widget->size()), expected)
                << placed.name;
        }
        if (placed.text != nullptr) {
            EXPECT_EQ(textOf(widget), QString::fromUtf8(placed.text)) << placed.name;
        }
    }
}

TEST_F(FrmMainLayout, TabsComeInThreeRowsOfThreeWithTheEmployeeTabCurrent) {
    const char* captions[] = {"เลือกไฟล์",           "โอนประวัติพนักงาน",    "Employee Xtend 1",
                              "โอนข้อมูลเงินเดือน PM", "โอนข้อมูลเงินเดือน PD", "Data Calc",
                              "Data History"};
    app::window::MultiRowTabBar* bar = tabs->tabBar();
    ASSERT_EQ(tabs->count(), 7);
    EXPECT_EQ(bar->rowCount(), 3);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(bar->tabText(i), QString::fromUtf8(captions[i]));
        const QRect rect = bar->tabRect(i);
        EXPECT_EQ(rect.top(), (i / 3) * bar->rowHeight()) << i;
        EXPECT_EQ(rect.left(), (i % 3) * (bar->width() / 3)) << i;
        // Headers stay above every control of the pages.
        EXPECT_LE(bar->mapTo(tabs, rect.bottomLeft()).y(), tabs->pageArea().top()) << i;
    }
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(window.port().currentTab(), 1);
    EXPECT_TRUE(tabs->page(2)->children().isEmpty());
    EXPECT_TRUE(tabs->page(6)->children().isEmpty());
}

// What a control shows: a label only the ink of its text, drawn from its top-left corner (the
// design lets some labels' boxes run under the field beside them), any other control its box.
QRect visibleRect(QWidget* widget) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        const QFontMetrics metrics = label->fontMetrics();
        const QRect ink = metrics.tightBoundingRect(label->text());
        return ink.translated(label->geometry().topLeft() + QPoint(0, metrics.ascent()));
    }
    return widget->geometry();
}

TEST_F(FrmMainLayout, NoControlOverlapsAnotherOrLeavesItsPage) {
    auto name = [](QWidget* w) { return w->objectName().toStdString(); };
    for (int tab = 0; tab < tabs->count(); ++tab) {
        QList<QWidget*> onPage =
            tabs->page(tab)->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
        for (int i = 0; i < onPage.size(); ++i) {
            const QRect rect(onPage[i]->mapTo(tabs, QPoint(0, 0)), onPage[i]->size());
            // Inside the framed page area, below the three rows of headers.
            EXPECT_TRUE(tabs->pageArea().contains(rect)) << name(onPage[i]);
            for (int j = i + 1; j < onPage.size(); ++j) {
                EXPECT_FALSE(visibleRect(onPage[i]).intersects(visibleRect(onPage[j])))
                    << name(onPage[i]) << " and " << name(onPage[j]) << ": "
                    << visibleRect(onPage[i]).x() << "," << visibleRect(onPage[i]).y() << " "
                    << visibleRect(onPage[i]).width() << "x" << visibleRect(onPage[i]).height();
            }
        }
    }
    QList<QWidget*> outside = window.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    EXPECT_EQ(outside.size(), 9);
    for (int i = 0; i < outside.size(); ++i) {
        EXPECT_TRUE(window.rect().contains(outside[i]->geometry())) << name(outside[i]);
        for (int j = i + 1; j < outside.size(); ++j) {
            EXPECT_FALSE(outside[i]->geometry().intersects(outside[j]->geometry()))
                << name(outside[i]) << " and " << name(outside[j]);
        }
    }
}

TEST_F(FrmMainLayout, FontsAreTheDesignsAndRenderThai) {
    struct Expected {
        const char* name;
        const char* family;
        int pixels;
        bool bold;
    };
    const Expected fonts[] = {
        {"cmdExit", "Tahoma", 16, false},
        {"cmdTransfer_0", "Tahoma", 16, false},
        {"cmdTransfer_1", "Tahoma", 16, false},
        {"cmdTransfer_2", "Tahoma", 16, false},
        {"cmdTransfer_3", "Tahoma", 16, false},
        {"txtDir_0", "Tahoma", 16, false},
        {"txtDir_1", "Tahoma", 16, false},
        {"lbl_0", "Tahoma", 16, false},
        {"lbl_1", "Tahoma", 16, false},
        {"Label6", "MS Sans Serif", 16, false},
        {"txtCompanyCode", "MS Sans Serif", 16, false},
        {"txtDelimiter", "MS Sans Serif", 16, true},
        {"grdiEmployeeMaster", "MS Sans Serif", 13, false},
        {"grdiDataCalc", "MS Sans Serif", 13, false},
        {"SSTab1", "MS Sans Serif", 11, false},
        {"Label1", "MS Sans Serif", 11, false},
    };
    const QStringList thaiFamilies = {QStringLiteral("Tahoma"),    QStringLiteral("MS Sans Serif"),
                                      QStringLiteral("Loma"),      QStringLiteral("Garuda"),
                                      QStringLiteral("Tlwg Typo"), QStringLiteral("Waree"),
                                      QStringLiteral("Norasi")};
    for (const Expected& e : fonts) {
        QWidget* widget = control(e.name);
        if (widget == nullptr) continue;
        EXPECT_EQ(widget->font().family(), QString::fromLatin1(e.family)) << e.name;
        EXPECT_EQ(widget->font().pixelSize(), e.pixels) << e.name;
        EXPECT_EQ(widget->font().bold(), e.bold) << e.name;
        // The family drawn is the design's or a Thai one standing in for it.
        const QString drawn = QFontInfo(widget->font()).family();
        EXPECT_TRUE(thaiFamilies.contains(drawn)) << e.name << " drawn in " << drawn.toStdString();
    }
}

TEST_F(FrmMainLayout, ColoursTooltipsAccessKeysAndPictures) {
    auto textColour = [&](const char* name) {
        return control(name)->palette().color(QPalette::WindowText);
    };
    EXPECT_EQ(textColour("lblVersion"), QColor(0, 0, 192));
    EXPECT_EQ(textColour("lblProcessStatus"), QColor(0, 0, 128));
    EXPECT_EQ(textColour("lblRecordCount"), QColor(0, 0, 192));
    EXPECT_EQ(textColour("lblUseTime"), QColor(0, 0, 255));
    for (const char* name : {"cmdExit", "cmdSelectDir_0", "cmdSelectDir_1"}) {
        EXPECT_EQ(control(name)->palette().color(QPalette::Button), QColor(224, 224, 224)) << name;
    }
    for (const char* name : {"cmdTransfer_0", "cmdTransfer_1", "cmdTransfer_2", "cmdTransfer_3"}) {
        auto* button = qobject_cast<QPushButton*>(control(name));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->palette().color(QPalette::Button), QColor(192, 255, 192)) << name;
        EXPECT_EQ(QKeySequence::mnemonic(button->text()), QKeySequence(Qt::ALT | Qt::Key_O));
    }
    EXPECT_EQ(QKeySequence::mnemonic(qobject_cast<QPushButton*>(control("cmdExit"))->text()),
              QKeySequence(Qt::ALT | Qt::Key_X));
    EXPECT_EQ(control("cmdSelectDir_0")->toolTip(), QStringLiteral("เลือกไฟล์ส่งออก (Payroll)"));
    EXPECT_EQ(control("cmdSelectDir_1")->toolTip(),
              QStringLiteral("เลือกไฟล์ปลายทาง (DozaZaziraziri)"));
    for (const char* name : {"cmdSelectDir_0", "cmdSelectDir_1"}) {
        auto* button = qobject_cast<QPushButton*>(control(name));
        ASSERT_NE(button, nullptr);
        EXPECT_TRUE(button->text().isEmpty());
        EXPECT_FALSE(button->icon().isNull());
        EXPECT_EQ(button->iconSize(), QSize(38, 34));
    }
    EXPECT_NE(window.findChild<QObject*>(QStringLiteral("cdl1")), nullptr);
}

TEST_F(FrmMainLayout, GridsShowTheLayoutColumnsWithTheirWidths) {
    struct Grid {
        const char* name;
        std::vector<int> widths;
    };
    const QStringList captions = {QStringLiteral("No"), QStringLiteral("ชื่อข้อมูล"),
                                  QStringLiteral("ชื่อฟิล์ด"), QStringLiteral("ข้อมูลตำแหน่งที่"),
                                  QStringLiteral("รูปแบบ")};
    const Grid grids[] = {{"grdiEmployeeMaster", {495, 1500, 1500, 1290, 1515}},
                          {"DataGrid1", {570, 2775, 2280, 1290}},
                          {"DataGrid2", {570, 2775, 2280, 1290}},
                          {"grdiDataCalc", {570, 2775, 2280, 1290}}};
    for (const Grid& grid : grids) {
        auto* view = qobject_cast<QTableView*>(control(grid.name));
        ASSERT_NE(view, nullptr);
        ASSERT_EQ(view->model()->columnCount(), static_cast<int>(grid.widths.size())) << grid.name;
        for (int c = 0; c < static_cast<int>(grid.widths.size()); ++c) {
            EXPECT_EQ(view->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
            EXPECT_EQ(view->columnWidth(c), px(grid.widths[c])) << grid.name << " column " << c;
        }
        EXPECT_EQ(view->model()->rowCount(), 0) << "unbound at creation";
    }
}

}  // namespace
