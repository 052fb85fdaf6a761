#include "app/window/multi_row_tab_bar.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPainter>
#include <QShortcutEvent>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionTab>
#include <QTabBar>

namespace app::window {

MultiRowTabBar::MultiRowTabBar(int tabsPerRow, int rowHeight, QWidget* parent)
    : QWidget(parent), tabsPerRow_(tabsPerRow), rowHeight_(rowHeight) {
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

int MultiRowTabBar::addTab(const QString& caption) {
    Tab tab;
    tab.caption = caption;
    const QKeySequence mnemonic = QKeySequence::mnemonic(caption);
    if (!mnemonic.isEmpty()) tab.shortcutId = grabShortcut(mnemonic);
    tabs_.push_back(tab);
    const int index = count() - 1;
    if (current_ < 0) setCurrentIndex(index);
    updateGeometry();
    update();
    return index;
}

QString MultiRowTabBar::tabText(int index) const {
    return index >= 0 && index < count() ? tabs_[index].caption : QString();
}

void MultiRowTabBar::setCurrentIndex(int index) {
    if (index < 0 || index >= count() || index == current_) return;
    current_ = index;
    update();
    emit currentChanged(index);
}

QRect MultiRowTabBar::tabRect(int index) const {
    if (index < 0 || index >= count()) return {};
    const int row = index / tabsPerRow_;
    const int column = index % tabsPerRow_;
    // Equal widths; the last column of a row takes what the division leaves over.
    const int width = this->width() / tabsPerRow_;
    const int left = column * width;
    const int right = column == tabsPerRow_ - 1 ? this->width() : left + width;
    return QRect(left, row * rowHeight_, right - left, rowHeight_);
}

int MultiRowTabBar::tabAt(const QPoint& point) const {
    for (int i = 0; i < count(); ++i) {
        if (tabRect(i).contains(point)) return i;
    }
    return -1;
}

QSize MultiRowTabBar::sizeHint() const {
    int widest = 0;
    for (const Tab& tab : tabs_) {
        widest = qMax(widest, fontMetrics().horizontalAdvance(tab.caption) + 16);
    }
    return QSize(widest * tabsPerRow_, rowCount() * rowHeight_);
}

QSize MultiRowTabBar::minimumSizeHint() const {
    return QSize(tabsPerRow_ * 8, rowCount() * rowHeight_);
}

bool MultiRowTabBar::event(QEvent* event) {
    // The tab under the mouse is drawn hot.
    if (event->type() == QEvent::HoverMove || event->type() == QEvent::HoverLeave) update();
    if (event->type() == QEvent::Shortcut) {
        const int id = static_cast<QShortcutEvent*>(event)->shortcutId();
        for (int i = 0; i < count(); ++i) {
            if (tabs_[i].shortcutId == id) {
                setCurrentIndex(i);
                return true;
            }
        }
    }
    return QWidget::event(event);
}

void MultiRowTabBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    auto paintTab = [&](int index) {
        QStyleOptionTab option;
        option.initFrom(this);
        option.rect = tabRect(index);
        option.text = tabs_[index].caption;
        option.shape = QTabBar::RoundedNorth;
        option.row = index / tabsPerRow_;
        const int column = index % tabsPerRow_;
        const bool lastInRow = column == tabsPerRow_ - 1 || index == count() - 1;
        if (column == 0 && lastInRow) {
            option.position = QStyleOptionTab::OnlyOneTab;
        } else if (column == 0) {
            option.position = QStyleOptionTab::Beginning;
        } else if (lastInRow) {
            option.position = QStyleOptionTab::End;
        } else {
            option.position = QStyleOptionTab::Middle;
        }
        option.state &= ~(QStyle::State_HasFocus | QStyle::State_MouseOver);
        if (index == current_) {
            option.state |= QStyle::State_Selected;
            if (hasFocus()) option.state |= QStyle::State_HasFocus;
        }
        if (underMouse() && tabRect(index).contains(mapFromGlobal(QCursor::pos()))) {
            option.state |= QStyle::State_MouseOver;
        }
        // A tab never paints into its neighbours, nor into the rows below its own.
        painter.save();
        painter.setClipRect(option.rect);
        style()->drawControl(QStyle::CE_TabBarTab, &option, &painter, this);
        painter.restore();
        if (index == current_ && hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = option.rect.adjusted(4, 3, -4, -3);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
    };
    for (int i = 0; i < count(); ++i) {
        if (i != current_) paintTab(i);
    }
    if (current_ >= 0) paintTab(current_);
}

void MultiRowTabBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const int index = tabAt(event->position().toPoint());
    if (index >= 0) setCurrentIndex(index);
}

void MultiRowTabBar::keyPressEvent(QKeyEvent* event) {
    int target = -1;
    switch (event->key()) {
        case Qt::Key_Left:
            target = current_ - 1;
            break;
        case Qt::Key_Right:
            target = current_ + 1;
            break;
        case Qt::Key_Up:
            target = current_ - tabsPerRow_;
            break;
        case Qt::Key_Down:
            target = current_ + tabsPerRow_;
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = count() - 1;
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    if (target >= 0 && target < count()) setCurrentIndex(target);
    event->accept();
}

}  // namespace app::window
