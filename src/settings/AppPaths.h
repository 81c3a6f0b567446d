#pragma once

#include <QString>

namespace mirelo {

// The files the desktop program reads and writes, resolved once at start. Windows take them
// from here instead of asking the platform, so tests can point them at a temporary folder.
struct AppPaths {
    QString appFolder;    // shipped files: skins/, help/, icons
    QString settingsFile; // settings.dat
    QString skinFile;     // skins/frmmain.skn

    // window.dat beside settings.dat: where the main window was left. The window's place is no
    // setting of settings.dat; it lives in a file of its own.
    QString windowFile() const;

    // The running program's paths (settings.dat by the location rule).
    static AppPaths forApplication();
    // Paths under one folder, settings.dat included: a portable copy or a test's folder.
    static AppPaths inFolder(const QString& appFolder);
};

} // namespace mirelo
