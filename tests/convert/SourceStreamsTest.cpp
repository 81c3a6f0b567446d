// What the encoder's report on opening a file says about its streams: recorded reports of the
// source kinds people have, and files made here read by the real encoder.

#include "convert/SourceStreams.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

const char kFilmRip[] = R"(Input #0, matroska,webm, from 'film.mkv':
  Metadata:
    title           : Film
  Duration: 01:42:03.52, start: 0.000000, bitrate: 4000 kb/s
  Stream #0:0(eng): Video: hevc (Main 10), yuv420p10le(tv, bt709, progressive), 1920x1080 [SAR 1:1 DAR 16:9], 23.98 fps, 23.98 tbr, 1k tbn (default)
  Stream #0:1(eng): Audio: aac (LC), 48000 Hz, 5.1, fltp (default)
    Metadata:
      title           : Surround
  Stream #0:2(eng): Audio: aac (LC), 48000 Hz, stereo, fltp
    Metadata:
      title           : Commentary
  Stream #0:3(eng): Subtitle: subrip
At least one output file must be specified
)";

const char kPhone[] = R"(Input #0, mov,mp4,m4a,3gp,3g2,mj2, from 'phone.mp4':
  Duration: 00:00:12.40, start: 0.000000, bitrate: 9000 kb/s
  Stream #0:0[0x1](und): Video: h264 (High) (avc1 / 0x31637661), yuv420p(tv, bt709, progressive), 1920x1080, 8900 kb/s, 29.97 fps, 29.97 tbr, 90k tbn (default)
    Metadata:
      handler_name    : VideoHandle
    Side data:
      displaymatrix: rotation of -90.00 degrees
  Stream #0:1[0x2](und): Audio: aac (LC) (mp4a / 0x6134706D), 44100 Hz, mono, fltp, 96 kb/s (default)
Output #0, mp4, to 'out.mp4':
  Stream #0:0: Video: mpeg4, yuv420p, 320x240
)";

const char kSongWithCover[] = R"(Input #0, mp3, from 'song.mp3':
  Duration: 00:03:20.04, start: 0.025056, bitrate: 192 kb/s
  Stream #0:0: Audio: mp3, 44100 Hz, stereo, fltp, 192 kb/s
  Stream #0:1: Video: mjpeg (Baseline), yuvj444p(pc, bt470bg/unknown/unknown), 600x600 [SAR 1:1 DAR 1:1], 90k tbr, 90k tbn (attached pic)
    Metadata:
      comment         : Cover (front)
At least one output file must be specified
)";

const char kScreenRecording[] = R"(Input #0, matroska,webm, from 'screen.webm':
  Duration: N/A, start: 0.000000, bitrate: N/A
  Stream #0:0: Video: vp9 (Profile 0), yuv420p(tv, progressive), 1366x768, SAR 1:1 DAR 683:384, 30 fps, 30 tbr, 1k tbn (default)
At least one output file must be specified
)";

} // namespace

TEST(SourceStreams, RecordedReportsOfTheSourcesPeopleHave) {
    struct Case {
        const char* name;
        const char* report;
        std::optional<double> duration;
        bool video, audio;
        int audioTracks;
        int chosenAudioIndex; // -1: none
        int channels, sampleRate;
        double rotation;
        bool cover;
        int width, height;
        const char* pixelFormat = "";
    };
    const Case cases[] = {
        {"film rip", kFilmRip, 6123.52, true, true, 2, 1, 6, 48000, 0, false, 1920, 1080,
         "yuv420p10le"},
        {"rotated phone video", kPhone, 12.4, true, true, 1, 1, 1, 44100, -90, false, 1920, 1080,
         "yuv420p"},
        {"song with a cover", kSongWithCover, 200.04, false, true, 1, 0, 2, 44100, 0, true, 0, 0},
        {"screen recording", kScreenRecording, std::nullopt, true, false, 0, -1, 0, 0, 0, false,
         1366, 768, "yuv420p"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SourceStreams s = parseSourceStreams(QString::fromUtf8(c.report));
        ASSERT_EQ(s.duration.has_value(), c.duration.has_value());
        if (c.duration) {
            EXPECT_NEAR(*s.duration, *c.duration, 0.01);
        }
        EXPECT_EQ(s.hasVideo(), c.video);
        EXPECT_EQ(s.hasAudio(), c.audio);
        EXPECT_EQ(s.audioCount(), c.audioTracks);
        EXPECT_EQ(s.coverPicture() != nullptr, c.cover);
        const SourceStream* audio = s.chosenAudio();
        EXPECT_EQ(audio ? audio->index : -1, c.chosenAudioIndex);
        if (audio) {
            EXPECT_EQ(audio->channels, c.channels);
            EXPECT_EQ(audio->sampleRate, c.sampleRate);
        }
        if (const SourceStream* v = s.firstVideo()) {
            EXPECT_EQ(v->width, c.width);
            EXPECT_EQ(v->height, c.height);
            EXPECT_DOUBLE_EQ(v->rotation, c.rotation);
            EXPECT_EQ(v->pixelFormat.toStdString(), c.pixelFormat);
        }
    }
}

TEST(SourceStreams, OnlyTheFirstInputsStreamsCountAndTitlesBelongToTheirStream) {
    const SourceStreams film = parseSourceStreams(QString::fromUtf8(kFilmRip));
    ASSERT_EQ(film.streams.size(), 4u);
    EXPECT_EQ(film.streams[1].title, QStringLiteral("Surround"));
    EXPECT_EQ(film.streams[2].title, QStringLiteral("Commentary"));
    EXPECT_EQ(film.streams[3].kind, StreamKind::Subtitle);
    EXPECT_EQ(film.streams[0].language, QStringLiteral("eng"));
    // The output section of a report names streams too; they are not the source's.
    EXPECT_EQ(parseSourceStreams(QString::fromUtf8(kPhone)).streams.size(), 2u);
}

TEST(SourceStreams, ChannelLayoutNames) {
    const std::pair<const char*, int> cases[] = {
        {"mono", 1},         {"stereo", 2}, {"5.1", 6},
        {"5.1(side)", 6},    {"7.1", 8},    {"4 channels (FL+FR+LFE+BC)", 4},
        {"22 channels", 22}, {"fltp", 0},   {"", 0},
    };
    for (const auto& [layout, channels] : cases)
        EXPECT_EQ(channelsOfLayout(QString::fromLatin1(layout)), channels) << layout;
}

// The real encoder's report on files made here: the parser keeps up with the installed FFmpeg.
TEST(SourceStreams, TheInstalledEncodersReportOnGeneratedFiles) {
    QTemporaryDir dir;
    const QString surround = dir.filePath(QStringLiteral("surround.mkv"));
    const QString cover = dir.filePath(QStringLiteral("cover.mp3"));
    auto ffmpeg = [](const QStringList& args) {
        QProcess p;
        p.start(QStringLiteral("ffmpeg"),
                QStringList{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")} +
                    args);
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardError());
    };
    ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10", "-f", "lavfi", "-i",
            "sine=r=48000", "-t", "1", "-ac", "6", "-c:v", "mpeg4", "-c:a", "ac3", surround});
    ffmpeg({"-f",
            "lavfi",
            "-i",
            "sine",
            "-f",
            "lavfi",
            "-i",
            "testsrc=size=64x64",
            "-t",
            "1",
            "-map",
            "0",
            "-map",
            "1",
            "-c:a",
            "libmp3lame",
            "-c:v",
            "mjpeg",
            "-disposition:v",
            "attached_pic",
            cover});
    auto report = [](const QString& file) {
        QProcess p;
        p.start(QStringLiteral("ffmpeg"),
                {QStringLiteral("-hide_banner"), QStringLiteral("-i"), file});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardError());
    };
    const SourceStreams s = parseSourceStreams(report(surround));
    ASSERT_TRUE(s.chosenAudio()) << report(surround).toStdString();
    EXPECT_EQ(s.chosenAudio()->channels, 6);
    EXPECT_EQ(s.chosenAudio()->sampleRate, 48000);
    ASSERT_TRUE(s.firstVideo());
    EXPECT_EQ(s.firstVideo()->width, 160);
    ASSERT_TRUE(s.duration);
    EXPECT_NEAR(*s.duration, 1.0, 0.2);

    const SourceStreams c = parseSourceStreams(report(cover));
    EXPECT_FALSE(c.hasVideo());
    EXPECT_TRUE(c.coverPicture());
    EXPECT_TRUE(c.hasAudio());
}
