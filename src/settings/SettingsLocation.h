#pragma once

#include <QString>

namespace mirelo {

// Where settings.dat lives: in the application folder when the product may write there (a
// portable copy, the build tree); otherwise, for an installed copy, in userConfigFolder.
QString settingsFilePath(const QString& appFolder, const QString& userConfigFolder);

// The same for the running program: its application folder and the user's configuration folder
// for the product (~/.config/mirelo-video-converter).
QString settingsFilePath();

// The user's configuration folder for the product.
QString userConfigFolder();

} // namespace mirelo
