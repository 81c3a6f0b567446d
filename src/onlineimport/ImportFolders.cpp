#include "onlineimport/ImportFolders.h"

#include "base/ToolLocator.h"

#include <QDir>

namespace mirelo {

QString importFolder() {
    return writableFolder();
}

QString loadingPicturePath() {
    return QDir(resourceFolder()).filePath(QStringLiteral("loading.jpg"));
}

} // namespace mirelo
