#include "profiles/Presets.h"

#include "profiles/OptionSheet.h"

namespace mirelo {

const std::vector<ItemSetting>& presetFor(ProfileId profile) {
    static const std::vector<ItemSetting> none;
    const CatalogRow* row = catalogRow(profile);
    return row ? row->preset : none;
}

void applyPresets(OptionSheet& sheet, ProfileId profile) {
    for (const ItemSetting& step : presetFor(profile)) {
        if (!sheet.item(step.category, step.item))
            continue;
        if (step.clearList)
            sheet.clearListValues(step.category, step.item);
        if (step.value)
            sheet.setValue(step.category, step.item, step.value);
        for (const char* v : step.list)
            sheet.addListValue(step.category, step.item, v);
    }
}

} // namespace mirelo
