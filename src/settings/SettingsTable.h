#pragma once

#include "settings/RunSettings.h"

#include <QLatin1String>
#include <QString>

#include <optional>
#include <vector>

namespace mirelo {

// One setting of settings.dat without its type: what `mirelo-cli settings` lists and sets.
// Every setting is read from section "set"; sections compare without regard to case.
class SettingInfo {
public:
    SettingInfo(const char* key, const char* description, const char* writeSection);
    virtual ~SettingInfo() = default;
    SettingInfo(const SettingInfo&) = delete;
    SettingInfo& operator=(const SettingInfo&) = delete;

    QLatin1String key() const { return QLatin1String(m_key); }
    QLatin1String description() const { return QLatin1String(m_description); }
    // The section's spelling when a write has to create it.
    QLatin1String writeSection() const { return QLatin1String(m_writeSection); }

    // What the stored text reads as, in the stored form; a missing key is empty text.
    virtual QString valueText(const QString& stored, const QString& appFolder) const = 0;
    virtual QString defaultText(const QString& appFolder) const = 0;
    // The stored form of a value a user gives: empty text stands for the default; nullopt when
    // the text is no value of this setting.
    virtual std::optional<QString> storedForm(const QString& given) const = 0;

private:
    const char* m_key;
    const char* m_description;
    const char* m_writeSection;
};

// A setting and its type. Declaring one adds it to allSettings(), in the order declared.
template <typename T> class Setting final : public SettingInfo {
public:
    struct Rules {
        // The value of a missing or empty key, and of stored text that parse refuses.
        T (*fallback)(const QString& appFolder);
        // Trimmed, non-empty text to a value; nullopt when it is none.
        std::optional<T> (*parse)(const QString& text);
        QString (*format)(const T& value);
        // Stored text that parse refuses yet files hold with a meaning; nullptr: none.
        std::optional<T> (*readAnyway)(const QString& stored) = nullptr;
    };

    Setting(const char* key, const char* description, Rules rules, const char* writeSection = "set")
        : SettingInfo(key, description, writeSection), m_rules(rules) {}

    T read(const QString& stored, const QString& appFolder) const {
        const QString text = stored.trimmed();
        std::optional<T> value = text.isEmpty() ? std::nullopt : m_rules.parse(text);
        if (!value && !text.isEmpty() && m_rules.readAnyway)
            value = m_rules.readAnyway(text);
        return value ? *value : m_rules.fallback(appFolder);
    }
    QString format(const T& value) const { return m_rules.format(value); }

    QString valueText(const QString& stored, const QString& appFolder) const override {
        return format(read(stored, appFolder));
    }
    QString defaultText(const QString& appFolder) const override {
        return format(m_rules.fallback(appFolder));
    }
    std::optional<QString> storedForm(const QString& given) const override {
        const QString text = given.trimmed();
        if (text.isEmpty())
            return QString();
        const std::optional<T> value = m_rules.parse(text);
        return value ? std::optional<QString>(format(*value)) : std::nullopt;
    }

private:
    Rules m_rules;
};

// Every setting, in the order declared (the order `mirelo-cli settings` lists them).
const std::vector<const SettingInfo*>& allSettings();
// The setting of that key (compared without regard to case); nullptr when there is none.
const SettingInfo* findSetting(const QString& key);

// Where converted files go when no folder is stored: the application folder of a portable copy,
// the user's Videos folder when the application folder cannot be written (an installed copy).
QString defaultOutputFolder(const QString& appFolder);

namespace setting {
extern const Setting<QString> outputFolder;
extern const Setting<ExistingFilePolicy> existingFile;
extern const Setting<bool> autoShut;
extern const Setting<int> profile;
extern const Setting<SimultaneousJobs> jobs;
extern const Setting<QString> ytdlpProgram;
} // namespace setting

} // namespace mirelo
