#include "app/window/tab_control.h"

#include <QKeySequence>
#include <QPainter>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include "app/window/multi_row_tab_bar.h"

namespace app::window {

namespace {
// Width of the frame drawn around the pages.
constexpr int kFrameWidth = 2;
}  // namespace

TabControl::TabControl(int tabsPerRow, int rowHeight, QWidget* parent)
    : QWidget(parent),
      tabBar_(new MultiRowTabBar(tabsPerRow, rowHeight, this)),
      pages_(new QStackedWidget(this)) {
    tabBar_->setObjectName(QStringLiteral("tabBar"));
    pages_->setObjectName(QStringLiteral("pages"));
    connect(tabBar_, &MultiRowTabBar::currentChanged, this, [this](int index) {
        pages_->setCurrentIndex(index);
        emit currentChanged(index);
    });
    const auto addStep = [this](const QKeySequence& keys, int delta) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, delta] { step(delta); });
    };
    addStep(QKeySequence(Qt::CTRL | Qt::Key_Tab), 1);
    addStep(QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1);
    addStep(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1);
    addStep(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1);
    addStep(QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1);
}

QWidget* TabControl::addTab(const QString& caption) {
    auto* page = new QWidget(pages_);
    page->setObjectName(QStringLiteral("page_%1").arg(pages_->count()));
    page->setAutoFillBackground(false);
    pages_->addWidget(page);
    tabBar_->addTab(caption);
    pages_->setCurrentIndex(tabBar_->currentIndex());
    layOut();
    return page;
}

int TabControl::count() const {
    return tabBar_->count();
}

QWidget* TabControl::page(int index) const {
    return pages_->widget(index);
}

int TabControl::currentIndex() const {
    return tabBar_->currentIndex();
}

void TabControl::setCurrentIndex(int index) {
    tabBar_->setCurrentIndex(index);
}

void TabControl::placeOnTab(int tab, QWidget* control, const QRect& rect) {
    QWidget* target = page(tab);
    control->setParent(target);
    control->setGeometry(rect.translated(-pages_->geometry().topLeft()));
}

QRect TabControl::pageArea() const {
    const int top = tabBar_->rowCount() * tabBar_->rowHeight();
    return QRect(0, top, width(), height() - top);
}

void TabControl::resizeEvent(QResizeEvent*) {
    layOut();
}

void TabControl::layOut() {
    const QRect area = pageArea();
    tabBar_->setGeometry(0, 0, width(), area.top());
    pages_->setGeometry(area.adjusted(kFrameWidth, kFrameWidth, -kFrameWidth, -kFrameWidth));
}

void TabControl::step(int delta) {
    if (count() == 0) return;
    setCurrentIndex((currentIndex() + delta + count()) % count());
}

void TabControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = pageArea();
    frame.shape = QTabBar::RoundedNorth;
    frame.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

}  // namespace app::window
