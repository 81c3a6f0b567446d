#include "convert/EncoderCommand.h"
#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "profiles/SheetNames.h"

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

EncoderRequest sample(int position) {
    EncoderRequest r;
    r.encoderPath = "/opt/fp";
    r.inputPath = "in.avi";
    r.outputPath = "out.x";
    r.position = position;
    r.videoCodec = "mpeg4";
    r.videoSize = "320x240";
    r.videoBitrate = "768";
    r.videoFramerate = "Auto";
    r.audioCodec = "aac";
    r.disableAudio = "No";
    r.sampleRate = "44100";
    r.audioBitrate = 128;
    r.audioChannel = 2;
    r.clipStartSeconds = 10;
    r.clipDurationSeconds = 50;
    return r;
}

const char* const kHead = R"("/opt/fp" -i "in.avi")";
const char* const kTail =
    R"(mpeg4  -ab 128  -ac 2 -ar 44100 -b 768k -r 25 -ss 10 -t 50 -s 320x240 -acodec libfaac "out.x")";
const char* const kWmv =
    R"(  -vcodec mpeg4 -b 768k -r 25 -ss 10 -t 50 -s 320x240 -acodec libfaac "out.x")";
const char* const k3gpTail = R"(   -b 768k -r 25 -ss 10 -t 50 -s 320x240 -acodec libfaac "out.x")";

struct Expected {
    int first;
    int last;
    QString afterInput;
};

// What follows the quoted input for every position, written out from the profile layouts.
const std::vector<Expected>& expectedLayouts() {
    static const std::vector<Expected> table = [] {
        const QString mp4 = QStringLiteral(" -f mp4  -vcodec ") + kTail;
        const QString avi = QStringLiteral(" -f avi  -vcodec ") + kTail;
        const QString wmv = kWmv;
        const QString flash = QStringLiteral(
            R"(  -ab 128  -ac 2 -ar 44100 -b 768k -r 25 -ss 10 -t 50 -s 320x240 -acodec libfaac "out.x")");
        const QString audio = QStringLiteral("  -ab 128  -ac 2 -ar 44100");
        return std::vector<Expected>{
            {1, 13, QStringLiteral(" -f mp4 -vcodec ") + kTail},
            {14, 16, QStringLiteral("  -vcodec ") + kTail},
            {17, 19, QStringLiteral(" -f psp -vcodec ") + kTail},
            {20, 26, QStringLiteral("  -vcodec ") + kTail},
            {27, 29, wmv},
            {30, 30, mp4},
            {31, 31, wmv},
            {32, 32, mp4},
            {33, 39, wmv},
            {40, 53, avi},
            {54, 54, wmv},
            {55, 55, mp4},
            {56, 57, wmv},
            {58, 58, avi},
            {59, 59, mp4},
            {60, 61, QStringLiteral("   -vcodec ") + kTail},
            {62, 63,
             QStringLiteral("   -vcodec mpeg4  -f 3gp -ac 1 -ar 8000 -ab 12.2k ") + k3gpTail},
            {64, 64,
             QStringLiteral(" -f 3g2  -vcodec mpeg4  -ac 1 -ar 8000 -ab 12.2k ") + k3gpTail},
            {65, 70, mp4},
            {71, 73, wmv},
            {74, 76, flash},
            {77, 78, wmv},
            {79, 80, R"( -target ntsc-dvd  -b 768k -r 25 -ss 10 -t 50 -s 320x240 "out.x")"},
            {81, 81, R"( -target pal-dvd  -b 768k -r 25 -ss 10 -t 50 -s 320x240 "out.x")"},
            {82, 83, QStringLiteral("   -vcodec ") + kTail},
            {84, 84, avi},
            {85, 85, wmv},
            {86, 86, mp4},
            {87, 88, audio + R"(  -vn -f  mp3 -vn "out.x")"},
            {89, 89, audio + R"(  -vn -f  ogg "out.x")"},
            {90, 90, audio + R"(  -vn -f  wav "out.x")"},
            {91, 91, audio + R"(  -vn -f  aac "out.x")"},
            {92, 92, R"( -acodec libfaac -vn "out.x")"},
        };
    }();
    return table;
}

} // namespace

TEST(EncoderCommand, EveryPositionHasItsLayoutText) {
    int covered = 0;
    for (const Expected& e : expectedLayouts())
        for (int p = e.first; p <= e.last; ++p, ++covered)
            EXPECT_EQ(buildEncoderCommand(sample(p)).text(), kHead + e.afterInput) << p;
    EXPECT_EQ(covered, 92);
    EXPECT_TRUE(buildEncoderCommand(sample(kCatalogSize + 1)).text().isEmpty());
    EXPECT_TRUE(buildEncoderCommand(sample(0)).text().isEmpty());
}

TEST(EncoderCommand, WorkedExampleFromTheSheet) {
    using namespace sheet;
    OptionSheet s;
    resetToDefaults(s);
    s.setValue(kVideoOptions, kVideoCodec, "mpeg4");
    s.setValue(kVideoOptions, kVideoBitrate, "768");
    s.setValue(kVideoOptions, kVideoFramerate, "Auto");
    QString error;
    auto request = gatherEncoderRequest(s, 2, R"(C:\App\fp.dll)", R"(C:\In\a.avi)",
                                        R"(C:\Out\a.mp4)", 10, 60, &error);
    ASSERT_TRUE(request) << error.toStdString();
    EXPECT_EQ(
        buildEncoderCommand(*request).text(),
        R"("C:\App\fp.dll" -i "C:\In\a.avi" -f mp4 -vcodec mpeg4  -ab 128  -ac 2 -ar 44100 -b 768k -r 25 -ss 10 -t 50 -s 320x240 -acodec libfaac "C:\Out\a.mp4")");

    s.setValue(kAudioOptions, kDisableAudio, "Yes");
    request = gatherEncoderRequest(s, 2, "fp", "a", "b", 10, 60, &error);
    EXPECT_TRUE(buildEncoderCommand(*request).text().endsWith(R"(-acodec libfaac -an  "b")"));
}

TEST(EncoderCommand, ValuesAndSwitches) {
    const struct {
        int position;
        void (*change)(EncoderRequest&);
        const char* fragment;
    } cases[] = {
        {2, [](EncoderRequest& r) { r.videoFramerate = "29.97"; }, " -r 29.97 "},
        {2, [](EncoderRequest& r) { r.videoFramerate = "23.976"; }, " -r 23.976 "},
        {2, [](EncoderRequest& r) { r.disableAudio = ""; }, "libfaac -an  \"out.x\""},
        {2, [](EncoderRequest& r) { r.disableAudio = "no"; }, "libfaac -an  \"out.x\""},
        {27, [](EncoderRequest& r) { r.disableAudio = "Yes"; }, "libfaac  -an \"out.x\""},
        {80, [](EncoderRequest& r) { r.disableAudio = "Yes"; }, "320x240 -an  \"out.x\""},
        {2, [](EncoderRequest& r) { r.clipDurationSeconds = -20; }, " -t -20 "},
        {2, [](EncoderRequest& r) { r.clipStartSeconds = 0; }, " -ss 0 "},
        {2, [](EncoderRequest& r) { r.videoCodec = "x264"; }, " -vcodec libx264 "},
        {2, [](EncoderRequest& r) { r.videoCodec = "weird"; }, " -vcodec weird "},
        {2, [](EncoderRequest& r) { r.audioCodec = "ac3"; }, " -acodec ac3 "},
        {2, [](EncoderRequest& r) { r.audioCodec = "mp2"; }, " -acodec mp2 "},
        {2, [](EncoderRequest& r) { r.audioBitrate = 12; }, " -ab 12 "},
        {63, [](EncoderRequest& r) { r.audioBitrate = 12; }, " -ab 12.2k "},
        {88, [](EncoderRequest& r) { r.clipStartSeconds = 99; }, "44100  -vn"},
        {92, [](EncoderRequest& r) { r.audioCodec = "WMA9"; }, R"("in.avi" -acodec wmav2 -vn)"},
    };
    for (const auto& c : cases) {
        EncoderRequest r = sample(c.position);
        c.change(r);
        EXPECT_TRUE(buildEncoderCommand(r).text().contains(QLatin1String(c.fragment)))
            << c.position << " " << c.fragment << "\n"
            << buildEncoderCommand(r).text().toStdString();
    }
}

TEST(EncoderCommand, CodecMaps) {
    const char* video[][2] = {{"xvid", "libxvid"},     {"x264", "libx264"},
                              {"mpeg4", "mpeg4"},      {"WMV V9", "wmv2"},
                              {"WMV V8", "wmv2"},      {"mjpeg", "mjpeg"},
                              {"h263", "h263"},        {"mpeg1", "mpeg1video"},
                              {"mpeg2", "mpeg2video"}, {"mpeg2video", "mpeg2video"},
                              {"FLV", "FLV"},          {"Xvid", "Xvid"}};
    for (const auto& [sheetValue, encoder] : video)
        EXPECT_EQ(encoderVideoCodec(sheetValue), QLatin1String(encoder)) << sheetValue;
    const char* audio[][2] = {{"aac", "libfaac"},   {"mp3", "libmp3lame"}, {"WMA9", "wmav2"},
                              {"WMA8", "wmav2"},    {"pcm", "pcm_s16le"},  {"amr_nb", "libamr_nb"},
                              {"faac", "libfaac"},  {"ac3", "ac3"},        {"ogg", "vorbis"},
                              {"wav", "pcm_s16le"}, {"WMA", "wmav2"},      {"mp2", "mp2"},
                              {"flac", "flac"},     {"AAC", "AAC"}};
    for (const auto& [sheetValue, encoder] : audio)
        EXPECT_EQ(encoderAudioCodec(sheetValue), QLatin1String(encoder)) << sheetValue;
}

TEST(EncoderCommand, IntegerConversion) {
    const struct {
        const char* text;
        std::optional<int> value;
    } cases[] = {{"128", 128},  {"12.2", 12},   {"2.5", 2},   {"3.5", 4},
                 {"-2.5", -2},  {" 64 ", 64},   {"1e2", 100}, {"32767", 32767},
                 {"32768", {}}, {"-32769", {}}, {"abc", {}},  {"", {}},
                 {"12,2", {}},  {"0x10", {}},   {"nan", {}},  {"inf", {}}};
    for (const auto& c : cases)
        EXPECT_EQ(toInteger16(QLatin1String(c.text)), c.value) << c.text;
}

TEST(EncoderCommand, NonNumericAudioOptionsAreAnError) {
    using namespace sheet;
    for (const char* item : {kAudioBitrate, kAudioChannel}) {
        OptionSheet s;
        resetToDefaults(s);
        s.setValue(kAudioOptions, item, "lots");
        QString error;
        // Even the WMA layout, which does not use the value, converts it.
        EXPECT_FALSE(gatherEncoderRequest(s, 92, "fp", "a", "b", 0, 0, &error));
        EXPECT_TRUE(error.contains(QLatin1String(item))) << error.toStdString();
    }
}

TEST(EncoderCommand, PathsStayWholeArguments) {
    EncoderRequest r = sample(2);
    r.encoderPath = "/opt/my tools/ffmpeg";
    r.inputPath = R"(/tmp/a "b" -c/ünï cödé.avi)";
    r.outputPath = "-out put.mp4";
    const EncoderCommand cmd = buildEncoderCommand(r);
    EXPECT_EQ(cmd.program(), r.encoderPath);
    const QStringList args = cmd.arguments();
    ASSERT_GE(args.size(), 3);
    EXPECT_EQ(args[0], "-i");
    EXPECT_EQ(args[1], r.inputPath);
    EXPECT_EQ(args.last(), r.outputPath);
    EXPECT_EQ(args.mid(2, 4), QStringList({"-f", "mp4", "-vcodec", "mpeg4"}));
    EXPECT_TRUE(args.contains("768k"));
    EXPECT_FALSE(args.contains(""));
    EXPECT_EQ(buildEncoderCommand(sample(63)).arguments().mid(2, 12),
              QStringList({"-vcodec", "mpeg4", "-f", "3gp", "-ac", "1", "-ar", "8000", "-ab",
                           "12.2k", "-b", "768k"}));
}

// An option value is never split into arguments of its own: blanks and dashes in a value stay
// inside the one argument that carries it, while the text shown keeps the value as it is.
TEST(EncoderCommand, OptionValuesStayInsideOneArgument) {
    const QString hostile = QStringLiteral("256 /abs/victim.mp4 -y -b:v 256");
    const struct {
        int position;
        void (*change)(EncoderRequest&, const QString&);
        const char* option; // the switch the value belongs to
        const char* suffix; // text the layout glues to the value
    } cases[] = {
        {2, [](EncoderRequest& r, const QString& v) { r.videoBitrate = v; }, "-b", "k"},
        {2, [](EncoderRequest& r, const QString& v) { r.videoSize = v; }, "-s", ""},
        {2, [](EncoderRequest& r, const QString& v) { r.videoFramerate = v; }, "-r", ""},
        {2, [](EncoderRequest& r, const QString& v) { r.sampleRate = v; }, "-ar", ""},
        {2, [](EncoderRequest& r, const QString& v) { r.videoCodec = v; }, "-vcodec", ""},
        {63, [](EncoderRequest& r, const QString& v) { r.audioCodec = v; }, "-acodec", ""},
        {88, [](EncoderRequest& r, const QString& v) { r.sampleRate = v; }, "-ar", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.position) + " " + c.option);
        EncoderRequest r = sample(c.position);
        const QStringList before = buildEncoderCommand(r).arguments();
        c.change(r, hostile);
        const EncoderCommand cmd = buildEncoderCommand(r);
        EXPECT_TRUE(cmd.text().contains(hostile));
        const QStringList args = cmd.arguments();
        EXPECT_EQ(args.size(), before.size()) << args.join('|').toStdString();
        EXPECT_EQ(args[args.indexOf(c.option) + 1], hostile + c.suffix);
        EXPECT_FALSE(args.contains("-y"));
        EXPECT_FALSE(args.contains("/abs/victim.mp4"));
        EXPECT_EQ(args.last(), "out.x");
    }
}
