#include "settings/SettingsTable.h"

#include "profiles/Catalog.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace mirelo {

namespace {

std::vector<const SettingInfo*>& registry() {
    static std::vector<const SettingInfo*> all;
    return all;
}

// Yes/no settings store "1" or "0"; any other stored text reads as no, so a value the product
// never writes keeps files and never shuts the computer down.
std::optional<bool> parseYesNo(const QString& text) {
    if (text == QLatin1String("1"))
        return true;
    if (text == QLatin1String("0"))
        return false;
    return std::nullopt;
}

QString yesNoText(const bool& yes) {
    return yes ? QStringLiteral("1") : QStringLiteral("0");
}

std::optional<QString> anyText(const QString& text) {
    return text;
}

QString sameText(const QString& text) {
    return text;
}

// A position of the profile chooser, 0 for none: digits only.
std::optional<int> parsePositionText(const QString& text) {
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    const int position = text.size() <= 9 ? text.toInt() : -1;
    if (position < 0 || position > kCatalogSize)
        return std::nullopt;
    return position;
}

} // namespace

SettingInfo::SettingInfo(const char* key, const char* description, const char* writeSection)
    : m_key(key), m_description(description), m_writeSection(writeSection) {
    registry().push_back(this);
}

const std::vector<const SettingInfo*>& allSettings() {
    return registry();
}

const SettingInfo* findSetting(const QString& key) {
    for (const SettingInfo* s : registry())
        if (key.compare(s->key(), Qt::CaseInsensitive) == 0)
            return s;
    return nullptr;
}

QString defaultOutputFolder(const QString& appFolder) {
    const QFileInfo folder(appFolder);
    if (folder.isDir() && folder.isWritable())
        return appFolder;
    return QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
}

// The settings, each declared once: key as the file holds it, what it means, how it reads and
// writes. Nothing else in the product spells these keys.
namespace setting {

const Setting<QString> outputFolder{
    "outputfolder",
    "Where converted files go; empty: the application folder, or Videos when that cannot be "
    "written",
    {defaultOutputFolder, anyText, sameText}};

const Setting<ExistingFilePolicy> existingFile{
    "existedfile",
    "When an output's name is taken: 1 overwrites that file, 0 adds \"_New\" to the new name",
    {[](const QString&) { return ExistingFilePolicy::AddNew; },
     [](const QString& text) -> std::optional<ExistingFilePolicy> {
         const std::optional<bool> overwrite = parseYesNo(text);
         if (!overwrite)
             return std::nullopt;
         return *overwrite ? ExistingFilePolicy::Overwrite : ExistingFilePolicy::AddNew;
     },
     [](const ExistingFilePolicy& policy) {
         return yesNoText(policy == ExistingFilePolicy::Overwrite);
     }}};

const Setting<bool> autoShut{"autoshut",
                             "1: shut the computer down when a conversion run completes; 0: not",
                             {[](const QString&) { return false; }, parseYesNo, yesNoText}};

// Written at exit under "Set"; older files may hold text after the number, read as the number.
const Setting<int> profile{
    "profile",
    "The profile chooser's position at the last exit; 0: none",
    {[](const QString&) { return 0; }, parsePositionText,
     [](const int& position) { return QString::number(position); },
     [](const QString& stored) -> std::optional<int> { return parseStoredPosition(stored); }},
    "Set"};

const Setting<SimultaneousJobs> jobs{
    "jobs",
    "Files converted at once: a number up to the cores, or auto (whenever a core is idle)",
    {[](const QString&) { return SimultaneousJobs{}; }, parseSimultaneousJobs,
     [](const SimultaneousJobs& value) { return simultaneousJobsText(value); }}};

const Setting<QString> ytdlpProgram{
    "ytdlp",
    "The yt-dlp program the online import runs; empty: the one on PATH",
    {[](const QString&) { return QString(); }, anyText, sameText}};

} // namespace setting

} // namespace mirelo
