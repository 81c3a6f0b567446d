#pragma once

// What a video widget shows, for tests that embed the real player (a real X display).

#include <QColor>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QWidget>

namespace mirelo::test {

// The share of the test pattern's saturated bars in a picture; an empty surface shows none.
inline double vividShare(const QImage& image) {
    qint64 vivid = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            vivid += c.hsvSaturation() > 150 && c.value() > 150 ? 1 : 0;
        }
    const qint64 samples = qint64(image.width() / 2) * (image.height() / 2);
    return samples == 0 ? 0.0 : double(vivid) / double(samples);
}

inline QImage grabNative(const QWidget* widget) {
    return QGuiApplication::primaryScreen()->grabWindow(widget->winId()).toImage();
}

inline bool showsTestPattern(const QWidget* widget) {
    return vividShare(grabNative(widget)) > 0.2;
}

} // namespace mirelo::test
