#pragma once

#include <QList>
#include <QRect>
#include <QString>

#include <optional>

namespace mirelo {

// Where a window was left: its normal (not maximized) geometry and whether it was maximized.
struct WindowPlacement {
    QRect geometry;
    bool maximized = false;
};

// The placement kept in `file` (the product's own, beside settings.dat); nullopt when the file is
// missing or does not hold a usable one.
std::optional<WindowPlacement> readWindowPlacement(const QString& file);
// Keeps the placement in `file`, replacing what it held; false when it could not be written.
bool writeWindowPlacement(const QString& file, const WindowPlacement& placement);

// The geometry a window opens with: the saved one when it lies wholly inside one of the screens'
// available areas and is at least `minimum`; otherwise `preferred`, made small enough for the
// primary area with `frame` to spare for the window's frame, centred in that area.
QRect openingGeometry(const std::optional<WindowPlacement>& saved,
                      const QList<QRect>& availableAreas, const QRect& primaryArea,
                      const QSize& preferred, const QSize& minimum, const QSize& frame);

} // namespace mirelo
