// Every one of the 70 profiles, at its presets, through the installed encoder.

#include "base/ToolLocator.h"
#include "common/MediaFixtures.h"
#include "convert/ConversionJob.h"
#include "convert/ConversionMatrix.h"
#include "convert/EncoderCapabilities.h"
#include "profiles/Catalog.h"
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
#include <iostream>
#include <map>
#include <memory>

using namespace mirelo;

namespace {

// What ffprobe must find in each profile's output. Containers by ffprobe's format name ("mov"
// covers MP4, PSP, 3GP and 3G2); an empty codec means no such stream.
struct Expected {
    int position;
    const char* format;
    const char* video;
    const char* audio;
    int width;
    int height;
    bool lengthKnown = true; // SWF files carry no duration
};

const Expected kExpected[] = {
    {2, "mov", "mpeg4", "aac", 320, 240},
    {3, "mov", "mpeg4", "aac", 320, 240},
    {4, "mov", "mpeg4", "aac", 640, 480},
    {5, "mov", "mpeg4", "aac", 768, 576},
    {6, "mov", "mpeg4", "aac", 320, 240},
    {8, "mov", "h264", "aac", 480, 320},
    {9, "mov", "h264", "aac", 640, 480},
    {10, "mov", "h264", "aac", 768, 576},
    {12, "mov", "mpeg4", "aac", 720, 432},
    {13, "mov", "h264", "aac", 768, 576},
    {15, "mov", "h264", "aac", 480, 320},
    {16, "mov", "h264", "aac", 800, 480},
    {18, "mov", "mpeg4", "aac", 368, 208},
    {19, "mov", "h264", "aac", 368, 208},
    {21, "mov", "h264", "aac", 720, 480},
    {22, "mov", "h264", "aac", 720, 576},
    {23, "mov", "h264", "aac", 1440, 1080},
    {25, "mov", "mpeg4", "aac", 320, 240},
    {26, "mov", "h264", "aac", 320, 240},
    {27, "asf", "wmv2", "wmav2", 320, 240},
    {29, "asf", "wmv2", "wmav2", 320, 240},
    {30, "mov", "mpeg4", "aac", 320, 240},
    {31, "asf", "wmv2", "wmav2", 480, 272},
    {32, "mov", "mpeg4", "aac", 480, 272},
    {34, "asf", "wmv2", "wmav2", 160, 128},
    {35, "asf", "wmv2", "wmav2", 320, 240},
    {36, "asf", "wmv2", "wmav2", 480, 272},
    {37, "asf", "wmv2", "wmav2", 800, 480},
    {38, "asf", "wmv2", "wmav2", 800, 480},
    {39, "asf", "wmv2", "wmav2", 800, 480},
    {41, "avi", "mpeg4", "mp3", 320, 240},
    {42, "avi", "mpeg4", "mp3", 320, 240},
    {43, "avi", "mpeg4", "mp3", 320, 240},
    {44, "avi", "mpeg4", "mp3", 480, 272},
    {46, "avi", "mpeg4", "mp3", 128, 128},
    {47, "avi", "mpeg4", "mp3", 220, 176},
    {48, "avi", "mpeg4", "mp3", 320, 240},
    {49, "avi", "mpeg4", "mp3", 480, 270},
    {50, "avi", "mpeg4", "mp3", 640, 272},
    {51, "avi", "mpeg4", "mp3", 640, 480},
    {53, "avi", "mpeg4", "aac", 320, 240},
    {54, "asf", "wmv2", "wmav2", 320, 240},
    {55, "mov", "mpeg4", "aac", 368, 208},
    {57, "asf", "wmv2", "wmav2", 1280, 720},
    {58, "avi", "mpeg4", "mp3", 720, 576},
    {59, "mov", "mpeg4", "aac", 1280, 720},
    {61, "avi", "mjpeg", "pcm_s16le", 720, 480},
    {63, "mov", "h263", "aac", 176, 144},
    {64, "mov", "h263", "aac", 176, 144},
    {65, "mov", "mpeg4", "aac", 176, 144},
    {66, "mov", "mpeg4", "aac", 176, 144},
    {68, "mov", "mpeg4", "aac", 320, 240},
    {70, "mov", "mpeg4", "aac", 320, 176},
    {72, "asf", "wmv2", "wmav2", 320, 240},
    {73, "asf", "wmv2", "wmav2", 320, 240},
    {75, "flv", "flv1", "mp3", 320, 240},
    {76, "swf", "flv1", "mp3", 320, 240, false},
    {78, "asf", "wmv2", "wmav2", 320, 240},
    {80, "mpeg", "mpeg2video", "ac3", 720, 480},
    {81, "mpeg", "mpeg2video", "ac3", 720, 576},
    {82, "mpeg", "mpeg1video", "mp2", 352, 240},
    {83, "mpeg", "mpeg2video", "mp2", 720, 480},
    {84, "avi", "mpeg4", "mp3", 720, 480},
    {85, "asf", "wmv2", "wmav2", 720, 480},
    {86, "mov", "h264", "aac", 320, 240},
    {88, "mp3", "", "mp3", 0, 0},
    {89, "ogg", "", "vorbis", 0, 0},
    {90, "wav", "", "pcm_s16le", 0, 0},
    {91, "aac", "", "aac", 0, 0},
    {92, "asf", "", "wmav2", 0, 0},
};

QJsonObject ffprobe(const QString& path) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-show_format", "-show_streams", "-of", "json", path});
    EXPECT_TRUE(p.waitForFinished(30000));
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

void checkOutput(const Expected& e, const QString& path) {
    SCOPED_TRACE("profile " + std::to_string(e.position) + ": " + path.toStdString());
    const QJsonObject probe = ffprobe(path);
    const QJsonObject format = probe["format"].toObject();
    EXPECT_TRUE(format["format_name"].toString().split(',').contains(e.format))
        << format["format_name"].toString().toStdString();
    QString video, audio;
    int width = 0, height = 0;
    for (const QJsonValue& s : probe["streams"].toArray()) {
        const QJsonObject o = s.toObject();
        if (o["codec_type"] == "video") {
            video = o["codec_name"].toString();
            width = o["width"].toInt();
            height = o["height"].toInt();
        } else if (o["codec_type"] == "audio") {
            audio = o["codec_name"].toString();
        }
    }
    EXPECT_EQ(video.toStdString(), e.video);
    EXPECT_EQ(audio.toStdString(), e.audio);
    EXPECT_EQ(width, e.width);
    EXPECT_EQ(height, e.height);
    if (e.lengthKnown) {
        EXPECT_NEAR(format["duration"].toString().toDouble(), 2.0, 0.2);
    }
}

TEST(ProfileMatrix, EveryProfileConvertsAtItsPresets) {
    ASSERT_EQ(std::size(kExpected), 70u);
    for (const Expected& e : kExpected)
        ASSERT_FALSE(isCategoryPosition(e.position)) << e.position;

    QTemporaryDir dir;
    const QString clip = test::makeVideoClip(QDir(dir.path()), "clip.avi");
    const QString encoder = locateEncoder();
    ASSERT_FALSE(encoder.isEmpty());

    std::map<int, JobResult> results;
    std::vector<test::MatrixCase> cases;
    for (const Expected& e : kExpected)
        cases.push_back({clip, "0:00:00", "0:00:02", 2.0, e.position,
                         dir.filePath(QString::number(e.position)),
                         [&results, &e](const JobResult& r) {
                             results[e.position] = r;
                             if (r.outcome == JobOutcome::Ok)
                                 checkOutput(e, r.outputPath);
                         }});
    QElapsedTimer clock;
    clock.start();
    // About half a minute on two idle cores; the margin is for a machine busy with other work.
    ASSERT_TRUE(test::runMatrix(cases, encoder, 400000)) << "the matrix did not finish in time";
    std::cout << "70 profiles converted and checked in " << clock.elapsed() / 1000.0 << " s\n";

    for (const Expected& e : kExpected) {
        const JobResult& r = results[e.position];
        EXPECT_EQ(r.outcome, JobOutcome::Ok)
            << "profile " << e.position << ": " << r.detail().toStdString();
    }
}

} // namespace

namespace {

// The rows after the first 92 that run on any machine, from a source with an H.264 video, an AAC
// sound track and a SubRip subtitle. Copy rows must hand the source's streams on untouched.
struct Newer {
    int position;
    const char* format;
    const char* video; // empty: no video stream
    const char* audio;
    const char* videoTag = ""; // the codec tag that must be set
    int subtitles = 0;
    bool copied = false;
};

const Newer kNewer[] = {
    {94, "mov", "hevc", "aac", "hvc1"},
    {95, "webm", "av1", "opus", "", 1}, // the SubRip track goes on as WebVTT
    {96, "webm", "vp9", "opus", "", 1},
    {97, "mov", "h264", "aac", "avc1"},
    {98, "matroska", "hevc", "aac", "", 1},
    {100, "matroska", "h264", "aac", "", 1, true},
    {101, "mov", "h264", "aac", "avc1", 0, true}, // SubRip has no place in MP4
    {102, "mov", "", "aac", "", 0, true},         // AAC keeps to an .m4a
    {104, "ogg", "", "opus"},
    {105, "flac", "", "flac"},
    {106, "mov", "", "alac"},
};

QString makeFilmSource(const QDir& dir, int keyFrameEvery = 25) {
    QFile srt(dir.filePath("film.srt"));
    EXPECT_TRUE(srt.open(QIODevice::WriteOnly));
    srt.write("1\n00:00:00,000 --> 00:00:01,000\nOne\n\n2\n00:00:01,000 --> 00:00:02,000\nTwo\n");
    srt.close();
    return test::makeClip(dir, "film.mkv", {"-f",      "lavfi",
                                            "-i",      "testsrc2=d=2:s=320x240:r=25",
                                            "-f",      "lavfi",
                                            "-i",      "sine=d=2",
                                            "-i",      srt.fileName(),
                                            "-map",    "0",
                                            "-map",    "1",
                                            "-map",    "2",
                                            "-c:v",    "libx264",
                                            "-preset", "ultrafast",
                                            "-g",      QString::number(keyFrameEvery),
                                            "-c:a",    "aac",
                                            "-c:s",    "srt"});
}

struct StreamFacts {
    QString codec, tag, profile, pixelFormat;
    int width = 0, height = 0, sampleRate = 0, channels = 0, packets = 0;
    bool operator==(const StreamFacts&) const = default;
};

std::map<QString, StreamFacts> streamsByType(const QJsonObject& probe) {
    std::map<QString, StreamFacts> out;
    for (const QJsonValue& v : probe["streams"].toArray()) {
        const QJsonObject s = v.toObject();
        out[s["codec_type"].toString()] = {s["codec_name"].toString(),
                                           s["codec_tag_string"].toString(),
                                           s["profile"].toString(),
                                           s["pix_fmt"].toString(),
                                           s["width"].toInt(),
                                           s["height"].toInt(),
                                           s["sample_rate"].toString().toInt(),
                                           s["channels"].toInt(),
                                           s["nb_read_packets"].toString().toInt()};
    }
    return out;
}

QJsonObject ffprobeCounted(const QString& path) {
    QProcess p;
    p.start("ffprobe", {"-v", "error", "-count_packets", "-show_format", "-show_streams", "-of",
                        "json", path});
    EXPECT_TRUE(p.waitForFinished(30000));
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// The bytes of one kind of stream, hashed as the encoder copies them out.
QString streamHash(const QString& path, const char* kind) {
    QProcess p;
    p.start("ffmpeg", {"-v", "error", "-i", path, "-map", QStringLiteral("0:%1").arg(kind), "-c",
                       "copy", "-f", "md5", "-"});
    EXPECT_TRUE(p.waitForFinished(30000));
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void checkNewer(const Newer& e, const QString& path, const QString& source) {
    SCOPED_TRACE("profile " + std::to_string(e.position) + ": " + path.toStdString());
    const QJsonObject probe = ffprobeCounted(path);
    const QJsonObject format = probe["format"].toObject();
    EXPECT_TRUE(format["format_name"].toString().split(',').contains(e.format))
        << format["format_name"].toString().toStdString();
    EXPECT_NEAR(format["duration"].toString().toDouble(), 2.0, 0.2);
    const auto streams = streamsByType(probe);
    const auto codecOf = [&](const char* kind) {
        const auto it = streams.find(kind);
        return it == streams.end() ? std::string() : it->second.codec.toStdString();
    };
    EXPECT_EQ(codecOf("video"), e.video);
    EXPECT_EQ(codecOf("audio"), e.audio);
    if (*e.videoTag) {
        EXPECT_EQ(streams.at("video").tag.toStdString(), e.videoTag);
    }
    int subtitles = 0;
    for (const QJsonValue& v : probe["streams"].toArray())
        subtitles += v.toObject()["codec_type"] == "subtitle" ? 1 : 0;
    EXPECT_EQ(subtitles, e.subtitles);
    if (*e.video && !e.copied) { // the source's size is kept
        EXPECT_EQ(streams.at("video").width, 320);
        EXPECT_EQ(streams.at("video").height, 240);
    }
    if (!e.copied)
        return;
    // Same parameters, same packets, same bytes: nothing was encoded again.
    auto original = streamsByType(ffprobeCounted(source));
    for (const char* kind : {"video", "audio"}) {
        if (!streams.count(kind))
            continue;
        StreamFacts copy = streams.at(kind);
        copy.tag = original[kind].tag; // each container names codecs in its own way
        EXPECT_EQ(copy, original[kind]) << kind;
        EXPECT_EQ(streamHash(path, kind[0] == 'v' ? "v" : "a"),
                  streamHash(source, kind[0] == 'v' ? "v" : "a"))
            << kind;
    }
}

TEST(ProfileMatrix, EveryNewerSoftwareProfileConvertsAtItsPresets) {
    QTemporaryDir dir;
    const QString source = makeFilmSource(QDir(dir.path()));
    const QString encoder = locateEncoder();
    ASSERT_FALSE(encoder.isEmpty());

    std::map<int, JobResult> results;
    std::vector<test::MatrixCase> cases;
    for (const Newer& e : kNewer)
        cases.push_back({source, "0:00:00", "", 2.0, e.position,
                         dir.filePath(QString::number(e.position)),
                         [&results, &e, &source](const JobResult& r) {
                             results[e.position] = r;
                             if (r.outcome == JobOutcome::Ok)
                                 checkNewer(e, r.outputPath, source);
                         }});
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(test::runMatrix(cases, encoder, 300000))
        << "the newer profiles did not finish in time";
    std::cout << std::size(kNewer) << " newer profiles converted and checked in "
              << clock.elapsed() / 1000.0 << " s\n";

    for (const Newer& e : kNewer) {
        const JobResult& r = results[e.position];
        EXPECT_EQ(r.outcome, JobOutcome::Ok)
            << "profile " << e.position << ": " << r.detail().toStdString();
        const QString extension = outputExtension(*catalogRow(e.position));
        EXPECT_TRUE(r.outputPath.endsWith(e.position == 102 ? ".m4a" : extension))
            << r.outputPath.toStdString();
    }
}

TEST(ProfileMatrix, ACopiedClipStartsAtTheKeyFrameBeforeItsStart) {
    QTemporaryDir dir;
    // Key frames at 0 s and 2 s only.
    const QString source = makeFilmSource(QDir(dir.path()), 50);
    OptionSheet sheet;
    resetToDefaults(sheet);
    applyPresets(sheet, 100);
    const QString encoder = locateEncoder();
    QEventLoop loop;
    JobResult result;
    ConversionJob job(test::jobFor(source, 100, sheet, dir.path(), "0:00:01", "0:00:02", 2.0),
                      {dir.path(), false, encoder, nullptr});
    QObject::connect(&job, &ConversionJob::finished, [&](const JobResult& r) {
        result = r;
        loop.quit();
    });
    job.start();
    loop.exec();
    ASSERT_EQ(result.outcome, JobOutcome::Ok) << result.detail().toStdString();
    EXPECT_TRUE(result.arguments.contains("-ss"));
    const auto streams = streamsByType(ffprobeCounted(result.outputPath));
    // The clip from 1 s to 2 s starts at the key frame at 0 s: two seconds of frames, none
    // encoded again.
    EXPECT_NEAR(streams.at("video").packets, 50, 2);
    EXPECT_FALSE(catalogRow(100)->note == nullptr);
    EXPECT_TRUE(QString::fromUtf8(catalogRow(100)->note).contains("key frame"));
    EXPECT_EQ(streams.at("video").codec, "h264");
}

} // namespace
