#include "qt/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace mirvane {

namespace {

// A strip of film with a white arrow across it: a video going somewhere else.
// Desktops show the same picture from packaging/linux/io.github.mirvane.Mirvane.svg,
// in the same 32-unit square; app_icon_test keeps the two alike.
QPixmap drawIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 44, 52));
    painter.drawRoundedRect(QRectF(3, 2, 26, 28), 3, 3);

    // Sprocket holes down both edges.
    painter.setBrush(QColor(235, 235, 235));
    for (int row = 0; row < 6; ++row) {
        qreal y = 4 + row * 4.3;
        painter.drawRect(QRectF(5, y, 2.5, 2.2));
        painter.drawRect(QRectF(24.5, y, 2.5, 2.2));
    }

    // The frame in the middle.
    painter.setBrush(QColor(0, 90, 255));
    painter.drawRect(QRectF(10, 4, 12, 24));

    QPainterPath arrow;
    arrow.moveTo(11.5, 13.5);
    arrow.lineTo(16, 13.5);
    arrow.lineTo(16, 9.5);
    arrow.lineTo(21.5, 16);
    arrow.lineTo(16, 22.5);
    arrow.lineTo(16, 18.5);
    arrow.lineTo(11.5, 18.5);
    arrow.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(arrow);
    return pixmap;
}

}  // namespace

QList<int> appIconSizes() { return {16, 24, 32, 48, 64, 128}; }

QIcon appIcon() {
    QIcon icon;
    for (int size : appIconSizes()) icon.addPixmap(drawIcon(size));
    return icon;
}

}  // namespace mirvane
