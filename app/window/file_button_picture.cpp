#include "app/window/file_button_picture.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace app::window {

QPixmap fileButtonPicture() {
    QPixmap picture(kFilePictureWidth, kFilePictureHeight);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);

    const QColor outline(96, 72, 16);
    const QColor folderBack(222, 176, 64);
    const QColor folderFront(246, 206, 96);

    // Back of the folder, with its tab.
    QPainterPath back;
    back.moveTo(3, 9);
    back.lineTo(3, 30);
    back.lineTo(31, 30);
    back.lineTo(31, 11);
    back.lineTo(16, 11);
    back.lineTo(13, 7);
    back.lineTo(5, 7);
    back.closeSubpath();
    painter.setPen(QPen(outline, 1));
    painter.setBrush(folderBack);
    painter.drawPath(back);

    // A sheet of paper standing in the folder, its corner turned.
    QPolygonF sheet;
    sheet << QPointF(10, 3) << QPointF(24, 3) << QPointF(29, 8) << QPointF(29, 24)
          << QPointF(10, 24);
    painter.setBrush(Qt::white);
    painter.setPen(QPen(QColor(80, 80, 80), 1));
    painter.drawPolygon(sheet);
    painter.drawLine(QPointF(24, 3), QPointF(24, 8));
    painter.drawLine(QPointF(24, 8), QPointF(29, 8));
    painter.setPen(QPen(QColor(120, 140, 200), 1));
    for (int y = 11; y <= 20; y += 3) painter.drawLine(QPointF(13, y), QPointF(26, y));

    // Front flap of the folder, opened towards the viewer.
    QPolygonF front;
    front << QPointF(3, 30) << QPointF(8, 16) << QPointF(36, 16) << QPointF(31, 30);
    painter.setPen(QPen(outline, 1));
    painter.setBrush(folderFront);
    painter.drawPolygon(front);
    return picture;
}

}  // namespace app::window
