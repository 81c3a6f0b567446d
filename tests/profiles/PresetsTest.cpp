#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "profiles/SheetNames.h"

#include <gtest/gtest.h>

#include <initializer_list>

using namespace mirelo;
using namespace mirelo::sheet;

namespace {

struct Fresh {
    OptionSheet sheet;
    Fresh() { resetToDefaults(sheet); }
    Fresh& pick(std::initializer_list<int> positions) {
        for (int p : positions)
            applyPresets(sheet, p);
        return *this;
    }
    QString value(const char* category, const char* item) const {
        return sheet.value(category, item);
    }
    QStringList list(const char* category, const char* item) const {
        return sheet.item(category, item)->list;
    }
};

QStringList L(std::initializer_list<const char*> values) {
    QStringList out;
    for (const char* v : values)
        out += QString::fromLatin1(v);
    return out;
}

// Every item of the sheet as one text, to compare whole sheets.
QString dump(const OptionSheet& s) {
    QString out;
    for (const auto& c : s.categories())
        for (const auto& i : c.items)
            out += c.name + '/' + i.name + '=' + i.value + '[' + i.list.join(',') + ']' +
                   (i.readOnly ? "ro" : "") + '\n';
    return out;
}

} // namespace

TEST(Presets, SonyPspThenZuneKeepsWhatZuneLeavesOut) {
    Fresh f;
    f.pick({18});
    EXPECT_EQ(f.value(kVideoOptions, kVideoCodec), "mpeg4");
    EXPECT_EQ(f.list(kVideoOptions, kVideoCodec), L({"mpeg4"}));
    EXPECT_EQ(f.value(kVideoOptions, kVideoSize), "368x208");
    EXPECT_EQ(f.list(kVideoOptions, kVideoSize), L({"368x208", "320x240", "160x112"}));
    EXPECT_EQ(f.value(kVideoOptions, kVideoBitrate), "512");
    EXPECT_EQ(f.value(kVideoOptions, kVideoFramerate), "29.97");
    EXPECT_EQ(f.value(kAudioOptions, kAudioCodec), "aac");
    EXPECT_EQ(f.list(kAudioOptions, kAudioCodec), L({"aac"}));
    EXPECT_EQ(f.value(kAudioOptions, kAudioBitrate), "64");
    EXPECT_EQ(f.value(kAudioOptions, kSampleRate), "24000");

    f.pick({29});
    EXPECT_EQ(f.value(kVideoOptions, kVideoFramerate), "29.97");
    EXPECT_EQ(f.value(kAudioOptions, kAudioBitrate), "64");
    EXPECT_EQ(f.value(kAudioOptions, kSampleRate), "24000");
    EXPECT_EQ(f.value(kVideoOptions, kVideoCodec), "WMV V9");
    EXPECT_EQ(f.list(kVideoOptions, kVideoCodec), L({"WMV V9", "WMV V8"}));
    EXPECT_EQ(f.value(kAudioOptions, kAudioCodec), "WMA9");
}

TEST(Presets, BitrateListsReplacedOrAppendedWithoutRepeats) {
    const QStringList defaults =
        L({"48", "64", "128", "192", "256", "512", "768", "1000", "1500", "1152", "2500"});
    {
        Fresh f;
        f.pick({78});
        EXPECT_EQ(f.list(kVideoOptions, kVideoBitrate), L({"768", "512", "384", "256"}));
        EXPECT_EQ(f.value(kVideoOptions, kVideoBitrate), "512");
    }
    {
        Fresh f;
        f.pick({21, 21, 22});
        EXPECT_EQ(f.value(kVideoOptions, kVideoBitrate), "2000");
        EXPECT_EQ(f.list(kVideoOptions, kVideoBitrate), defaults + L({"2000", "3000"}));
    }
    {
        Fresh f;
        f.pick({73, 72});
        EXPECT_EQ(f.list(kVideoOptions, kVideoBitrate), defaults + L({"384"}));
        EXPECT_EQ(f.value(kVideoOptions, kVideoBitrate), "384");
        f.pick({73});
        EXPECT_EQ(f.value(kVideoOptions, kVideoBitrate), "768");
    }
    {
        Fresh f;
        f.pick({83, 83});
        EXPECT_EQ(f.list(kVideoOptions, kVideoBitrate), defaults + L({"1800"}));
        // The extended size list holds 720x480 and 720x576 once each.
        EXPECT_EQ(f.list(kVideoOptions, kVideoSize).size(), 16);
    }
}

TEST(Presets, SingleProfiles) {
    const struct {
        int position;
        const char* category;
        const char* item;
        const char* value;
    } cases[] = {
        {57, kVideoOptions, kVideoCodec, "WMV V8"},
        {21, kVideoOptions, kVideoSize, "720x480"},
        {22, kVideoOptions, kVideoSize, "720x576"},
        {23, kVideoOptions, kVideoSize, "1440x1080"},
        {21, kVideoOptions, kVideoFramerate, "29.976"},
        {63, kAudioOptions, kAudioBitrate, "12.2"},
        {81, kVideoOptions, kVideoFramerate, "25"},
        {80, kVideoOptions, kVideoFramerate, "25"},
        {82, kVideoOptions, kVideoFramerate, "29.970"},
        {84, kAudioOptions, kAudioCodec, "mp3"},
        {88, kAudioOptions, kAudioCodec, "mp3"},
        {16, kVideoOptions, kVideoCodec, "x264"},
        {16, kVideoOptions, kVideoSize, "800x480"},
    };
    for (const auto& c : cases) {
        Fresh f;
        f.pick({c.position});
        EXPECT_EQ(f.value(c.category, c.item), QLatin1String(c.value)) << c.position;
    }
    Fresh nexus;
    nexus.pick({16});
    EXPECT_EQ(nexus.list(kVideoOptions, kVideoCodec), L({"xvid", "x264", "mpeg4"}));

    Fresh pal;
    pal.pick({81});
    EXPECT_EQ(pal.list(kVideoOptions, kVideoFramerate), Fresh().list(kVideoOptions, kVideoFramerate));

    Fresh phone, phone2;
    phone.pick({63});
    phone2.pick({64});
    EXPECT_TRUE(phone.list(kVideoOptions, kVideoSize).contains("240x180"));
    EXPECT_FALSE(phone2.list(kVideoOptions, kVideoSize).contains("240x180"));
    phone2.pick({63});
    EXPECT_EQ(dump(phone.sheet), dump(phone2.sheet));
}

TEST(Presets, WmaChangesOnlyTheAudioCodec) {
    Fresh before, after;
    before.pick({18});
    after.pick({18, 92});
    after.sheet.setValue(kAudioOptions, kAudioCodec, before.value(kAudioOptions, kAudioCodec));
    after.sheet.clearListValues(kAudioOptions, kAudioCodec);
    for (const QString& v : before.list(kAudioOptions, kAudioCodec))
        after.sheet.addListValue(kAudioOptions, kAudioCodec, v);
    EXPECT_EQ(dump(before.sheet), dump(after.sheet));
}

TEST(Presets, HeadingsAndUnknownPositionsLeaveTheSheetAlone) {
    std::vector<int> positions = categoryPositions();
    positions.insert(positions.end(), {0, -1, 93, 1000});
    for (int p : positions) {
        Fresh f;
        f.pick({18});
        const QString before = dump(f.sheet);
        f.pick({p});
        EXPECT_EQ(dump(f.sheet), before) << p;
    }
}

TEST(Presets, TypedSizeIsReplacedByTheNextDevicePick) {
    Fresh f;
    f.sheet.setValue(kVideoOptions, kVideoSize, "999x999");
    f.pick({2});
    EXPECT_EQ(f.value(kVideoOptions, kVideoSize), "320x240");
}

TEST(Presets, EveryProfileLeavesAConsistentSheet) {
    const struct {
        const char* category;
        const char* item;
        const char* value;
    } untouched[] = {{kGeneral, kItemName, "Auto"},
                     {kOutputDuration, kStartTime, "00:00:00"},
                     {kAudioOptions, kAudioChannel, "1"},
                     {kAudioOptions, kDisableAudio, "No"},
                     {kAudioOptions, kAvSync, "Basic"}};
    for (const CatalogRow& row : catalogRows()) {
        if (row.kind == RowKind::Category)
            continue;
        Fresh f;
        f.sheet.setValue(kAudioOptions, kAudioChannel, "1");
        f.pick({row.position});
        EXPECT_FALSE(presetFor(row.position).empty()) << row.text;
        for (const auto& u : untouched)
            EXPECT_EQ(f.value(u.category, u.item), QLatin1String(u.value)) << row.text;
        // Codec and size values are offered in their own lists; no list repeats a value.
        for (const auto& [category, item] : {std::pair{kVideoOptions, kVideoCodec},
                                             std::pair{kVideoOptions, kVideoSize},
                                             std::pair{kAudioOptions, kAudioCodec}}) {
            const QStringList list = f.list(category, item);
            EXPECT_TRUE(list.contains(f.value(category, item))) << row.text << ' ' << item;
        }
        for (const auto& c : f.sheet.categories())
            for (const auto& i : c.items) {
                QStringList copy = i.list;
                EXPECT_EQ(copy.removeDuplicates(), 0) << row.text << ' ' << i.name.toStdString();
            }
    }
}
