#include "tools/ToolLocator.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace mirelo {

QString applicationFolder() { return QCoreApplication::applicationDirPath(); }

namespace {

QString locate(const char* shippedName, const char* systemName) {
    const QFileInfo shipped(QDir(applicationFolder()).filePath(QLatin1String(shippedName)));
    if (shipped.isFile() && shipped.isExecutable())
        return shipped.absoluteFilePath();
    return QStandardPaths::findExecutable(QLatin1String(systemName));
}

} // namespace

QString locateEncoder() { return locate("fp.dll", "ffmpeg"); }
QString locatePlayer() { return locate("mp.dll", "mplayer"); }
QString encoderDisplayName() { return QStringLiteral("ffmpeg"); }
QString playerDisplayName() { return QStringLiteral("mplayer"); }

} // namespace mirelo
