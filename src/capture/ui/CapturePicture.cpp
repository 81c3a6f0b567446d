#include "capture/ui/CapturePicture.h"

#include <QPainter>

namespace mirelo {

CapturePicture::CapturePicture(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CapturePicture::setBackgroundColor(const QColor& color) {
    m_background = color;
    update();
}

void CapturePicture::showFrame(const CaptureFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.rgb.size() < qsizetype(frame.width) * frame.height * 3)
        return;
    // Copied: the frame's bytes belong to the engine's buffer.
    m_picture = QImage(reinterpret_cast<const uchar*>(frame.rgb.constData()), frame.width,
                       frame.height, frame.width * 3, QImage::Format_RGB888)
                    .copy();
    update();
}

void CapturePicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), m_background);
    if (m_picture.isNull())
        return;
    const QSize fitted = m_picture.size().scaled(size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - fitted.width()) / 2, (height() - fitted.height()) / 2),
                       fitted);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, m_picture);
}

} // namespace mirelo
