#include "settings/SettingsLocation.h"

#include "base/ToolLocator.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace mirelo {

namespace {

constexpr char kFileName[] = "settings.dat";

// The folder counts as writable only when a file could be created in it: settings are saved by
// writing a new file next to the old one and renaming it.
bool folderWritable(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isWritable();
}

} // namespace

QString settingsFilePath(const QString& appFolder, const QString& userConfigFolder) {
    const QString folder = folderWritable(appFolder) ? appFolder : userConfigFolder;
    return QDir(folder).filePath(QLatin1String(kFileName));
}

QString userConfigFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("mirelo-video-converter"));
}

QString settingsFilePath() {
    return settingsFilePath(applicationFolder(), userConfigFolder());
}

} // namespace mirelo
