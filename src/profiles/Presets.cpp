#include "profiles/Presets.h"

#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"

namespace mirelo {

const std::vector<ItemSetting>& presetFor(ProfileId profile) {
    static const std::vector<ItemSetting> none;
    const CatalogRow* row = catalogRow(profile);
    return row ? row->preset : none;
}

namespace {

// A profile without a constant-quality mode leaves "Video Quality" at "Auto", out of the user's
// reach, so the sheet never shows a setting the command line ignores.
void qualityFor(OptionSheet& sheet, const CatalogRow& row) {
    using namespace sheet;
    if (row.kind != RowKind::Profile || !sheet.item(kVideoOptions, kVideoQuality))
        return;
    if (row.quality) {
        sheet.setReadOnly(kVideoOptions, kVideoQuality, false);
        return;
    }
    sheet.setValue(kVideoOptions, kVideoQuality, QStringLiteral("Auto"));
    sheet.clearListValues(kVideoOptions, kVideoQuality);
    sheet.addListValue(kVideoOptions, kVideoQuality, QStringLiteral("Auto"));
    sheet.setReadOnly(kVideoOptions, kVideoQuality, true);
}

} // namespace

void applyPresets(OptionSheet& sheet, ProfileId profile) {
    if (const CatalogRow* row = catalogRow(profile))
        qualityFor(sheet, *row);
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
