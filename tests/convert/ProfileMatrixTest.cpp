// Every one of the 70 profiles, at its presets, through the installed encoder.

#include "convert/ConversionJob.h"
#include "convert/EncoderCapabilities.h"
#include "profiles/Catalog.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "tools/MediaFixtures.h"
#include "tools/ToolLocator.h"

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

    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { loop.exit(1); });
    if (!cachedCapabilities(encoder)) {
        CapabilityLoader loader;
        QObject::connect(&loader, &CapabilityLoader::loaded, &loop, [&] { loop.exit(0); });
        loader.start(encoder);
        deadline.start(30000);
        ASSERT_EQ(loop.exec(), 0);
    }

    // Two encodes at a time, one folder each.
    std::deque<const Expected*> waiting;
    for (const Expected& e : kExpected)
        waiting.push_back(&e);
    std::map<int, JobResult> results;
    std::vector<std::unique_ptr<OptionSheet>> sheets;
    int running = 0;
    std::function<void()> startNext = [&] {
        if (waiting.empty()) {
            if (running == 0)
                loop.exit(0);
            return;
        }
        const Expected* e = waiting.front();
        waiting.pop_front();
        sheets.push_back(std::make_unique<OptionSheet>());
        prolist(*sheets.back());
        applyPresets(*sheets.back(), e->position);
        const QString folder = dir.filePath(QString::number(e->position));
        QDir().mkpath(folder);
        JobInput input{clip, "0:00:00", "0:00:02", 2.0, e->position, sheets.back().get()};
        auto* job = new ConversionJob(input, {folder, false, encoder, cachedCapabilities(encoder)});
        ++running;
        QObject::connect(job, &ConversionJob::finished, [&, job, e](const JobResult& r) {
            results[e->position] = r;
            job->deleteLater();
            --running;
            startNext();
            // The next encode runs meanwhile.
            if (r.outcome == JobOutcome::Ok)
                checkOutput(*e, r.outputPath);
        });
        job->start();
    };
    QElapsedTimer clock;
    clock.start();
    startNext();
    startNext();
    // About half a minute on two idle cores; the margin is for a machine busy with other work.
    deadline.start(400000);
    ASSERT_EQ(loop.exec(), 0) << "the matrix did not finish in time";
    std::cout << "70 profiles converted and checked in " << clock.elapsed() / 1000.0 << " s\n";

    for (const Expected& e : kExpected) {
        const JobResult& r = results[e.position];
        EXPECT_EQ(r.status(), "OK") << "profile " << e.position << ": " << r.detail().toStdString();
    }
}

} // namespace
