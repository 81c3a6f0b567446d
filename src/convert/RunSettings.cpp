#include "convert/RunSettings.h"

#include "settings/AppSettings.h"
#include "settings/Inifun.h"

namespace mirelo {

RunSettings readRunSettings(const AppSettings& settings) {
    const auto raw = [&](const char* key) {
        return ReadIniValue(settings.filePath(), QLatin1String(settingsKey::kSection),
                            QLatin1String(key));
    };
    return {settings.outputFolder(), raw(settingsKey::kExistedFile), raw(settingsKey::kAutoShut)};
}

} // namespace mirelo
