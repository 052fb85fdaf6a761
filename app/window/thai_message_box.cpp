#include "app/window/thai_message_box.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>

namespace app::window {

namespace {

// Room beside the title for the title bar's icon and buttons.
constexpr int kTitleBarExtra = 160;

}  // namespace

void prepareThaiMessageBox(QMessageBox& box) {
    const struct {
        QMessageBox::StandardButton button;
        const char* text;
    } texts[] = {{QMessageBox::Ok, "ตกลง"},
                 {QMessageBox::Yes, "ใช่"},
                 {QMessageBox::No, "ไม่ใช่"},
                 {QMessageBox::Cancel, "ยกเลิก"}};
    for (const auto& entry : texts) {
        if (QAbstractButton* button = box.button(entry.button))
            button->setText(QString::fromUtf8(entry.text));
    }
    // A message box sizes itself to its text; a spacer across its grid holds the title's width.
    const int titleWidth = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar"))
                               .horizontalAdvance(box.windowTitle()) +
                           kTitleBarExtra;
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
}

bool askYesNo(QWidget* parent, const QString& title, const QString& question) {
    QMessageBox box(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No,
                    parent);
    box.setObjectName(QStringLiteral("question"));
    box.setDefaultButton(QMessageBox::No);
    prepareThaiMessageBox(box);
    return box.exec() == QMessageBox::Yes;
}

}  // namespace app::window
