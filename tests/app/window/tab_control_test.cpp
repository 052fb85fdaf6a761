// The multi-row tab control: where its headers go, and how mouse and keyboard choose a tab.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "app/window/multi_row_tab_bar.h"
#include "app/window/tab_control.h"
#include "app/window/window_test_support.h"

namespace {

using app::window::MultiRowTabBar;
using app::window::TabControl;

class TabControlTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { window_testing::ensureApplication(); }

    void SetUp() override {
        control.resize(300, 200);
        for (const char* caption : {"One", "Two", "Three", "Fo&ur", "Five", "Six", "Seven"}) {
            control.addTab(QString::fromLatin1(caption));
        }
        field = new QLineEdit(control.page(2));
        control.placeOnTab(2, field, QRect(10, 100, 80, 20));
        control.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
    }

    TabControl control{3, 20};
    MultiRowTabBar* bar = control.tabBar();
    QLineEdit* field = nullptr;
};

TEST_F(TabControlTest, HeadersFillRowsFromTheTopAndPagesStartBelowThem) {
    EXPECT_EQ(bar->rowCount(), 3);
    EXPECT_EQ(control.pageArea().top(), 60);
    EXPECT_EQ(bar->tabRect(0), QRect(0, 0, 100, 20));
    EXPECT_EQ(bar->tabRect(5), QRect(200, 20, 100, 20));
    EXPECT_EQ(bar->tabRect(6), QRect(0, 40, 100, 20));
    EXPECT_TRUE(bar->tabRect(7).isEmpty());
    // Placed relative to the control: the page's own origin is below the headers.
    EXPECT_EQ(field->mapTo(&control, QPoint(0, 0)), QPoint(10, 100));
    EXPECT_EQ(control.currentIndex(), 0) << "the first tab added is current";
}

TEST_F(TabControlTest, ClickingAHeaderShowsItsPageAndRowsDoNotMove) {
    QSignalSpy changed(&control, &TabControl::currentChanged);
    const QRect before = bar->tabRect(6);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(6).center());
    EXPECT_EQ(control.currentIndex(), 6);
    EXPECT_TRUE(control.page(6)->isVisible());
    EXPECT_FALSE(control.page(0)->isVisible());
    EXPECT_EQ(bar->tabRect(6), before);
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    EXPECT_TRUE(field->isVisible());
    ASSERT_EQ(changed.count(), 2);
    EXPECT_EQ(changed.at(1).at(0).toInt(), 2);
    // Clicking the current tab again changes nothing.
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(TabControlTest, ArrowKeysHomeAndEndMoveBetweenTabsAndStopAtTheEnds) {
    bar->setFocus();
    QTest::keyClick(bar, Qt::Key_Right);
    EXPECT_EQ(control.currentIndex(), 1);
    QTest::keyClick(bar, Qt::Key_Down);
    EXPECT_EQ(control.currentIndex(), 4);
    QTest::keyClick(bar, Qt::Key_Down);
    EXPECT_EQ(control.currentIndex(), 4) << "no tab below Five";
    QTest::keyClick(bar, Qt::Key_Up);
    EXPECT_EQ(control.currentIndex(), 1);
    QTest::keyClick(bar, Qt::Key_End);
    EXPECT_EQ(control.currentIndex(), 6);
    QTest::keyClick(bar, Qt::Key_Right);
    EXPECT_EQ(control.currentIndex(), 6);
    QTest::keyClick(bar, Qt::Key_Home);
    EXPECT_EQ(control.currentIndex(), 0);
    QTest::keyClick(bar, Qt::Key_Left);
    EXPECT_EQ(control.currentIndex(), 0);
}

TEST_F(TabControlTest, CtrlTabCyclesFromInsideAPageAndAccessKeysSelect) {
    control.setCurrentIndex(2);
    field->setFocus();
    ASSERT_TRUE(field->hasFocus());
    QTest::keyClick(field, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(control.currentIndex(), 3);
    QTest::keyClick(control.focusWidget() ? control.focusWidget() : &control, Qt::Key_PageUp,
                    Qt::ControlModifier);
    EXPECT_EQ(control.currentIndex(), 2);
    control.setCurrentIndex(6);
    QTest::keyClick(control.focusWidget() ? control.focusWidget() : &control, Qt::Key_Tab,
                    Qt::ControlModifier);
    EXPECT_EQ(control.currentIndex(), 0) << "wraps round";
    QTest::keyClick(&control, Qt::Key_U, Qt::AltModifier);
    EXPECT_EQ(control.currentIndex(), 3) << "Alt+U is the access key of Fo&ur";
}

TEST_F(TabControlTest, OutOfRangeIndexesAreIgnored) {
    control.setCurrentIndex(4);
    control.setCurrentIndex(7);
    control.setCurrentIndex(-1);
    EXPECT_EQ(control.currentIndex(), 4);
}

}  // namespace
