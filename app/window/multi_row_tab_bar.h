// MultiRowTabBar: the headers of a classic multi-row tab control.
//
// Qt's own tab bar has a single row; this one lays its tabs out a fixed number per row, row after
// row from the top, every tab of a row equally wide. Rows never move: a tab keeps its place
// whichever tab is current. Tabs are painted with the style's own tab elements, so the bar looks
// like the platform's tab bars.
//
// Keyboard: with the focus on the bar, Left/Right go to the previous/next tab, Up/Down to the tab
// one row up/down, Home/End to the first/last tab. An access key in a caption ("&Data") selects
// its tab from anywhere in the window. Clicking a tab makes it current.
#pragma once

#include <QString>
#include <QVector>
#include <QWidget>

namespace app::window {

class MultiRowTabBar : public QWidget {
    Q_OBJECT

  public:
    // REQUIRES: tabsPerRow > 0, rowHeight > 0.
    MultiRowTabBar(int tabsPerRow, int rowHeight, QWidget* parent = nullptr);

    // Appends a tab; returns its index. The first tab added becomes current.
    int addTab(const QString& caption);
    int count() const { return static_cast<int>(tabs_.size()); }
    QString tabText(int index) const;

    int currentIndex() const { return current_; }
    // An index outside 0..count()-1 is ignored.
    void setCurrentIndex(int index);

    int tabsPerRow() const { return tabsPerRow_; }
    int rowCount() const { return (count() + tabsPerRow_ - 1) / tabsPerRow_; }
    int rowHeight() const { return rowHeight_; }
    // Where tab `index` lies in the bar's coordinates; empty for a bad index.
    QRect tabRect(int index) const;
    // The tab under a point, or -1.
    int tabAt(const QPoint& point) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    void currentChanged(int index);

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct Tab {
        QString caption;
        int shortcutId = 0;
    };

    int tabsPerRow_;
    int rowHeight_;
    QVector<Tab> tabs_;
    int current_ = -1;
};

}  // namespace app::window
