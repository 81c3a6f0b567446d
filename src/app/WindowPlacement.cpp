#include "app/WindowPlacement.h"
#include "ui/SkinNames.h"

#include <QFileInfo>
#include <QSettings>

namespace mirelo {

namespace {

const QString kGroup = skinName::kMainWindowGroup;

bool fitsOneOf(const QRect& geometry, const QList<QRect>& areas) {
    for (const QRect& area : areas)
        if (area.contains(geometry))
            return true;
    return false;
}

} // namespace

std::optional<WindowPlacement> readWindowPlacement(const QString& file) {
    if (!QFileInfo(file).isFile())
        return std::nullopt;
    QSettings store(file, QSettings::IniFormat);
    store.beginGroup(kGroup);
    bool ok[4] = {};
    const QRect geometry(store.value(QStringLiteral("x")).toInt(&ok[0]),
                         store.value(QStringLiteral("y")).toInt(&ok[1]),
                         store.value(QStringLiteral("width")).toInt(&ok[2]),
                         store.value(QStringLiteral("height")).toInt(&ok[3]));
    for (bool read : ok)
        if (!read)
            return std::nullopt;
    if (geometry.width() <= 0 || geometry.height() <= 0)
        return std::nullopt;
    return WindowPlacement{geometry, store.value(QStringLiteral("maximized")).toBool()};
}

bool writeWindowPlacement(const QString& file, const WindowPlacement& placement) {
    QSettings store(file, QSettings::IniFormat);
    store.beginGroup(kGroup);
    store.setValue(QStringLiteral("x"), placement.geometry.x());
    store.setValue(QStringLiteral("y"), placement.geometry.y());
    store.setValue(QStringLiteral("width"), placement.geometry.width());
    store.setValue(QStringLiteral("height"), placement.geometry.height());
    store.setValue(QStringLiteral("maximized"), placement.maximized);
    store.endGroup();
    store.sync();
    return store.status() == QSettings::NoError;
}

QRect openingGeometry(const std::optional<WindowPlacement>& saved,
                      const QList<QRect>& availableAreas, const QRect& primaryArea,
                      const QSize& preferred, const QSize& minimum, const QSize& frame) {
    if (saved && saved->geometry.width() >= minimum.width() &&
        saved->geometry.height() >= minimum.height() && fitsOneOf(saved->geometry, availableAreas))
        return saved->geometry;
    const QSize room = (primaryArea.size() - frame).expandedTo(minimum);
    QRect geometry(QPoint(), preferred.boundedTo(room).expandedTo(minimum));
    geometry.moveCenter(primaryArea.center());
    return geometry;
}

} // namespace mirelo
