#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace mirelo;
using namespace mirelo::sheet;

TEST(OptionSheet, StartsWithTheDefaultsInOrder) {
    OptionSheet s;
    resetToDefaults(s);
    const struct {
        const char* category;
        const char* item;
        const char* value;
        bool list;
        bool readOnly;
        int listSize;
        const char* firstListValue;
    } expected[] = {
        {kGeneral, kItemName, "Auto", false, true, 0, nullptr},
        {kOutputDuration, kAllClipDuration, "00:00:00", false, true, 0, nullptr},
        {kOutputDuration, kStartTime, "00:00:00", false, true, 0, nullptr},
        {kOutputDuration, kStopTime, "00:00:00", false, true, 0, nullptr},
        {kVideoOptions, kVideoCodec, "xvid", true, false, 3, "xvid"},
        {kVideoOptions, kVideoSize, "320x240", true, false, 4, "320x240"},
        {kVideoOptions, kVideoBitrate, "256", true, false, 11, "48"},
        {kVideoOptions, kVideoFramerate, "29.97", true, false, 10, "Auto"},
        {kVideoOptions, kVideoQuality, "Auto", true, true, 1, "Auto"},
        {kAudioOptions, kAudioCodec, "aac", true, false, 3, "aac"},
        {kAudioOptions, kAudioBitrate, "128", true, false, 14, "32"},
        {kAudioOptions, kSampleRate, "44100", true, false, 7, "8000"},
        {kAudioOptions, kAudioChannel, "2", true, false, 2, "1"},
        {kAudioOptions, kDisableAudio, "No", true, false, 2, "No"},
        {kAudioOptions, kAvSync, "Basic", true, false, 2, "Basic"},
    };
    std::vector<std::pair<QString, QString>> order;
    for (const auto& c : s.categories())
        for (const auto& i : c.items)
            order.emplace_back(c.name, i.name);
    ASSERT_EQ(order.size(), std::size(expected));
    for (size_t n = 0; n < order.size(); ++n) {
        const auto& e = expected[n];
        EXPECT_EQ(order[n].first, QLatin1String(e.category));
        EXPECT_EQ(order[n].second, QLatin1String(e.item));
        const OptionSheet::Item* item = s.item(e.category, e.item);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->value, QLatin1String(e.value)) << e.item;
        EXPECT_EQ(item->kind == OptionSheet::ItemKind::List, e.list) << e.item;
        EXPECT_EQ(item->readOnly, e.readOnly) << e.item;
        EXPECT_EQ(item->list.size(), e.listSize) << e.item;
        if (e.firstListValue) {
            EXPECT_EQ(item->list.first(), QLatin1String(e.firstListValue));
        }
    }
    EXPECT_EQ(s.item(kVideoOptions, kVideoBitrate)->list.at(9), QStringLiteral("1152"));
}

TEST(OptionSheet, UnknownNamesAreReportedAndChangeNothing) {
    OptionSheet s;
    resetToDefaults(s);
    EXPECT_FALSE(s.setValue("Video Options", "Nope", "1"));
    EXPECT_FALSE(s.setValue("Nope", kVideoCodec, "1"));
    EXPECT_FALSE(s.addListValue("Nope", "Nope", "1"));
    EXPECT_FALSE(s.clearListValues("Video Options", "video codec")); // names are exact
    EXPECT_EQ(s.item("Nope", kVideoCodec), nullptr);
    EXPECT_TRUE(s.value("Nope", kVideoCodec).isEmpty());
    EXPECT_FALSE(s.addCategory(kGeneral));
    EXPECT_FALSE(s.addItem(kGeneral, kItemName, "x", OptionSheet::ItemKind::Text));
    EXPECT_FALSE(s.addItem("Nope", "x", "x", OptionSheet::ItemKind::Text));
}

TEST(OptionSheet, ValuesOutsideTheListAndRepeatedListValues) {
    OptionSheet s;
    resetToDefaults(s);
    QSignalSpy changed(&s, &OptionSheet::itemChanged);
    EXPECT_TRUE(s.setValue(kVideoOptions, kVideoSize, "1000x10"));
    EXPECT_EQ(s.value(kVideoOptions, kVideoSize), QStringLiteral("1000x10"));
    EXPECT_TRUE(s.addListValue(kVideoOptions, kVideoSize, "320x240"));
    EXPECT_EQ(s.item(kVideoOptions, kVideoSize)->list.count(QStringLiteral("320x240")), 1);
    EXPECT_EQ(changed.count(), 1); // the repeated value changed nothing
    resetToDefaults(s);
    EXPECT_EQ(s.value(kVideoOptions, kVideoSize), QStringLiteral("320x240"));
}
