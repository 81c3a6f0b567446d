#pragma once

#include <QString>

namespace mirelo {

// The product's settings in settings.dat, section "set". Every read goes to the file afresh, so
// a change made by the settings dialog or by another process is seen at the next use.
class AppSettings {
public:
    enum class ExistingFile { AddNew, Overwrite };

    // filePath: the settings.dat to use; appFolder: the output folder when none is stored.
    AppSettings(QString filePath, QString appFolder);

    // The settings of the running program: settingsFilePath() and the application folder.
    static AppSettings forApplication();

    const QString& filePath() const { return m_filePath; }
    const QString& appFolder() const { return m_appFolder; }

    // The stored "outputfolder" as written; empty when none is stored.
    QString storedOutputFolder() const;
    // Where converted files go: the stored folder, else the application folder.
    QString outputFolder() const;
    // A stored number other than 0 means overwrite; "0", nothing or a non-number means add "New".
    ExistingFile existedFile() const;
    // Only the number 1 asks for a shutdown after a batch.
    bool autoShut() const;
    // The stored chooser position; 0 when none, empty or not a number.
    int profile() const;

    // Each returns false when the value could not be saved (the file is then unchanged).
    bool setOutputFolder(const QString& folder) const;
    bool setExistedFile(ExistingFile policy) const;
    bool setAutoShut(bool on) const;
    bool setProfile(int position) const;

private:
    QString read(const char* key) const;
    bool write(const char* key, const QString& value) const;

    QString m_filePath;
    QString m_appFolder;
};

// Section and key names as the file holds them.
namespace settingsKey {
inline constexpr char kSection[] = "set";
// Shutdown writes the profile under this spelling; sections compare without regard to case.
inline constexpr char kProfileSection[] = "Set";
inline constexpr char kOutputFolder[] = "outputfolder";
inline constexpr char kExistedFile[] = "existedfile";
inline constexpr char kAutoShut[] = "autoshut";
inline constexpr char kProfile[] = "profile";
} // namespace settingsKey

} // namespace mirelo
