// TabControl: a classic tabbed dialog control, multi-row headers over one page per tab.
//
// The control is one widget of fixed size: its MultiRowTabBar along the top, its pages in a framed
// area below. Controls of a tab are placed relative to the control's own top-left corner, headers
// included, as the window's design gives them; placeOnTab() turns that into the page's
// coordinates. Ctrl+Tab and Ctrl+Shift+Tab (also Ctrl+PageDown/PageUp) cycle the tabs from any
// control inside.
#pragma once

#include <QRect>
#include <QString>
#include <QWidget>

class QStackedWidget;

namespace app::window {

class MultiRowTabBar;

class TabControl : public QWidget {
    Q_OBJECT

  public:
    TabControl(int tabsPerRow, int rowHeight, QWidget* parent = nullptr);

    // Appends a tab and its (empty) page; returns the page to put the tab's controls on.
    QWidget* addTab(const QString& caption);
    int count() const;
    QWidget* page(int index) const;

    int currentIndex() const;
    // An index outside 0..count()-1 is ignored.
    void setCurrentIndex(int index);

    // Puts `control` on the page of `tab` at `rect`, given relative to this control's top-left.
    // REQUIRES: 0 <= tab < count(); every tab is added already (the headers' height is final).
    void placeOnTab(int tab, QWidget* control, const QRect& rect);

    MultiRowTabBar* tabBar() const { return tabBar_; }
    // The framed area the pages fill, in this control's coordinates.
    QRect pageArea() const;

  signals:
    void currentChanged(int index);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void step(int delta);
    void layOut();

    MultiRowTabBar* tabBar_;
    QStackedWidget* pages_;
};

}  // namespace app::window
