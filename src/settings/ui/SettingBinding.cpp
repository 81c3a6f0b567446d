#include "settings/ui/SettingBinding.h"

#include <QCheckBox>
#include <QLineEdit>

namespace mirelo {

std::unique_ptr<SettingBinding> bindLineEdit(QLineEdit* edit, const Setting<QString>& setting,
                                             SettingBinding::Write write) {
    return std::make_unique<TypedBinding<QString>>(
        setting, write, [edit](const QString& value) { edit->setText(value); },
        [edit](const AppSettings&) { return edit->text().trimmed(); });
}

std::unique_ptr<SettingBinding> bindCheckBox(QCheckBox* check, const Setting<bool>& setting,
                                             SettingBinding::Write write) {
    return std::make_unique<TypedBinding<bool>>(
        setting, write, [check](const bool& on) { check->setChecked(on); },
        [check](const AppSettings&) { return check->isChecked(); });
}

} // namespace mirelo
