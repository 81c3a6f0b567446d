#include "onlineimport/ImportFolders.h"

#include "tools/ToolLocator.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace mirelo {

QString importFolder(const QString& appFolder, const QString& userDataFolder) {
    const QFileInfo app(appFolder);
    return app.isDir() && app.isWritable() ? appFolder : userDataFolder;
}

QString importFolder() {
    return importFolder(applicationFolder(), userDataFolder());
}

QString userDataFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("mirelo-video-converter"));
}

QString loadingPicturePath() {
    return QDir(applicationFolder()).filePath(QStringLiteral("loading.jpg"));
}

} // namespace mirelo
