// mirelo-cli settings: the settings of the settings.dat this tool uses, listed, set and unset
// through their declarations, so the tool accepts exactly what the desktop program reads.

#include "cli/Cli.h"

#include "settings/AppSettings.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace mirelo::cli {

namespace {

QString shownPath(const AppSettings& settings) {
    return QDir::toNativeSeparators(settings.filePath());
}

void printList(const AppSettings& settings) {
    out() << "Settings file: " << shownPath(settings) << "\n\n";
    for (const SettingInfo* s : allSettings()) {
        out() << s->key() << " = " << s->valueText(settings.storedText(*s), settings.appFolder())
              << "   (default: " << s->defaultText(settings.appFolder()) << ")\n    "
              << s->description() << '\n';
    }
    out().flush();
}

void printJsonList(const AppSettings& settings) {
    QJsonArray rows;
    for (const SettingInfo* s : allSettings()) {
        rows.append(QJsonObject{
            {QStringLiteral("key"), QString(s->key())},
            {QStringLiteral("value"), s->valueText(settings.storedText(*s), settings.appFolder())},
            {QStringLiteral("default"), s->defaultText(settings.appFolder())},
            {QStringLiteral("description"), QString(s->description())},
        });
    }
    const QJsonObject doc{{QStringLiteral("file"), settings.filePath()},
                          {QStringLiteral("settings"), rows}};
    out() << QString::fromUtf8(QJsonDocument(doc).toJson(QJsonDocument::Indented));
    out().flush();
}

const SettingInfo* knownSetting(const QString& key) {
    const SettingInfo* s = findSetting(key);
    if (!s)
        fail(kUsage, QStringLiteral("settings: there is no setting \"%1\" (mirelo-cli settings "
                                    "lists them)")
                         .arg(key));
    return s;
}

int store(const AppSettings& settings, const SettingInfo& s, const QString& text) {
    if (!settings.storeText(s, text))
        return fail(kFailed, QStringLiteral("settings: %1 could not be saved to %2")
                                 .arg(s.key(), shownPath(settings)));
    out() << s.key() << '=' << text << '\n';
    out().flush();
    return kOk;
}

int setValue(const AppSettings& settings, const QString& key, const QString& given) {
    const SettingInfo* s = knownSetting(key);
    if (!s)
        return kUsage;
    const std::optional<QString> form = s->storedForm(given);
    if (!form)
        return fail(kUsage, QStringLiteral("settings: %1 cannot take \"%2\" (%3)")
                                .arg(s->key(), given, s->description()));
    return store(settings, *s, *form);
}

// The key keeps its line with an empty value, which reads as a missing key: the default.
int unsetValue(const AppSettings& settings, const QString& key) {
    const SettingInfo* s = knownSetting(key);
    return s ? store(settings, *s, QString()) : kUsage;
}

} // namespace

int runSettingsCommand(const QStringList& args) {
    QString error;
    const auto parsed = parseArgs(args, {{"--json", false}}, &error);
    if (!parsed)
        return fail(kUsage, error);
    const QStringList& words = parsed->positionals;
    const AppSettings settings = AppSettings::forApplication();
    const bool json = parsed->has(QStringLiteral("--json"));
    if (words.isEmpty()) {
        json ? printJsonList(settings) : printList(settings);
        return kOk;
    }
    if (!json && words.size() == 3 && words[0] == QLatin1String("set"))
        return setValue(settings, words[1], words[2]);
    if (!json && words.size() == 2 && words[0] == QLatin1String("unset"))
        return unsetValue(settings, words[1]);
    return fail(kUsage, QStringLiteral("settings: expected no arguments, \"set KEY VALUE\" or "
                                       "\"unset KEY\" (see mirelo-cli settings --help)"));
}

} // namespace mirelo::cli
