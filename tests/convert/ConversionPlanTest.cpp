#include "convert/ConversionPlan.h"
#include "TestJobs.h"
#include "base/ToolLocator.h"
#include "common/MediaFixtures.h"
#include "convert/ConversionJob.h"
#include "convert/EncoderCapabilities.h"
#include "convert/SourceStreams.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "profiles/SheetNames.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace mirelo;

namespace {

class ConversionPlanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        out = QDir(dir.path());
        pick(18); // Sony PSP MPEG-4: mpeg4 + aac in an MP4
    }

    void pick(ProfileId p) {
        profile = p;
        resetToDefaults(sheet);
        applyPresets(sheet, p);
    }

    JobSettings settings(bool overwrite = false) const {
        return {out.path(), overwrite, QStringLiteral("/opt/ff"), &capabilities};
    }

    PlanOutcome plan(const PlanRow& row, bool overwrite = false) const {
        return planConversion(row, sheet, profile, settings(overwrite));
    }

    QTemporaryDir dir;
    QDir out;
    OptionSheet sheet;
    ProfileId profile;
    // An encoder with the current names only: no libfaac, and "adts" for raw AAC.
    const EncoderCapabilities capabilities{{"mpeg4", "aac", "libmp3lame"}, {"mp4", "psp", "adts"}};
};

TEST_F(ConversionPlanTest, RefusesWhatCannotBeConverted) {
    using namespace sheet;
    const struct {
        int profile;
        const char* start;
        const char* item; // an item set to the value below, or nullptr
        const char* value;
        const char* error;
    } cases[] = {
        {1, "0:00:00", nullptr, nullptr, "not a category heading"}, // "Apple iPod", a heading
        {0, "0:00:00", nullptr, nullptr, "not a category heading"},
        {93, "0:00:00", nullptr, nullptr, "not a category heading"},
        {18, "1:2", nullptr, nullptr, "The clip start \"1:2\" is not a time"},
        {18, "0:00:00", kAudioBitrate, "lots", "\"Audio Bitrate\""},
        {18, "0:00:00", kAudioChannel, "two", "\"Audio Channel\""},
        {18, "0:00:00", kSampleRate, "44100 -y", "\"Sample Rate\""},
        {18, "0:00:00", kVideoBitrate, "256 /abs/victim.mp4 -y -b:v 256", "\"Video Bitrate\""},
        {18, "0:00:00", kVideoSize, "320x240 -y", "\"Video Size\""},
        {18, "0:00:00", kVideoSize, "big", "\"Video Size\""},
        {18, "0:00:00", kVideoFramerate, "fast", "\"Video Framerate\""},
        // The WMA layout uses none of them; they are refused all the same.
        {92, "0:00:00", kVideoBitrate, "", "\"Video Bitrate\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.profile) + " " + (c.item ? c.item : ""));
        pick(c.profile);
        if (c.item) {
            const bool video = sheet.item(kVideoOptions, c.item) != nullptr;
            sheet.setValue(video ? kVideoOptions : kAudioOptions, c.item, c.value);
        }
        const PlanOutcome o = plan({"/in/a.avi", c.start, "0:00:10", {}, {}});
        EXPECT_FALSE(o.plan);
        EXPECT_TRUE(o.error.contains(QLatin1String(c.error))) << o.error.toStdString();
        if (c.item) { // the row says which file it is
            EXPECT_TRUE(o.error.contains("/in/a.avi")) << o.error.toStdString();
        }
    }
}

SourceStream stream(int index, StreamKind kind) {
    SourceStream s;
    s.index = index;
    s.kind = kind;
    return s;
}

SourceStream video(int index, double rotation = 0) {
    SourceStream s = stream(index, StreamKind::Video);
    s.width = 1920;
    s.height = 1080;
    s.rotation = rotation;
    return s;
}

SourceStream audio(int index, int channels, bool isDefault = false) {
    SourceStream s = stream(index, StreamKind::Audio);
    s.channels = channels;
    s.sampleRate = 48000;
    s.isDefault = isDefault;
    return s;
}

SourceStream cover(int index) {
    SourceStream s = stream(index, StreamKind::Video);
    s.isCoverPicture = true;
    return s;
}

// What the source holds decides: a profile needing a stream the file lacks is refused before
// anything runs; otherwise only the vector that runs changes, never the profile's line.
TEST_F(ConversionPlanTest, FollowsWhatTheSourceHolds) {
    storeAudioLimits("/opt/ff", "wmav2", {2, {44100, 48000}});
    const SourceStreams silent{2.0, {video(0)}};
    const SourceStreams song{200.0, {audio(0, 2)}};
    const SourceStreams songWithCover{200.0, {audio(0, 2), cover(1)}};
    const SourceStreams surround{60.0, {video(0), audio(1, 2), audio(2, 6, true)}};
    const SourceStreams turned{12.0, {video(0, -90), audio(1, 1)}};
    const struct {
        int profile;
        const SourceStreams* source;
        const char* error;   // "" when the plan is made
        const char* runs;    // a part of the vector that runs
        const char* notRuns; // a part it must not hold
    } cases[] = {
        {88, &silent, "This file has no audio stream.", "", ""},
        {92, &silent, "This file has no audio stream.", "", ""},
        {18, &song, "This file has no video stream. Choose an audio profile.", "", ""},
        {27, &song, "This file has no video stream. Choose an audio profile.", "", ""},
        {88, &song, "", "-vn", "-map"},
        {18, &songWithCover, "", "-map 1:1 -map 0:0", ""},
        {18, &silent, "", "anullsrc", "-an"},
        {2, &silent, "", "-an", "anullsrc"},
        {27, &surround, "", "-map 0:0 -map 0:2", "-ac 6"},
        {27, &surround, "", "-acodec wmav2 -ac 2", ""},
        {2, &turned, "", "pad=320:240", ""},
        {2, nullptr, "", "-s 320x240", "-vf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.profile) + " " + c.runs + c.error);
        pick(c.profile);
        const PlanOutcome plain = plan({"/in/a.mkv", "0:00:00", "", {}, {}});
        ASSERT_TRUE(plain.plan);
        PlanRow row{"/in/a.mkv", "0:00:00", "", {}, {}};
        row.streams = c.source;
        const PlanOutcome o = plan(row);
        EXPECT_EQ(o.error.toStdString(), c.error);
        if (!o.plan)
            continue;
        const std::string runs = o.plan->arguments.join(' ').toStdString();
        EXPECT_NE(runs.find(c.runs), std::string::npos) << runs;
        if (c.notRuns[0]) {
            EXPECT_EQ(runs.find(c.notRuns), std::string::npos) << runs;
        }
        EXPECT_EQ(o.plan->profileCommand.text(), plain.plan->profileCommand.text());
    }
}

TEST_F(ConversionPlanTest, NamesTheOutputAndWritesToAnotherName) {
    QFile taken(out.filePath("show.mp4"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    const QString explicitOutput = out.filePath("chosen name.mp4");
    const struct {
        bool overwrite;
        QString outputPath; // given with the row
        QString expected;
    } cases[] = {
        {false, {}, out.filePath("show_New.mp4")},
        {true, {}, out.filePath("show.mp4")},
        {false, explicitOutput, explicitOutput},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected.toStdString());
        const PlanOutcome o =
            plan({"/in/show.part1.avi", "0:00:00", "0:00:10", {}, c.outputPath}, c.overwrite);
        ASSERT_TRUE(o.plan) << o.error.toStdString();
        const ConversionPlan& p = *o.plan;
        EXPECT_EQ(p.outputPath, c.expected);
        // The user is shown the final name; the encoder writes elsewhere and the output takes
        // its name only when the row ends "OK".
        EXPECT_TRUE(p.profileCommand.text().endsWith('"' + c.expected + '"'));
        EXPECT_NE(p.temporaryPath, p.outputPath);
        EXPECT_EQ(p.arguments.last(), p.temporaryPath);
        EXPECT_FALSE(p.arguments.contains(p.outputPath));
        EXPECT_TRUE(p.temporaryPath.endsWith(".mp4")) << p.temporaryPath.toStdString();
        EXPECT_EQ(p.program, "/opt/ff");
        EXPECT_EQ(p.stem, "show");
        EXPECT_EQ(p.extension, ".mp4");
    }
}

TEST_F(ConversionPlanTest, RunsTheProfileAfterTheCompatibilityRules) {
    for (const bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite);
        const PlanOutcome o = plan({"/in/a.avi", "0:00:05", "0:00:10", {}, {}}, overwrite);
        ASSERT_TRUE(o.plan) << o.error.toStdString();
        const QStringList& args = o.plan->arguments;
        EXPECT_EQ(args.contains("-y"), overwrite);
        EXPECT_EQ(args.contains("-n"), !overwrite);
        // The clip start is before the input, the installed encoder's AAC replaces libfaac.
        EXPECT_LT(args.indexOf("-ss"), args.indexOf("-i"));
        EXPECT_EQ(args[args.indexOf("-acodec") + 1], "aac");
        EXPECT_EQ(args[args.indexOf("-b:a") + 1], "64k");
        EXPECT_TRUE(args.contains("-progress"));
        // The profile's own line is left as the user knows it.
        EXPECT_TRUE(o.plan->profileCommand.text().contains(" -acodec libfaac "));
    }
    pick(91); // AAC audio: the container by its current name
    const PlanOutcome aac = plan({"/in/a.avi", "0:00:00", "", {}, {}});
    ASSERT_TRUE(aac.plan);
    EXPECT_EQ(aac.plan->arguments[aac.plan->arguments.indexOf("-f") + 1], "adts");
}

TEST_F(ConversionPlanTest, ExpectedLengthIsTheClipCutAtTheEndOfTheSource) {
    const struct {
        const char* start;
        const char* end;
        std::optional<double> probed;
        double expected;
    } cases[] = {
        {"0:00:00", "0:00:10", {}, 10},   // the clip alone
        {"0:00:05", "0:00:10", 60.0, 5},  // the clip inside the source
        {"0:00:05", "", 60.0, 55},        // open end: the rest of the source
        {"0:00:50", "0:01:40", 60.0, 10}, // a clip past the end of the source
        {"0:00:00", "", {}, 0},           // nothing known yet
        {"0:01:10", "", 60.0, 0},         // a start past the end
        {"0:00:10", "0:00:05", 60.0, 50}, // an end before the start: to the end of the file
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.start) + " " + c.end);
        const PlanOutcome o = plan({"/in/a.avi", c.start, c.end, c.probed, {}});
        ASSERT_TRUE(o.plan) << o.error.toStdString();
        EXPECT_DOUBLE_EQ(o.plan->expectedSeconds, c.expected);
    }
}

TEST_F(ConversionPlanTest, TheJobRunsWhatThePlanSays) {
    pick(41); // Creative Zen AVI: quick to encode
    const QString encoder = locateEncoder();
    ASSERT_FALSE(encoder.isEmpty());
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] { loop.exit(1); });
    CapabilityLoader loader;
    QObject::connect(&loader, &CapabilityLoader::loaded, &loop, [&] { loop.exit(0); });
    loader.start(encoder);
    deadline.start(30000);
    ASSERT_EQ(loop.exec(), 0);

    const QString clip = test::makeVideoClip(out, "clip.avi");
    const JobSettings run{out.filePath("converted"), false, encoder, cachedCapabilities(encoder)};
    ASSERT_TRUE(QDir().mkpath(run.outputFolder));
    const PlanOutcome planned =
        planConversion({clip, "0:00:00", "0:00:02", 2.0, {}}, sheet, profile, run);
    ASSERT_TRUE(planned.plan) << planned.error.toStdString();

    ConversionJob job(
        test::jobFor(clip, profile, sheet, run.outputFolder, "0:00:00", "0:00:02", 2.0), run);
    JobResult result;
    QObject::connect(&job, &ConversionJob::finished, &loop, [&](const JobResult& r) {
        result = r;
        loop.exit(0);
    });
    job.start();
    deadline.start(60000);
    ASSERT_EQ(loop.exec(), 0);
    ASSERT_EQ(result.outcome, JobOutcome::Ok) << result.detail().toStdString();
    EXPECT_EQ(result.outputPath, planned.plan->outputPath);
    EXPECT_EQ(result.commandLine, planned.plan->profileCommand.text());
    EXPECT_EQ(result.program, planned.plan->program);
    // The encoder wrote into a private folder made as the job started, where the plan said.
    QStringList ran = result.arguments;
    const QFileInfo written(ran.takeLast());
    QStringList planArguments = planned.plan->arguments;
    const QFileInfo announced(planArguments.takeLast());
    EXPECT_EQ(ran, planArguments);
    EXPECT_EQ(written.fileName(), announced.fileName());
    EXPECT_EQ(QFileInfo(written.path()).path(), QFileInfo(announced.path()).path());
    EXPECT_NE(written.path(), announced.path());
    EXPECT_FALSE(written.exists()) << "its folder went once the output had its name";
}

} // namespace
