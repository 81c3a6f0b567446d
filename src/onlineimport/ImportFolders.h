#pragma once

#include <QString>

namespace mirelo {

// Where downloads and the "Cache" folder go: the application folder when the product may write
// there (a portable copy, the build tree), otherwise the user's data folder.
QString importFolder(const QString& appFolder, const QString& userDataFolder);
QString importFolder();

// The user's data folder for the product (~/.local/share/mirelo-video-converter).
QString userDataFolder();

// The picture shown while a page is fetched, shipped in the application folder.
QString loadingPicturePath();

} // namespace mirelo
