#include "settings/AppSettings.h"

#include "base/IniFile.h"
#include "base/ToolLocator.h"
#include "settings/SettingsLocation.h"

#include <utility>

namespace mirelo {

namespace {
// Reads name the section so; a write that creates it uses the setting's own spelling.
inline constexpr char kSection[] = "set";
} // namespace

AppSettings::AppSettings(QString filePath, QString appFolder)
    : m_filePath(std::move(filePath)), m_appFolder(std::move(appFolder)) {}

AppSettings AppSettings::forApplication() {
    return AppSettings(settingsFilePath(), applicationFolder());
}

QString AppSettings::storedText(const SettingInfo& setting) const {
    return readIniValue(m_filePath, QLatin1String(kSection), setting.key());
}

bool AppSettings::storeText(const SettingInfo& setting, const QString& text) const {
    return writeIniValue(m_filePath, setting.writeSection(), setting.key(), text);
}

QString AppSettings::storedOutputFolder() const {
    return storedText(setting::outputFolder);
}

QString AppSettings::outputFolder() const {
    return value(setting::outputFolder);
}

AppSettings::ExistingFile AppSettings::existingFilePolicy() const {
    return value(setting::existingFile);
}

bool AppSettings::autoShut() const {
    return value(setting::autoShut);
}

int AppSettings::profile() const {
    return value(setting::profile);
}

SimultaneousJobs AppSettings::jobs() const {
    return value(setting::jobs);
}

QString AppSettings::ytdlpProgram() const {
    return value(setting::ytdlpProgram);
}

RunSettings AppSettings::runSettings() const {
    return {outputFolder(), existingFilePolicy(), autoShut(), jobs()};
}

bool AppSettings::setOutputFolder(const QString& folder) const {
    return store(setting::outputFolder, folder.trimmed());
}

bool AppSettings::setExistingFilePolicy(ExistingFile policy) const {
    return store(setting::existingFile, policy);
}

bool AppSettings::setAutoShut(bool on) const {
    return store(setting::autoShut, on);
}

bool AppSettings::setProfile(int position) const {
    return store(setting::profile, position);
}

bool AppSettings::setJobs(SimultaneousJobs jobs) const {
    return store(setting::jobs, jobs);
}

bool AppSettings::setYtdlpProgram(const QString& program) const {
    return store(setting::ytdlpProgram, program.trimmed());
}

} // namespace mirelo
