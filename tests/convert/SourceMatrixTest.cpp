// Look-alikes of the files people have, converted with a profile of every encoder family through
// the installed encoder.

#include "base/ToolLocator.h"
#include "common/MediaFixtures.h"
#include "convert/ConversionJob.h"
#include "convert/ConversionMatrix.h"
#include "convert/EncoderCapabilities.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <iostream>
#include <memory>

using namespace mirelo;

namespace {

struct SourceKind {
    const char* name;
    const char* file;
    QStringList lavfi; // what makes it, before the file name
    QStringList remux; // a second step on the first file (rotation is set on a copy), or empty
};

QStringList words(const char* text) {
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Small and short, but with what makes each kind what it is.
const SourceKind kKinds[] = {
    {"surround",
     "film.mkv",
     words("-f lavfi -i testsrc2=s=640x360:d=2:r=10 -f lavfi -i sine=d=2:r=48000 -filter:a "
           "aformat=channel_layouts=5.1 -c:v libx265 -preset ultrafast -x265-params "
           "log-level=error -pix_fmt yuv420p10le -c:a aac"),
     {}},
    {"silent", "screen.mkv", words("-f lavfi -i testsrc=s=320x240:d=2:r=10 -c:v mpeg4"), {}},
    {"song", "song.mp3", words("-f lavfi -i sine=d=2 -c:a libmp3lame"), {}},
    {"song with cover",
     "cover.mp3",
     words("-f lavfi -i sine=d=2 -f lavfi -i testsrc=s=300x300:d=1 -map 0 -map 1 -c:a libmp3lame "
           "-c:v mjpeg -frames:v 1 -disposition:v attached_pic"),
     {}},
    // The commentary comes first, in stereo: the encoder on its own would take it.
    {"two tracks",
     "tracks.mkv",
     words("-f lavfi -i testsrc=s=320x240:d=2:r=10 -f lavfi -i sine=d=1 -f lavfi -i "
           "sine=d=2:f=880 -map 0 -map 1 -map 2 -c:v mpeg4 -c:a aac -ac:a:0 2 -ac:a:1 1 "
           "-disposition:a:0 0 -disposition:a:1 default -metadata:s:a:0 title=Commentary"),
     {}},
    {"rotated", "phone.mp4",
     words("-f lavfi -i testsrc2=s=320x180:d=2:r=10 -f lavfi -i sine=d=2 -c:v libx264 -preset "
           "ultrafast -pix_fmt yuv420p -c:a aac"),
     words("-c copy -metadata:s:v:0 rotate=90")},
    {"odd size",
     "odd.mkv",
     words("-f lavfi -i testsrc=s=641x359:d=2:r=10 -f lavfi -i sine=d=2 -c:v ffv1 -c:a flac"),
     {}},
    {"interlaced",
     "tv.mpg",
     words("-f lavfi -i testsrc=s=720x576:d=2:r=25 -f lavfi -i sine=d=2:r=48000 -c:v mpeg2video "
           "-flags +ilme+ildct -top 1 -c:a mp2"),
     {}},
    {"variable frame rate",
     "vfr.mkv",
     words("-f lavfi -i testsrc=s=320x240:d=2:r=10,settb=1/1000,setpts=(N+0.5*floor(N/4))/10/TB -f "
           "lavfi -i "
           "sine=d=2 -fps_mode vfr -c:v mpeg4 -c:a aac"),
     {}},
};

QString makeSource(const QDir& dir, const SourceKind& kind) {
    if (kind.remux.isEmpty())
        return test::makeClip(dir, kind.file, kind.lavfi);
    const QString first = test::makeClip(dir, QStringLiteral("plain-") + kind.file, kind.lavfi);
    return test::makeClip(dir, kind.file, QStringList{"-i", first} + kind.remux);
}

QJsonObject ffprobe(const QString& path) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_format", "-show_streams", "-of", "json", path});
    EXPECT_TRUE(p.waitForFinished(30000));
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

struct Output {
    bool video = false;
    bool audio = false;
    int width = 0;
    int height = 0;
    QString pixelFormat;
    double audioSeconds = 0;
};

Output probeOutput(const QString& path) {
    Output o;
    for (const QJsonValue& s : ffprobe(path)["streams"].toArray()) {
        const QJsonObject stream = s.toObject();
        if (stream["codec_type"] == "video") {
            o.video = true;
            o.width = stream["width"].toInt();
            o.height = stream["height"].toInt();
            o.pixelFormat = stream["pix_fmt"].toString();
        } else if (stream["codec_type"] == "audio") {
            o.audio = true;
            o.audioSeconds = stream["duration"].toString().toDouble();
        }
    }
    return o;
}

// Mean brightness of columns [from, to) of the picture one second in.
double columnBrightness(const QString& path, int width, int height, int from, int to) {
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-ss", "1", "-i", path, "-frames:v", "1", "-f", "rawvideo",
                       "-pix_fmt", "gray", "-"});
    EXPECT_TRUE(p.waitForFinished(30000));
    const QByteArray frame = p.readAllStandardOutput();
    if (frame.size() < qsizetype(width) * height)
        return -1;
    double sum = 0;
    for (int y = 0; y < height; ++y)
        for (int x = from; x < to; ++x)
            sum += static_cast<unsigned char>(frame[y * width + x]);
    return sum / (double(height) * (to - from));
}

struct Case {
    const char* kind;
    int profile;
    const char* failure; // "": the row ends "OK"
    bool video;
    bool audio;
    const char* note = ""; // a part of the row's details
};

// Every encoder family once or more: MPEG-4 and H.264 in MP4 and PSP, WMV, AVI with MP3,
// Motion JPEG with PCM, 3GP and 3G2 with AMR and AAC, Flash, DVD, MPEG-1 with MP2, and each
// audio profile.
const Case kCases[] = {
    {"surround", 27, "", true, true, "mixed down to 2"},
    {"surround", 92, "", false, true, "mixed down to 2"},
    {"surround", 8, "", true, true},
    {"surround", 41, "", true, true},
    {"surround", 82, "", true, true},
    {"surround", 80, "", true, true},
    {"surround", 63, "", true, true},
    {"surround", 61, "", true, true},
    {"surround", 89, "", false, true},
    {"silent", 18, "", true, true, "silent sound track"},
    {"silent", 2, "", true, false, "only its picture"},
    {"silent", 27, "", true, false},
    {"silent", 88, "This file has no audio stream.", false, false},
    {"song", 2, "This file has no video stream. Choose an audio profile.", false, false},
    {"song", 88, "", false, true},
    {"song", 91, "", false, true},
    {"song with cover", 2, "", true, true, "cover picture"},
    {"song with cover", 75, "", true, true},
    {"song with cover", 90, "", false, true},
    {"two tracks", 90, "", false, true, "the default one of the 2"},
    {"two tracks", 64, "", true, true},
    {"rotated", 2, "", true, true, "kept upright"},
    {"odd size", 76, "", true, true},
    {"odd size", 65, "", true, true},
    {"interlaced", 81, "", true, true},
    {"interlaced", 13, "", true, true},
    {"variable frame rate", 86, "", true, true},
    {"variable frame rate", 85, "", true, true},
};

void checkResult(const Case& c, const JobResult& r) {
    SCOPED_TRACE(std::string(c.kind) + ", profile " + std::to_string(c.profile) + ": " +
                 r.detail().toStdString());
    if (c.failure[0]) {
        EXPECT_EQ(r.outcome, JobOutcome::Fail);
        EXPECT_EQ(r.message.toStdString(), c.failure);
        EXPECT_TRUE(r.arguments.isEmpty()) << "refused before the encoder ran";
        return;
    }
    ASSERT_EQ(r.outcome, JobOutcome::Ok);
    EXPECT_TRUE(r.detail().contains(QLatin1String(c.note)));
    const Output o = probeOutput(r.outputPath);
    EXPECT_EQ(o.video, c.video);
    EXPECT_EQ(o.audio, c.audio);
    if (o.video) { // what the devices decode, whatever the source was
        EXPECT_TRUE(o.pixelFormat.startsWith("yuv420p") || o.pixelFormat.startsWith("yuvj4"))
            << o.pixelFormat.toStdString();
        EXPECT_FALSE(o.pixelFormat.contains("10")) << o.pixelFormat.toStdString();
    }
    if (QLatin1String(c.kind) == QLatin1String("two tracks") && c.profile == 90) {
        // The default track lasts two seconds, the commentary one.
        EXPECT_NEAR(o.audioSeconds, 2.0, 0.2);
    }
    if (QLatin1String(c.kind) == QLatin1String("rotated")) {
        // Upright in the 320x240 frame: bars at the sides, the picture in the middle.
        ASSERT_EQ(o.width, 320);
        ASSERT_EQ(o.height, 240);
        EXPECT_LT(columnBrightness(r.outputPath, 320, 240, 0, 40), 30.0);
        EXPECT_GT(columnBrightness(r.outputPath, 320, 240, 140, 180), 50.0);
    }
}

TEST(SourceMatrix, EveryKindOfSourceWithEveryEncoderFamily) {
    QTemporaryDir dir;
    const QDir sources(dir.path());
    std::map<std::string, QString> files;
    for (const SourceKind& k : kKinds)
        files[k.name] = makeSource(sources, k);
    const QString encoder = locateEncoder();
    ASSERT_FALSE(encoder.isEmpty());

    int done = 0;
    std::vector<test::MatrixCase> cases;
    for (const Case& c : kCases)
        cases.push_back({files[c.kind], "0:00:00", "", std::nullopt, c.profile,
                         dir.filePath(QStringLiteral("out-%1").arg(&c - kCases)),
                         [&done, &c](const JobResult& r) {
                             ++done;
                             checkResult(c, r);
                         }});
    QElapsedTimer clock;
    clock.start();
    // About half a minute on two idle cores; the margin is for a machine busy with other work.
    ASSERT_TRUE(test::runMatrix(cases, encoder, 300000)) << "the matrix did not finish in time";
    EXPECT_EQ(done, int(std::size(kCases)));
    std::cout << std::size(kCases) << " sources converted and checked in "
              << clock.elapsed() / 1000.0 << " s\n";
}

} // namespace
