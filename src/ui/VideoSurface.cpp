#include "ui/VideoSurface.h"

#include <QPainter>
#include <QPainterPath>

namespace mirelo {

VideoSurface::VideoSurface(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("videoSurface"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(160, 100);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void VideoSurface::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), QColor(0x0f, 0x17, 0x2a));
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = qMin(width(), height()) * 0.22;
    const QPointF c = QRectF(rect()).center();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 28));
    p.drawEllipse(c, side, side);
    QPainterPath triangle;
    triangle.moveTo(c.x() - side * 0.35, c.y() - side * 0.45);
    triangle.lineTo(c.x() + side * 0.5, c.y());
    triangle.lineTo(c.x() - side * 0.35, c.y() + side * 0.45);
    triangle.closeSubpath();
    p.setBrush(QColor(255, 255, 255, 70));
    p.drawPath(triangle);
}

} // namespace mirelo
