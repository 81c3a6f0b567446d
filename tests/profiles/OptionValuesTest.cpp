#include "profiles/OptionValues.h"
#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "profiles/SheetNames.h"

#include <gtest/gtest.h>

#include <string>

using namespace mirelo;
using namespace mirelo::sheet;

TEST(OptionValues, ItemsTheEncoderReadsAsNumbersHoldOnlyNumbers) {
    const struct {
        const char* category;
        const char* item;
        const char* value;
        bool held;
    } cases[] = {
        {kVideoOptions, kVideoBitrate, "768", true},
        {kVideoOptions, kVideoBitrate, "1.5", true},
        {kVideoOptions, kVideoBitrate, "256 /abs/victim.mp4 -y -b:v 256", false},
        {kVideoOptions, kVideoBitrate, "", false},
        {kVideoOptions, kVideoBitrate, " 768", false},
        {kVideoOptions, kVideoBitrate, "-768", false},
        {kVideoOptions, kVideoBitrate, "768k", false},
        {kVideoOptions, kVideoSize, "1440x1080", true},
        {kVideoOptions, kVideoSize, "320X240", false},
        {kVideoOptions, kVideoSize, "320x240 -y", false},
        {kVideoOptions, kVideoSize, "x240", false},
        {kVideoOptions, kVideoFramerate, "Auto", true},
        {kVideoOptions, kVideoFramerate, "29.97", true},
        {kVideoOptions, kVideoFramerate, "auto", false},
        {kVideoOptions, kVideoFramerate, "30000/1001", false},
        {kAudioOptions, kSampleRate, "44100", true},
        {kAudioOptions, kSampleRate, "44.1", false},
        {kAudioOptions, kSampleRate, "44100 -y", false},
        {kAudioOptions, kAudioBitrate, "12.2", true}, // taken to 12 on the command line
        {kAudioOptions, kAudioBitrate, "fast", false},
        {kAudioOptions, kAudioChannel, "2", true},
        {kAudioOptions, kAudioChannel, "2 -y", false},
        {kVideoOptions, kVideoCodec, "any text -y", true}, // passed on as one argument
        {kAudioOptions, kAvSync, "", true},
        // The newer rows keep the source's size, rate and sample rate, and take a quality.
        {kVideoOptions, kVideoSize, "Original", true},
        {kVideoOptions, kVideoFramerate, "Original", true},
        {kAudioOptions, kSampleRate, "Original", true},
        {kVideoOptions, kVideoSize, "original", false},
        {kVideoOptions, kVideoBitrate, "Original", false},
        {kVideoOptions, kVideoQuality, "Auto", true},
        {kVideoOptions, kVideoQuality, "0", true},
        {kVideoOptions, kVideoQuality, "63", true},
        {kVideoOptions, kVideoQuality, "64", false},
        {kVideoOptions, kVideoQuality, "26.5", false},
        {kVideoOptions, kVideoQuality, "26 -y", false},
        {kVideoOptions, kVideoQuality, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.item) + " = \"" + c.value + '"');
        const QString error = optionValueError(c.category, c.item, c.value);
        EXPECT_EQ(error.isEmpty(), c.held) << error.toStdString();
        if (!c.held) {
            EXPECT_TRUE(error.contains('"' + QLatin1String(c.item) + '"'));
            EXPECT_TRUE(error.contains('"' + QLatin1String(c.value) + '"'));
        }
    }
}

// The defaults and every preset hold only values their items can hold.
TEST(OptionValues, DefaultsAndEveryPresetAreHeld) {
    OptionSheet sheet;
    resetToDefaults(sheet);
    EXPECT_EQ(sheetValueError(sheet), "");
    for (const CatalogRow& row : catalogRows()) {
        resetToDefaults(sheet);
        applyPresets(sheet, row.id());
        EXPECT_EQ(sheetValueError(sheet), "") << row.text;
        // Every value a list offers can be picked.
        for (const OptionSheet::Category& c : sheet.categories())
            for (const OptionSheet::Item& i : c.items)
                for (const QString& v : i.list)
                    EXPECT_EQ(optionValueError(c.name, i.name, v), "") << row.text;
    }
    sheet.setValue(kVideoOptions, kVideoSize, "wide");
    EXPECT_TRUE(sheetValueError(sheet).contains("\"Video Size\""));
}
