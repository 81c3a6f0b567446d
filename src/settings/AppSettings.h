#pragma once

#include "settings/RunSettings.h"

#include <QString>

namespace mirelo {

// The product's settings in settings.dat, section "set". Every read goes to the file afresh, so
// a change made by the settings dialog or by another process is seen at the next use.
class AppSettings {
public:
    using ExistingFile = ExistingFilePolicy;

    // filePath: the settings.dat to use; appFolder: the output folder when none is stored.
    AppSettings(QString filePath, QString appFolder);

    // The settings of the running program: settingsFilePath() and the application folder.
    static AppSettings forApplication();

    const QString& filePath() const { return m_filePath; }
    const QString& appFolder() const { return m_appFolder; }

    // The stored "outputfolder" as written; empty when none is stored.
    QString storedOutputFolder() const;
    // Where converted files go: the stored folder, else defaultOutputFolder().
    QString outputFolder() const;
    // Only "1" means overwrite; any other value ("0", nothing, "2", text) keeps existing files.
    // The settings dialog and the run both read it here, so the dialog shows what a run does.
    ExistingFile existedFile() const;
    // Only "1" asks for a shutdown after a batch.
    bool autoShut() const;
    // The stored chooser position; 0 when none, empty or not a number.
    int profile() const;
    // Rows converted at once: "1" to the cores or "auto"; missing or unreadable: one at a time.
    SimultaneousJobs jobs() const;
    // The yt-dlp program the import runs, as stored; empty: the one on PATH.
    QString ytdlpProgram() const;
    // The output folder, the existing-file policy, the shutdown flag and the jobs, read now.
    RunSettings runSettings() const;

    // Each returns false when the value could not be saved (the file is then unchanged).
    bool setOutputFolder(const QString& folder) const;
    bool setExistedFile(ExistingFile policy) const;
    bool setAutoShut(bool on) const;
    bool setProfile(int position) const;
    bool setJobs(SimultaneousJobs jobs) const;
    bool setYtdlpProgram(const QString& program) const;

private:
    QString read(const char* key) const;
    bool write(const char* key, const QString& value) const;

    QString m_filePath;
    QString m_appFolder;
};

// Where converted files go when no folder is stored: the application folder of a portable copy,
// the user's Videos folder when the application folder cannot be written (an installed copy).
QString defaultOutputFolder(const QString& appFolder);

} // namespace mirelo
