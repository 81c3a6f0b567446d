#pragma once

#include "settings/RunSettings.h"
#include "settings/SettingsTable.h"

#include <QString>

namespace mirelo {

// The product's settings in settings.dat, section "set", read and written through their
// declarations (SettingsTable.h). Every read goes to the file afresh, so a change made by the
// settings dialog or by another process is seen at the next use.
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
    ExistingFile existingFilePolicy() const;
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

    template <typename T> T value(const Setting<T>& setting) const {
        return setting.read(storedText(setting), m_appFolder);
    }
    // Returns false when the value could not be saved (the file is then unchanged).
    template <typename T> bool store(const Setting<T>& setting, const T& value) const {
        return storeText(setting, setting.format(value));
    }
    // The key's text as the file holds it; empty when missing.
    QString storedText(const SettingInfo& setting) const;
    // Stores text as it is: give it a setting's stored form (SettingInfo::storedForm).
    bool storeText(const SettingInfo& setting, const QString& text) const;

    // Each returns false when the value could not be saved (the file is then unchanged).
    bool setOutputFolder(const QString& folder) const;
    bool setExistingFilePolicy(ExistingFile policy) const;
    bool setAutoShut(bool on) const;
    bool setProfile(int position) const;
    bool setJobs(SimultaneousJobs jobs) const;
    bool setYtdlpProgram(const QString& program) const;

private:
    QString m_filePath;
    QString m_appFolder;
};

} // namespace mirelo
