#include "profiles/Presets.h"

#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"

namespace mirelo {

// Defined in PresetTable.cpp: the steps of every position, index 0 unused.
const std::vector<std::vector<ItemSetting>>& presetTable();

const std::vector<ItemSetting>& presetFor(int position) {
    static const std::vector<ItemSetting> none;
    if (!catalogRow(position))
        return none;
    return presetTable()[static_cast<size_t>(position)];
}

void applyPresets(OptionSheet& sheet, int position) {
    for (const ItemSetting& step : presetFor(position)) {
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
