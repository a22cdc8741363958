#include "comm_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace ticklog {

QPixmap CommIconPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 32.0;
    p.scale(s, s);
    // Instrument face.
    p.setPen(QPen(QColor(30, 30, 60), 1.5));
    p.setBrush(QColor(230, 236, 250));
    p.drawRoundedRect(QRectF(2, 2, 28, 28), 5, 5);
    // Ticks around the dial.
    p.setPen(QPen(QColor(30, 30, 60), 1.2));
    for (int k = 0; k < 12; ++k) {
        p.save();
        p.translate(16, 16);
        p.rotate(k * 30.0);
        p.drawLine(QPointF(0, -11), QPointF(0, k % 3 == 0 ? -8 : -9.5));
        p.restore();
    }
    // A phase trace across the face, in the plot's red.
    QPainterPath trace;
    trace.moveTo(6, 20);
    trace.cubicTo(10, 10, 14, 26, 18, 16);
    trace.cubicTo(21, 9, 24, 18, 26, 12);
    p.setPen(QPen(QColor(255, 0, 0), 1.8));
    p.setBrush(Qt::NoBrush);
    p.drawPath(trace);
    // Serial plug at the bottom.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 160, 0));
    p.drawRect(QRectF(12, 26, 8, 3));
    return pixmap;
}

QIcon CommIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) icon.addPixmap(CommIconPixmap(size));
    return icon;
}

}  // namespace ticklog
