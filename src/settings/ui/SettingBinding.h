#pragma once

#include "settings/AppSettings.h"

#include <QAbstractButton>
#include <QComboBox>

#include <algorithm>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QCheckBox;
class QLineEdit;

namespace mirelo {

// One widget bound to one setting: it shows the stored value and writes back the widget's.
// A dialog's load and save are loops over its bindings.
class SettingBinding {
public:
    // When "OK" writes: always, or only when the widget's value differs from the stored one, so
    // a file that never held the key keeps not holding it.
    enum class Write { Always, WhenChanged };

    virtual ~SettingBinding() = default;
    virtual void load(const AppSettings& settings) = 0;
    // False when the value could not be saved.
    virtual bool save(const AppSettings& settings) const = 0;
};

template <typename T> class TypedBinding final : public SettingBinding {
public:
    using Show = std::function<void(const T& value)>;
    using Chosen = std::function<T(const AppSettings& settings)>;

    TypedBinding(const Setting<T>& setting, Write write, Show show, Chosen chosen)
        : m_setting(setting), m_write(write), m_show(std::move(show)), m_chosen(std::move(chosen)) {
    }

    void load(const AppSettings& settings) override { m_show(settings.value(m_setting)); }

    bool save(const AppSettings& settings) const override {
        const T value = m_chosen(settings);
        if (m_write == Write::WhenChanged && value == settings.value(m_setting))
            return true;
        return settings.store(m_setting, value);
    }

private:
    const Setting<T>& m_setting;
    Write m_write;
    Show m_show;
    Chosen m_chosen;
};

// A text setting in a line edit; the text is stored without its outer blanks.
std::unique_ptr<SettingBinding> bindLineEdit(QLineEdit* edit, const Setting<QString>& setting,
                                             SettingBinding::Write write);
std::unique_ptr<SettingBinding> bindCheckBox(QCheckBox* check, const Setting<bool>& setting,
                                             SettingBinding::Write write);

// A combo box whose items' data are stored forms of the setting's values. A value no item holds
// shows the first item.
template <typename T>
std::unique_ptr<SettingBinding> bindComboBox(QComboBox* combo, const Setting<T>& setting,
                                             SettingBinding::Write write) {
    return std::make_unique<TypedBinding<T>>(
        setting, write,
        [combo, &setting](const T& value) {
            combo->setCurrentIndex(std::max(0, combo->findData(setting.format(value))));
        },
        [combo, &setting](const AppSettings& settings) {
            return setting.read(combo->currentData().toString(), settings.appFolder());
        });
}

// Option buttons, one per value; with none checked the setting's default is chosen.
template <typename T>
std::unique_ptr<SettingBinding> bindOptions(std::vector<std::pair<QAbstractButton*, T>> options,
                                            const Setting<T>& setting,
                                            SettingBinding::Write write) {
    return std::make_unique<TypedBinding<T>>(
        setting, write,
        [options](const T& value) {
            for (const auto& [button, meaning] : options)
                if (meaning == value)
                    button->setChecked(true);
        },
        [options, &setting](const AppSettings& settings) {
            for (const auto& [button, meaning] : options)
                if (button->isChecked())
                    return meaning;
            return setting.read(QString(), settings.appFolder());
        });
}

} // namespace mirelo
