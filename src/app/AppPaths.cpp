#include "app/AppPaths.h"

#include "settings/SettingsLocation.h"
#include "tools/ToolLocator.h"

#include <QDir>
#include <QFileInfo>

namespace mirelo {

namespace {

QString skinIn(const QString& appFolder) {
    return QDir(appFolder).filePath(QStringLiteral("skins/frmmain.skn"));
}

// The window's place is no setting of settings.dat; it lives in a file of its own beside it.
QString windowFileBeside(const QString& settingsFile) {
    return QFileInfo(settingsFile).absoluteDir().filePath(QStringLiteral("window.dat"));
}

} // namespace

AppPaths AppPaths::forApplication() {
    const QString folder = resourceFolder();
    const QString settings = settingsFilePath();
    return {folder, settings, skinIn(folder), windowFileBeside(settings)};
}

AppPaths AppPaths::inFolder(const QString& appFolder) {
    const QString settings = QDir(appFolder).filePath(QStringLiteral("settings.dat"));
    return {appFolder, settings, skinIn(appFolder), windowFileBeside(settings)};
}

} // namespace mirelo
