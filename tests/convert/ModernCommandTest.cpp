// The command lines of the rows after the first 92, from the sheet their presets leave.

#include "convert/EncoderCommand.h"
#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "profiles/SheetNames.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace mirelo;
using namespace mirelo::sheet;

namespace {

using Changes = std::vector<std::pair<const char*, const char*>>; // item of Video Options, value

std::optional<EncoderRequest> request(int position, const Changes& changes, QString* error,
                                      int start = 0, int end = 0) {
    OptionSheet sheet;
    resetToDefaults(sheet);
    applyPresets(sheet, position);
    for (const auto& [item, value] : changes) {
        const char* category = sheet.item(kVideoOptions, item) ? kVideoOptions : kAudioOptions;
        EXPECT_TRUE(sheet.setValue(category, item, value)) << item;
    }
    return gatherEncoderRequest(sheet, position, "/opt/fp", "in.mkv", "out.x", start, end, error);
}

QString commandAfterInput(int position, const Changes& changes = {}, int start = 0, int end = 0) {
    QString error;
    const std::optional<EncoderRequest> r = request(position, changes, &error, start, end);
    EXPECT_TRUE(r) << error.toStdString();
    if (!r)
        return {};
    const QString text = buildEncoderCommand(*r).text();
    return text.mid(text.indexOf(QLatin1String("\"in.mkv\"")) + 8);
}

} // namespace

TEST(ModernCommand, PresetsGiveConstantQualityAtTheSourcesSizeAndRate) {
    const struct {
        int position;
        const char* afterInput;
    } cases[] = {
        {94, R"( -c:v libx265 -crf 26 -c:a aac -b:a 128k -ac 2 -tag:v hvc1 -f mp4 "out.x")"},
        {95, R"( -c:v libsvtav1 -crf 32 -c:a libopus -b:a 128k -ac 2 -preset 8 -f webm "out.x")"},
        {96,
         R"( -c:v libvpx-vp9 -crf 33 -b:v 0 -c:a libopus -b:a 128k -ac 2 -row-mt 1 -deadline good -cpu-used 4 -f webm "out.x")"},
        {97,
         R"( -c:v libx264 -crf 20 -c:a aac -b:a 160k -ac 2 -movflags +faststart -f mp4 "out.x")"},
        {98, R"( -c:v libx265 -crf 26 -c:a aac -b:a 128k -ac 2 -f matroska "out.x")"},
        {104, R"( -vn -sn -c:a libopus -b:a 128k -ac 2 -f opus "out.x")"},
        // Lossless audio has no bitrate.
        {105, R"( -vn -sn -c:a flac -ac 2 -f flac "out.x")"},
        {106, R"( -vn -sn -c:a alac -ac 2 -f ipod "out.x")"},
        // The graphics card's encoders: VAAPI opens its device and uploads the frames.
        {108,
         R"( -vaapi_device /dev/dri/renderD128 -c:v h264_vaapi -qp 23 -vf format=nv12,hwupload -c:a aac -b:a 128k -ac 2 -f mp4 "out.x")"},
        {111,
         R"( -c:v hevc_nvenc -rc vbr -cq 26 -b:v 0 -c:a aac -b:a 128k -ac 2 -tag:v hvc1 -f mp4 "out.x")"},
        {112, R"( -c:v h264_qsv -global_quality 23 -c:a aac -b:a 128k -ac 2 -f mp4 "out.x")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(commandAfterInput(c.position).toStdString(), c.afterInput) << c.position;
}

TEST(ModernCommand, PickedValuesReplaceTheSourcesOnes) {
    const struct {
        int position;
        Changes changes;
        const char* afterInput;
    } cases[] = {
        // A picked size sets the height and keeps the aspect ratio; a picked rate is written.
        {94,
         {{kVideoSize, "1280x720"}, {kVideoFramerate, "25"}},
         R"( -c:v libx265 -crf 26 -vf scale=-2:720 -r 25 -c:a aac -b:a 128k -ac 2 -tag:v hvc1 -f mp4 "out.x")"},
        // "Auto" quality falls back to the bitrate, as the older rows encode.
        {97,
         {{kVideoQuality, "Auto"}, {kVideoBitrate, "1500"}},
         R"( -c:v libx264 -b:v 1500k -c:a aac -b:a 160k -ac 2 -movflags +faststart -f mp4 "out.x")"},
        {96,
         {{kVideoQuality, "40"}, {kSampleRate, "48000"}},
         R"( -c:v libvpx-vp9 -crf 40 -b:v 0 -c:a libopus -b:a 128k -ac 2 -ar 48000 -row-mt 1 -deadline good -cpu-used 4 -f webm "out.x")"},
        // The upload filter follows the scaling on the card's rows.
        {109,
         {{kVideoSize, "854x480"}},
         R"( -vaapi_device /dev/dri/renderD128 -c:v hevc_vaapi -qp 26 -vf scale=-2:480,format=nv12,hwupload -c:a aac -b:a 128k -ac 2 -tag:v hvc1 -f mp4 "out.x")"},
        {98,
         {{kDisableAudio, "Yes"}},
         R"( -c:v libx265 -crf 26 -c:a aac -b:a 128k -ac 2 -an -f matroska "out.x")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(commandAfterInput(c.position, c.changes).toStdString(), c.afterInput)
            << c.position;
}

TEST(ModernCommand, CopyRowsTakeTheStreamsThePlanChose) {
    QString error;
    std::optional<EncoderRequest> r = request(101, {}, &error, 5, 15);
    ASSERT_TRUE(r);
    r->sourceOptions = " -map 0:0 -map 0:2";
    EXPECT_EQ(buildEncoderCommand(*r).arguments(),
              QStringList({"-i", "in.mkv", "-map", "0:0", "-map", "0:2", "-c", "copy", "-f", "mp4",
                           "-ss", "5", "-t", "10", "out.x"}));
    r = request(102, {}, &error);
    ASSERT_TRUE(r);
    r->sourceOptions = " -map 0:1 -f matroska";
    EXPECT_EQ(buildEncoderCommand(*r).arguments(),
              QStringList({"-i", "in.mkv", "-vn", "-sn", "-map", "0:1", "-f", "matroska", "-c:a",
                           "copy", "out.x"}));
}

TEST(ModernCommand, OlderRowsIgnoreQualityAndRefuseOriginal) {
    // A quality left from a newer row changes nothing on an older one.
    OptionSheet sheet;
    resetToDefaults(sheet);
    applyPresets(sheet, 94);
    applyPresets(sheet, 86);
    EXPECT_EQ(sheet.value(kVideoOptions, kVideoQuality), "Auto");
    EXPECT_TRUE(sheet.item(kVideoOptions, kVideoQuality)->readOnly);
    QString error;
    const auto r = gatherEncoderRequest(sheet, 86, "/opt/fp", "in", "out", 0, 0, &error);
    ASSERT_TRUE(r);
    sheet.setValue(kVideoOptions, kVideoQuality, "20");
    const auto q = gatherEncoderRequest(sheet, 86, "/opt/fp", "in", "out", 0, 0, &error);
    ASSERT_TRUE(q);
    EXPECT_EQ(buildEncoderCommand(*q).text(), buildEncoderCommand(*r).text());
    EXPECT_FALSE(buildEncoderCommand(*q).text().contains("crf"));

    // "Original" has no meaning to an older layout: the row is refused, naming the item.
    const struct {
        const char* category;
        const char* item;
    } kept[] = {{kVideoOptions, kVideoSize},
                {kVideoOptions, kVideoFramerate},
                {kAudioOptions, kSampleRate}};
    for (const auto& k : kept) {
        OptionSheet s;
        resetToDefaults(s);
        applyPresets(s, 86);
        s.setValue(k.category, k.item, "Original");
        QString why;
        EXPECT_FALSE(gatherEncoderRequest(s, 86, "/opt/fp", "in", "out", 0, 0, &why)) << k.item;
        EXPECT_TRUE(why.contains(k.item)) << why.toStdString();
    }
}

TEST(ModernCommand, AnOlderRowPickedAfterANewerOneDropsOriginal) {
    // Rows that set the size but not the rate (29), the rate too (86), only audio (88).
    for (int older : {29, 86, 88, 92}) {
        SCOPED_TRACE(older);
        OptionSheet sheet;
        resetToDefaults(sheet);
        applyPresets(sheet, 95);
        applyPresets(sheet, older);
        for (auto [category, item] :
             {std::pair{kVideoOptions, kVideoSize}, std::pair{kVideoOptions, kVideoFramerate},
              std::pair{kAudioOptions, kSampleRate}}) {
            EXPECT_NE(sheet.value(category, item), "Original") << item;
            EXPECT_FALSE(sheet.item(category, item)->list.contains("Original")) << item;
        }
        QString error;
        EXPECT_TRUE(gatherEncoderRequest(sheet, older, "/opt/fp", "in", "out", 0, 0, &error))
            << error.toStdString();
    }
    // Back on a newer row, "Original" is offered and picked again.
    OptionSheet sheet;
    resetToDefaults(sheet);
    applyPresets(sheet, 94);
    applyPresets(sheet, 29);
    applyPresets(sheet, 96);
    EXPECT_EQ(sheet.value(kVideoOptions, kVideoFramerate), "Original");
    EXPECT_EQ(sheet.value(kAudioOptions, kSampleRate), "Original");
}

TEST(ModernCommand, QualityPresetsAndTheirSteps) {
    const struct {
        int position;
        const char* quality;
    } cases[] = {{94, "26"}, {95, "32"}, {96, "33"}, {97, "20"}, {98, "26"}};
    for (const auto& c : cases) {
        OptionSheet sheet;
        resetToDefaults(sheet);
        applyPresets(sheet, c.position);
        const OptionSheet::Item* q = sheet.item(kVideoOptions, kVideoQuality);
        EXPECT_EQ(q->value, c.quality) << c.position;
        EXPECT_FALSE(q->readOnly) << c.position;
        EXPECT_EQ(q->list.first(), "Auto") << c.position;
        EXPECT_GE(q->list.size(), 5) << c.position;
        EXPECT_FALSE(q->description.isEmpty());
        EXPECT_EQ(sheet.value(kVideoOptions, kVideoSize), "Original") << c.position;
        EXPECT_EQ(sheet.value(kVideoOptions, kVideoFramerate), "Original") << c.position;
    }
}
