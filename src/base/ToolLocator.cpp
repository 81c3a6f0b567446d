#include "base/ToolLocator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace mirelo {

QString applicationFolder() {
    return QCoreApplication::applicationDirPath();
}

QString resourceFolder() {
    const QDir app(applicationFolder());
    if (app.exists(QStringLiteral("skins")) || app.exists(QStringLiteral("help")))
        return app.absolutePath();
    const QString installed =
        app.absoluteFilePath(QStringLiteral("../share/mirelo-video-converter"));
    return QDir(installed).exists() ? QDir::cleanPath(installed) : app.absolutePath();
}

QString writableFolder() {
    const QFileInfo app(applicationFolder());
    if (app.isWritable())
        return app.absoluteFilePath();
    const QString data = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                             .filePath(QStringLiteral("mirelo-video-converter"));
    QDir().mkpath(data);
    return data;
}

namespace {

QString locate(const char* shippedName, const char* systemName) {
    const QFileInfo shipped(QDir(applicationFolder()).filePath(QLatin1String(shippedName)));
    if (shipped.isFile() && shipped.isExecutable())
        return shipped.absoluteFilePath();
    return QStandardPaths::findExecutable(QLatin1String(systemName));
}

} // namespace

QString locateEncoder() {
    return locate("fp.dll", "ffmpeg");
}
QString locatePlayer() {
    return locate("mp.dll", "mplayer");
}
QString encoderDisplayName() {
    return QStringLiteral("ffmpeg");
}
QString playerDisplayName() {
    return QStringLiteral("mplayer");
}

} // namespace mirelo
