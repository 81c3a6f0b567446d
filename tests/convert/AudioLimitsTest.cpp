// The channel counts and sample rates audio encoders take, from their help and from what they
// enforce without saying, checked against the installed encoder.

#include "convert/AudioLimits.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

QString encoderHelp(const QString& encoder) {
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-hide_banner"), QStringLiteral("-h"),
                                       QStringLiteral("encoder=") + encoder});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

TEST(AudioLimits, RecordedHelpTexts) {
    struct Case {
        const char* encoder;
        const char* help;
        AudioLimits expected;
    };
    const Case cases[] = {
        {"mp2",
         "Encoder mp2 [MP2 (MPEG audio layer 2)]:\n"
         "    Supported sample rates: 44100 48000 32000 22050 24000 16000\n"
         "    Supported sample formats: s16\n"
         "    Supported channel layouts: mono stereo\n",
         {2, {16000, 22050, 24000, 32000, 44100, 48000}}},
        {"ac3",
         "    Supported sample rates: 48000 44100 32000\n"
         "    Supported channel layouts: mono stereo 3.0(back) 3.0 quad(side) quad 4.0 5.0(side) "
         "5.0 2 channels (FC+LFE) 2.1 4 channels (FL+FR+LFE+BC) 3.1 4.1 5.1(side) 5.1\n",
         {6, {32000, 44100, 48000}}},
        {"wmav2", "    Supported sample formats: fltp\n", {2, {}}},
        {"libopencore_amrnb", "Encoder libopencore_amrnb:\n", {1, {8000}}},
        {"aac", "    Supported sample rates: 96000 8000\n", {0, {8000, 96000}}},
        {"pcm_s16le", "    Supported sample formats: s16\n", {0, {}}},
        {"garbled",
         "    Supported sample rates: 1 44100 2147483647\n"
         "    Supported channel layouts: 99 channels\n",
         {64, {44100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoder);
        EXPECT_EQ(audioLimitsFromHelp(QLatin1String(c.encoder), QLatin1String(c.help)), c.expected);
    }
}

TEST(AudioLimits, NearestSampleRate) {
    const QList<int> mp2{16000, 22050, 24000, 32000, 44100, 48000};
    const std::tuple<QList<int>, int, int> cases[] = {
        {mp2, 96000, 48000},   {mp2, 44100, 44100},
        {mp2, 11025, 16000},   {mp2, 23025, 24000}, // a tie goes to the higher rate
        {{8000}, 48000, 8000}, {{}, 96000, 96000},
    };
    for (const auto& [rates, asked, expected] : cases)
        EXPECT_EQ(nearestSampleRate(rates, asked), expected) << asked;
}

// The encoders the profiles use, as the installed program describes them.
TEST(AudioLimits, TheInstalledEncodersLimits) {
    struct Case {
        const char* encoder;
        int maxChannels;
        int rateAsked;
        int rateGiven;
    };
    const Case cases[] = {
        {"wmav2", 2, 48000, 48000},
        {"mp2", 2, 96000, 48000},
        {"libmp3lame", 2, 96000, 48000},
        {"ac3", 6, 96000, 48000},
        {"libopencore_amrnb", 1, 44100, 8000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoder);
        const QString help = encoderHelp(QLatin1String(c.encoder));
        ASSERT_TRUE(help.contains(QLatin1String(c.encoder))) << "the encoder is not installed";
        const AudioLimits limits = audioLimitsFromHelp(QLatin1String(c.encoder), help);
        EXPECT_EQ(limits.maxChannels, c.maxChannels);
        EXPECT_EQ(nearestSampleRate(limits.sampleRates, c.rateAsked), c.rateGiven);
    }
}

// Whether an encoder runs in one thread, from recorded help lines and the installed encoders.
TEST(AudioLimits, HelpStatesOneThread) {
    const struct {
        const char* help;
        bool oneThread;
    } recorded[] = {
        {"Encoder libxvid [libxvidcore MPEG-4 part 2]:\n    Threading capabilities: none\n", true},
        {"    General capabilities: delay threads \n    Threading capabilities: slice\n", false},
        {"    Threading capabilities: frame and slice\n", false},
        {"    Threading capabilities: other\n", false},
        {"Encoder wmav2 [Windows Media Audio 2]:\n    General capabilities: none\n", false},
        {"", false},
    };
    for (const auto& c : recorded)
        EXPECT_EQ(helpStatesOneThread(QString::fromUtf8(c.help)), c.oneThread) << c.help;
    const struct {
        const char* encoder;
        bool oneThread;
    } installed[] = {{"libxvid", true},    {"wmav2", true},  {"flv", true},
                     {"libmp3lame", true}, {"mpeg4", false}, {"libx264", false}};
    for (const auto& c : installed) {
        const QString help = encoderHelp(QLatin1String(c.encoder));
        ASSERT_TRUE(help.contains(QLatin1String(c.encoder))) << c.encoder << " is not installed";
        EXPECT_EQ(helpStatesOneThread(help), c.oneThread) << c.encoder;
    }
}
