#pragma once

#include "capture/CaptureEngine.h"

#include <QColor>
#include <QImage>
#include <QWidget>

namespace mirelo {

// The live picture of the capture window: the newest frame, scaled to fit with its shape kept,
// on the background colour.
class CapturePicture : public QWidget {
    Q_OBJECT
public:
    explicit CapturePicture(QWidget* parent = nullptr);

    void setBackgroundColor(const QColor& color);
    QColor backgroundColor() const { return m_background; }
    void showFrame(const CaptureFrame& frame);
    const QImage& picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_background = Qt::black;
    QImage m_picture;
};

} // namespace mirelo
