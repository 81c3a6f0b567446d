#include "settings/AppSettings.h"

#include "base/IniFile.h"
#include "base/ToolLocator.h"
#include "profiles/Catalog.h"
#include "settings/SettingsLocation.h"

#include <QFileInfo>
#include <QStandardPaths>

#include <utility>

namespace mirelo {

namespace {

// Section and key names as the file holds them. Nothing else in the product spells them.
namespace settingsKey {
inline constexpr char kSection[] = "set";
// Shutdown writes the profile under this spelling; sections compare without regard to case.
inline constexpr char kProfileSection[] = "Set";
inline constexpr char kOutputFolder[] = "outputfolder";
inline constexpr char kExistedFile[] = "existedfile";
inline constexpr char kAutoShut[] = "autoshut";
inline constexpr char kProfile[] = "profile";
inline constexpr char kJobs[] = "jobs";
inline constexpr char kYtdlp[] = "ytdlp";
} // namespace settingsKey

// The stored yes/no texts: "1" is yes, anything else (missing, "0", "2", text) is no.
bool isYes(const QString& stored) {
    return stored.trimmed() == QLatin1String("1");
}

} // namespace

AppSettings::AppSettings(QString filePath, QString appFolder)
    : m_filePath(std::move(filePath)), m_appFolder(std::move(appFolder)) {}

AppSettings AppSettings::forApplication() {
    return AppSettings(settingsFilePath(), applicationFolder());
}

QString AppSettings::read(const char* key) const {
    return readIniValue(m_filePath, QLatin1String(settingsKey::kSection), QLatin1String(key));
}

bool AppSettings::write(const char* key, const QString& value) const {
    return writeIniValue(m_filePath, QLatin1String(settingsKey::kSection), QLatin1String(key),
                         value);
}

QString AppSettings::storedOutputFolder() const {
    return read(settingsKey::kOutputFolder);
}

QString AppSettings::outputFolder() const {
    const QString stored = storedOutputFolder();
    return stored.isEmpty() ? defaultOutputFolder(m_appFolder) : stored;
}

AppSettings::ExistingFile AppSettings::existedFile() const {
    return isYes(read(settingsKey::kExistedFile)) ? ExistingFile::Overwrite : ExistingFile::AddNew;
}

bool AppSettings::autoShut() const {
    return isYes(read(settingsKey::kAutoShut));
}

int AppSettings::profile() const {
    return parseStoredPosition(read(settingsKey::kProfile));
}

SimultaneousJobs AppSettings::jobs() const {
    return parseSimultaneousJobs(read(settingsKey::kJobs)).value_or(SimultaneousJobs{});
}

QString AppSettings::ytdlpProgram() const {
    return read(settingsKey::kYtdlp).trimmed();
}

RunSettings AppSettings::runSettings() const {
    return {outputFolder(), existedFile(), autoShut(), jobs()};
}

bool AppSettings::setOutputFolder(const QString& folder) const {
    return write(settingsKey::kOutputFolder, folder.trimmed());
}

bool AppSettings::setExistedFile(ExistingFile policy) const {
    return write(settingsKey::kExistedFile,
                 policy == ExistingFile::Overwrite ? QStringLiteral("1") : QStringLiteral("0"));
}

bool AppSettings::setAutoShut(bool on) const {
    return write(settingsKey::kAutoShut, on ? QStringLiteral("1") : QStringLiteral("0"));
}

bool AppSettings::setJobs(SimultaneousJobs jobs) const {
    return write(settingsKey::kJobs, simultaneousJobsText(jobs));
}

bool AppSettings::setYtdlpProgram(const QString& program) const {
    return write(settingsKey::kYtdlp, program.trimmed());
}

bool AppSettings::setProfile(int position) const {
    return writeIniValue(m_filePath, QLatin1String(settingsKey::kProfileSection),
                         QLatin1String(settingsKey::kProfile), QString::number(position));
}

QString defaultOutputFolder(const QString& appFolder) {
    const QFileInfo folder(appFolder);
    if (folder.isDir() && folder.isWritable())
        return appFolder;
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
}

} // namespace mirelo
