#include "settings/AppPaths.h"

#include "base/ToolLocator.h"
#include "settings/SettingsLocation.h"

#include <QDir>
#include <QFileInfo>

namespace mirelo {

namespace {

QString skinIn(const QString& appFolder) {
    return QDir(appFolder).filePath(QStringLiteral("skins/frmmain.skn"));
}

} // namespace

AppPaths AppPaths::forApplication() {
    const QString folder = resourceFolder();
    return {folder, settingsFilePath(), skinIn(folder)};
}

AppPaths AppPaths::inFolder(const QString& appFolder) {
    return {appFolder, QDir(appFolder).filePath(QStringLiteral("settings.dat")), skinIn(appFolder)};
}

QString AppPaths::windowFile() const {
    return QFileInfo(settingsFile).absoluteDir().filePath(QStringLiteral("window.dat"));
}

} // namespace mirelo
