#include "probe/MediaInfo.h"

#include <gtest/gtest.h>

#include <limits>

namespace mirelo {
namespace {

struct ParseCase {
    const char* name;
    const char* output;
    ProbeColumns expected; // start, end, size, format, videoTime
};

TEST(ProbeParserTest, FillsTheColumnsFromIdentificationLines) {
    const ParseCase cases[] = {
        {"nothing found", "", {"0:00:00", "", "0x0", "", ""}},
        {"fraction rounds down",
         "ID_LENGTH=83.4\r\n",
         {"0:00:00", "0:01:23", "0x0", "", "0:01:23"}},
        {"fraction rounds up", "ID_LENGTH=83.6\r\n", {"0:00:00", "0:01:24", "0x0", "", "0:01:24"}},
        {"exact half rounds up",
         "ID_LENGTH=83.5\r\n",
         {"0:00:00", "0:01:24", "0x0", "", "0:01:24"}},
        {"hours past 24 do not wrap",
         "ID_LENGTH=90000\r\n",
         {"0:00:00", "25:00:00", "0x0", "", "25:00:00"}},
        {"length not a number", "ID_LENGTH=abc\r\n", {"0:00:00", "0:00:00", "0x0", "", "0:00:00"}},
        {"leading number only",
         "ID_LENGTH=12.4s\r\n",
         {"0:00:00", "0:00:12", "0x0", "", "0:00:12"}},
        {"format as printed", "ID_VIDEO_FORMAT=XVID\r\n", {"0:00:00", "", "0x0", "XVID", ""}},
        {"key without =", "ID_VIDEO_WIDTH\r\nID_VIDEO_HEIGHT\r\n", {"0:00:00", "", "0x0", "", ""}},
        {"other letter cases",
         "id_video_width=640\r\nID_Length=50\r\n",
         {"0:00:00", "", "0x0", "", ""}},
        {"blanks around =",
         "ID_VIDEO_WIDTH = 640\r\nID_LENGTH =50\r\n",
         {"0:00:00", "", "0x0", "", ""}},
        {"last value wins",
         "ID_VIDEO_WIDTH=320\r\nID_VIDEO_HEIGHT=240\r\nID_VIDEO_WIDTH=640\r\nID_VIDEO_FORMAT=a\r\n"
         "ID_VIDEO_FORMAT=0x10000001\r\n",
         {"0:00:00", "", "640x240", "0x10000001", ""}},
        {"width not a number is ignored, the fill goes on",
         "ID_VIDEO_WIDTH=wide\r\nID_VIDEO_HEIGHT=480\r\nID_LENGTH=5\r\n",
         {"0:00:00", "0:00:05", "0x480", "", "0:00:05"}},
        {"second = ends the value", "ID_VIDEO_FORMAT=a=b\r\n", {"0:00:00", "", "0x0", "a", ""}},
        {"line feed alone",
         "ID_VIDEO_WIDTH=160\nID_VIDEO_HEIGHT=120\nID_LENGTH=2.10\n",
         {"0:00:00", "0:00:02", "160x120", "", "0:00:02"}},
        {"status line ending in a bare CR before a key",
         "A:   0.5 V:   0.5 A-V:  0.000\rID_LENGTH=61\r\n",
         {"0:00:00", "0:01:01", "0x0", "", "0:01:01"}},
        {"last line without an end", "ID_VIDEO_WIDTH=8", {"0:00:00", "", "8x0", "", ""}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ProbeColumns got = probeColumns(parseIdentifyOutput(QString::fromUtf8(c.output)));
        EXPECT_EQ(got.start, c.expected.start);
        EXPECT_EQ(got.end, c.expected.end);
        EXPECT_EQ(got.size, c.expected.size);
        EXPECT_EQ(got.format, c.expected.format);
        EXPECT_EQ(got.videoTime, c.expected.videoTime);
    }
}

// Lines as MPlayer prints them for a short AVI with sound, probed with sound off.
const char kRecordedVideoProbe[] =
    "MPlayer UNKNOWN-12 (C) 2000-2023 MPlayer Team\n"
    "Playing av.avi.\n"
    "ID_VIDEO_ID=0\n[aviheader] Video stream found, -vid 0\n"
    "ID_AUDIO_ID=1\n[aviheader] Audio stream found, -aid 1\n"
    "ID_VIDEO_CODEC=ffodivx\nID_FILENAME=av.avi\nID_DEMUXER=avi\nID_VIDEO_FORMAT=FMP4\n"
    "ID_VIDEO_BITRATE=98864\nID_VIDEO_WIDTH=160\nID_VIDEO_HEIGHT=120\nID_VIDEO_FPS=10.000\n"
    "ID_VIDEO_ASPECT=0.0000\nID_START_TIME=0.00\nID_LENGTH=2.10\nID_SEEKABLE=1\n"
    "Audio: no sound\n[CROP] Crop area: X: 0..159  Y: 0..119  (-vf crop=160:112:0:4).\n"
    "V:   0.1   2/  2 ??% ??% ??,?% 0 0 \r"
    "Exiting... (End of file)\nID_EXIT=EOF\n";

// An audio-only file probed with sound off: MPlayer stops before the length.
const char kRecordedAudioProbe[] = "ID_AUDIO_ID=0\nAudio only file format detected.\n"
                                   "Exiting... (End of file)\nID_EXIT=EOF\n";

// A length no file can have is unknown (no time string), rather than a wrapped or overflowed
// clock time; a day or more keeps its hours.
TEST(ProbeParserTest, AbsurdLengthsAreUnknownAndLongOnesKeepTheirHours) {
    const struct {
        const char* value;
        const char* shown; // "" when unknown
    } cases[] = {
        {"86399.4", "23:59:59"},
        {"86400.5", "24:00:01"},
        {"359999", "99:59:59"},
        {"3600000", "1000:00:00"},
        {"3600000.6", ""},
        {"1e308", ""},
        {"1e400", ""},
        {"9223372036854775808", ""},
        {"18446744073709551616", ""},
        {"-5", ""},
        {"-0.4", ""},
        {"nan", ""},
        {"-nan", ""},
        {"inf", ""},
        {"-inf", ""},
        {"Infinity", ""},
        {"1e-320", "0:00:00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const MediaInfo info =
            parseIdentifyOutput(QStringLiteral("ID_AUDIO_ID=0\nID_LENGTH=") + c.value + "\n");
        EXPECT_EQ(info.lengthText(), QLatin1String(c.shown));
        EXPECT_EQ(probeColumns(info).videoTime, QLatin1String(c.shown));
        EXPECT_EQ(info.lengthSeconds.has_value(), *c.shown != 0);
        EXPECT_EQ(info.wholeSeconds().has_value(), *c.shown != 0);
        // An unknown length is looked for again, as when none was printed.
        EXPECT_EQ(needsAudioLengthPass(info), *c.shown == 0);
    }
    // A length set from elsewhere is checked the same way.
    MediaInfo set;
    for (const double bad : {1e308, -1.0, std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()}) {
        set.lengthSeconds = bad;
        EXPECT_EQ(set.lengthText(), QString()) << bad;
    }
}

TEST(ProbeParserTest, ReadsRecordedPlayerOutput) {
    const MediaInfo video = parseIdentifyOutput(QString::fromUtf8(kRecordedVideoProbe));
    EXPECT_EQ(video.sizeText(), QStringLiteral("160x120"));
    EXPECT_EQ(video.videoFormat, QStringLiteral("FMP4"));
    EXPECT_EQ(video.lengthText(), QStringLiteral("0:00:02"));
    EXPECT_TRUE(video.hasVideoStream);
    EXPECT_FALSE(needsAudioLengthPass(video));

    const MediaInfo audio = parseIdentifyOutput(QString::fromUtf8(kRecordedAudioProbe));
    EXPECT_TRUE(audio.recognized());
    EXPECT_FALSE(audio.lengthSeconds.has_value());
    EXPECT_TRUE(needsAudioLengthPass(audio));
    EXPECT_FALSE(parseIdentifyOutput(QStringLiteral("Exiting... (End of file)\n")).recognized());
}

TEST(ProbeParserTest, ProbeArgumentsKeepThePathWhole) {
    const QString path = QStringLiteral("/media/my \"best\" clip é.avi");
    EXPECT_EQ(identifyArguments(path),
              (QStringList{"-identify", "-benchmark", "-nosound", "-vo", "null", "-vf",
                           "cropdetect", "-endpos", "1", path}));
    EXPECT_EQ(audioLengthArguments(path).last(), path);
    // A relative name starting with a dash must not be read as an option.
    EXPECT_EQ(identifyArguments(QStringLiteral("-clip.avi")).last(), QStringLiteral("./-clip.avi"));
}

} // namespace
} // namespace mirelo
