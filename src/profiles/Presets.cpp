#include "profiles/Presets.h"

#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"

#include <utility>

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

// An older profile cannot keep the source's size, rate or sample rate: a value a newer row left
// at "Original" goes back to the sheet's default, and the lists stop offering it.
void noOriginalFor(OptionSheet& sheet, const CatalogRow& row) {
    using namespace sheet;
    if (row.kind != RowKind::Profile || row.isModern())
        return;
    OptionSheet defaults;
    resetToDefaults(defaults);
    for (auto [category, item] :
         {std::pair{kVideoOptions, kVideoSize}, std::pair{kVideoOptions, kVideoFramerate},
          std::pair{kAudioOptions, kSampleRate}}) {
        const OptionSheet::Item* it = sheet.item(category, item);
        if (!it || !it->list.contains(QStringLiteral("Original")))
            continue;
        QStringList list = it->list;
        list.removeAll(QStringLiteral("Original"));
        sheet.clearListValues(category, item);
        for (const QString& v : list)
            sheet.addListValue(category, item, v);
        if (sheet.value(category, item) == QLatin1String("Original"))
            sheet.setValue(category, item, defaults.value(category, item));
    }
}

} // namespace

void applyPresets(OptionSheet& sheet, ProfileId profile) {
    if (const CatalogRow* row = catalogRow(profile)) {
        qualityFor(sheet, *row);
        noOriginalFor(sheet, *row);
    }
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
