#include "capture/CaptureFolder.h"

#include <QDir>
#include <QFileInfo>

namespace mirelo {

namespace {

// The nearest part of `folder` that exists, for saying why the rest could not be made.
QFileInfo nearestExisting(const QString& folder) {
    QFileInfo info(folder);
    while (!info.exists() && !info.isRoot() && info.absolutePath() != info.absoluteFilePath())
        info = QFileInfo(info.absolutePath());
    return info;
}

} // namespace

QString prepareCaptureFolder(const QString& file) {
    const QString folder = QFileInfo(QDir::fromNativeSeparators(file)).absolutePath();
    const QString shown = QDir::toNativeSeparators(folder);
    if (QFileInfo(folder).isDir())
        return {};
    if (QDir().mkpath(folder))
        return {};
    const QFileInfo blocker = nearestExisting(folder);
    const QString blockerShown = QDir::toNativeSeparators(blocker.absoluteFilePath());
    if (blocker.exists() && !blocker.isDir())
        return QStringLiteral("The folder %1 cannot be created: %2 is a file, not a folder.")
            .arg(shown, blockerShown);
    if (blocker.exists() && !blocker.isWritable())
        return QStringLiteral("The folder %1 cannot be created: %2 does not allow new folders.")
            .arg(shown, blockerShown);
    return QStringLiteral("The folder %1 does not exist and cannot be created.").arg(shown);
}

} // namespace mirelo
