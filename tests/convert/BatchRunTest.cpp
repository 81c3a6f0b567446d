#include "ConvertTestSupport.h"

#include "convert/RunRows.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "tools/MediaFixtures.h"
#include "tools/ToolLocator.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace mirelo;
using namespace mirelo::test;

namespace {

constexpr int kAviMp3 = 41; // Creative Zen AVI: mpeg4 + mp3, quick to encode
constexpr int kMp4 = 30;    // Zune MPEG-4: mpeg4 + aac
constexpr int kWaveAudio = 90;
constexpr int kHdAvc = 23; // PS3 AVC 1440x1080: slow enough to cancel

class BatchRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        in = QDir(dir.filePath("in"));
        out = QDir(dir.filePath("out"));
        QDir().mkpath(in.path());
        QDir().mkpath(out.path());
        settings = {out.path(), "0", "0"};
        choose(kAviMp3);
        run.setPlatform({&power, &folders, &messages});
        run.setSettingsSource([this] { return settings; });
        run.setProfileSource([this] { return position; });
        QObject::connect(&run, &BatchRun::panelVisibleChanged,
                         [this](bool v) { log.add(v ? "panel shown" : "panel hidden"); });
        QObject::connect(&run, &BatchRun::rowFinished, [this](quintptr, const JobResult&) {
            totals.push_back(run.totalProgress());
        });
    }

    void choose(int p) {
        position = p;
        prolist(sheet);
        applyPresets(sheet, p);
    }

    quintptr addRow(const QString& path, const QString& length = "0:00:02") {
        return rows.append({path, "0:00:00", length, length, false});
    }

    QStringList outputs() const { return out.entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir dir;
    QDir in, out;
    OptionSheet sheet;
    int position = 0;
    RunSettings settings;
    RowList rows;
    EdgeLog log;
    FakePower power{log};
    FakeFolders folders{log};
    FakeMessages messages{log};
    BatchRun run{rows, sheet};
    std::vector<int> totals;
};

TEST_F(BatchRunTest, ThreeRowsWithACorruptMiddleOne) {
    const quintptr a = addRow(makeVideoClip(in, "a.avi"));
    const QString corrupt = in.filePath("b.avi");
    writeFile(corrupt, QByteArray(4096, 'z'));
    const quintptr b = addRow(corrupt);
    const quintptr c = addRow(makeVideoClip(in, "c.avi"));
    std::vector<int> emitted;
    QObject::connect(&run, &BatchRun::totalProgressChanged, [&](int v) { emitted.push_back(v); });

    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));

    EXPECT_EQ(rows.status(a), "OK");
    EXPECT_EQ(rows.status(b), "Fail");
    EXPECT_EQ(rows.status(c), "OK");
    EXPECT_EQ(totals, (std::vector<int>{33, 33, 66}));
    EXPECT_EQ(emitted, (std::vector<int>{0, 33, 66, 100, 0}));
    // The failure says why, with the encoder's own last lines.
    EXPECT_TRUE(rows.detail(b).contains("failed (exit code")) << rows.detail(b).toStdString();
    EXPECT_TRUE(rows.detail(b).contains("Encoder output:\n"));
    EXPECT_TRUE(rows.detail(b).contains(corrupt));
    EXPECT_EQ(outputs(), (QStringList{"a.avi", "c.avi"}));
    EXPECT_EQ(run.trackProgress(), 0);
    EXPECT_FALSE(run.panelVisible());
}

TEST_F(BatchRunTest, EndActionsInOrderAndShutdownOnlyWhenAsked) {
    for (const char* autoShut : {"1", "0", "", "yes"}) {
        SCOPED_TRACE(autoShut);
        log.events.clear();
        settings.autoShut = autoShut;
        addRow(makeVideoClip(in, "a.avi"));
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        std::vector<std::string> expected{"panel shown", "inhibit"};
        if (QString(autoShut) == "1")
            expected.push_back("poweroff");
        for (const char* e : {"info Conversion completed!", "panel hidden"})
            expected.push_back(e);
        expected.push_back("open " + out.path().toStdString());
        expected.push_back("release");
        EXPECT_EQ(log.events, expected);
        rows.remove(rows.rowKeys().first());
    }
}

TEST_F(BatchRunTest, NewNamingPolicyOneAndSourceProtection) {
    choose(kMp4);
    const quintptr a1 = addRow(makeVideoClip(in, "a.avi"));
    const QString wmv = in.filePath("a.wmv");
    QFile::copy(in.filePath("a.avi"), wmv);
    const quintptr a2 = addRow(wmv);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    EXPECT_EQ(rows.status(a1), "OK");
    EXPECT_EQ(rows.status(a2), "OK");
    EXPECT_EQ(outputs(), (QStringList{"a.mp4", "a_New.mp4"}));

    // Policy "1" overwrites a.mp4; any value but "1" keeps it.
    for (const char* policy : {"1", "7"}) {
        SCOPED_TRACE(policy);
        rows.remove(a2);
        settings.existedFile = policy;
        writeFile(out.filePath("a.mp4"), "old");
        QFile::remove(out.filePath("a_New.mp4"));
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        const bool overwrite = QString(policy) == "1";
        EXPECT_EQ(readFile(out.filePath("a.mp4")) == "old", !overwrite);
        EXPECT_EQ(QFile::exists(out.filePath("a_New.mp4")), !overwrite);
    }

    // The source in the output folder with the same name is never the target.
    rows.remove(a1);
    const QString source = out.filePath("s.mp4");
    QFile::copy(out.filePath("a_New.mp4"), source);
    const QByteArray before = readFile(source);
    const quintptr s = addRow(source);
    for (const char* policy : {"1", "0"}) {
        settings.existedFile = policy;
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        EXPECT_EQ(rows.status(s), "OK");
        EXPECT_EQ(readFile(source), before);
    }
    EXPECT_TRUE(QFile::exists(out.filePath("s_New.mp4")));
    EXPECT_TRUE(QFile::exists(out.filePath("s_New_New.mp4")));
}

bool encoderWritingInto(const QString& folder) {
    QDirIterator it("/proc", QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        const QByteArray cmd = readFile(it.next() + "/cmdline");
        if (cmd.contains(folder.toUtf8()) && cmd.contains("-progress"))
            return true;
    }
    return false;
}

TEST_F(BatchRunTest, CancelDuringALongEncodeStopsTheEncoderAndRemovesItsOutput) {
    choose(kHdAvc);
    settings.autoShut = "1";
    const quintptr r = addRow(makeVideoClip(in, "long.avi", 60), "0:01:00");
    addRow(makeVideoClip(in, "next.avi"));
    QObject::connect(&run, &BatchRun::trackProgressChanged, [&](int v) {
        if (v > ConversionJob::kStartProgress) // the encoder has written part of the file
            run.cancel();
    });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run, 60000));

    EXPECT_EQ(rows.status(r), "Cancel");
    EXPECT_TRUE(outputs().isEmpty()) << outputs().join(", ").toStdString();
    EXPECT_FALSE(encoderWritingInto(out.path()));
    EXPECT_TRUE(log.has("error Conversion Canceled by the user!"));
    EXPECT_FALSE(log.has("poweroff"));
    EXPECT_FALSE(log.has("info Conversion completed!"));
    EXPECT_FALSE(log.has("open " + out.path().toStdString()));
    EXPECT_TRUE(log.has("release"));
    EXPECT_EQ(run.trackProgress(), 0);
    EXPECT_EQ(run.totalProgress(), 0);
    EXPECT_FALSE(run.panelVisible());
    EXPECT_FALSE(run.isRunning());
}

TEST_F(BatchRunTest, MissingInputStopsTheRunAndResetsTheIndicators) {
    settings.autoShut = "1";
    const quintptr a = addRow(makeVideoClip(in, "a.avi"));
    const QString missing = in.filePath("gone.avi");
    const quintptr b = addRow(missing);
    const quintptr c = addRow(makeVideoClip(in, "c.avi"));
    RunEnd end = RunEnd::Completed;
    QObject::connect(&run, &BatchRun::finished, [&](RunEnd e) { end = e; });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    EXPECT_EQ(end, RunEnd::Stopped);
    EXPECT_EQ(rows.status(a), "OK");
    EXPECT_EQ(rows.status(b), "");
    EXPECT_EQ(rows.status(c), "");
    EXPECT_TRUE(log.has("error " + missing.toStdString() + "Invalid input file name. "));
    EXPECT_FALSE(log.has("poweroff"));
    EXPECT_FALSE(log.has("info Conversion completed!"));
    EXPECT_FALSE(run.panelVisible());
    EXPECT_EQ(run.trackProgress(), 0);
    EXPECT_EQ(run.totalProgress(), 0);
}

TEST_F(BatchRunTest, ACategoryRowOrAnEmptyListDoesNotStart) {
    EXPECT_FALSE(run.start()); // empty list: nothing, no message
    EXPECT_TRUE(log.events.empty());
    addRow(in.filePath("a.avi"));
    position = 1; // "Apple iPod", a heading
    EXPECT_FALSE(run.start());
    ASSERT_EQ(log.events.size(), 1u);
    EXPECT_NE(log.events[0].find("choose an output profile"), std::string::npos);
    EXPECT_FALSE(run.isRunning());
}

TEST_F(BatchRunTest, RemovedRowsAreSkippedAndProbingRowsAwaited) {
    const quintptr a = addRow(makeVideoClip(in, "a.avi"));
    const quintptr b = addRow(makeVideoClip(in, "b.avi"));
    RunRow probing{makeVideoClip(in, "c.avi"), "0:00:00", "", "", true};
    const quintptr c = rows.append(probing);
    QObject::connect(&run, &BatchRun::rowFinished, [&](quintptr key, const JobResult&) {
        if (key == a) {
            rows.remove(b);
            // The probe of c ends a moment later.
            QTimer::singleShot(300, [&] {
                probing.probing = false;
                probing.end = probing.videoTime = "0:00:02";
                rows.update(c, probing);
            });
        }
    });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    EXPECT_EQ(rows.status(a), "OK");
    EXPECT_EQ(rows.status(c), "OK");
    // Each step adds its share of the list as it then stands: 33, then 33 + 50.
    EXPECT_EQ(totals, (std::vector<int>{33, 83}));
    EXPECT_EQ(outputs(), (QStringList{"a.avi", "c.avi"}));
}

// The installed encoder without its closing progress report: the job must read the file back.
QString encoderWithoutReport(const QDir& folder) {
    const QString path = folder.filePath("encoder-without-report");
    writeFile(path, "#!/bin/sh\n"
                    "for a; do\n"
                    "  shift\n"
                    "  if [ -n \"$skip\" ]; then skip=; continue; fi\n"
                    "  if [ \"$a\" = -progress ]; then skip=1; continue; fi\n"
                    "  set -- \"$@\" \"$a\"\n"
                    "done\n"
                    "exec '" +
                        locateEncoder().toUtf8() + "' \"$@\"\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

TEST_F(BatchRunTest, AnOutputFarShorterThanTheClipFails) {
    choose(kWaveAudio);
    // An MP3 whose header announces ten seconds, cut after two: the encoder reads what there is
    // and exits 0.
    const QString mp3 = makeClip(
        in, "cut.mp3", {"-f", "lavfi", "-i", "sine=d=10", "-c:a", "libmp3lame", "-b:a", "64k"});
    writeFile(mp3, readFile(mp3).left(20000));
    for (const bool report : {true, false}) {
        SCOPED_TRACE(report ? "length from the encoder's report" : "length read back");
        run.setEncoderPath(report ? locateEncoder() : encoderWithoutReport(in));
        const quintptr r = addRow(mp3, "0:00:10");
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        EXPECT_EQ(rows.status(r), "Fail");
        EXPECT_TRUE(rows.detail(r).contains("far shorter than the 10.0 s clip"))
            << rows.detail(r).toStdString();
        EXPECT_TRUE(outputs().isEmpty());
        rows.remove(r);
    }
}

// An encoder that lists and reads back as the installed one does, logs each conversion it is given
// and runs it with `conversion` (a shell fragment; "$real" is the installed encoder).
QString wrappedEncoder(const QDir& folder, const QString& name, const QByteArray& conversion) {
    const QString path = folder.filePath(name);
    writeFile(path, "#!/bin/sh\n"
                    "real='" +
                        locateEncoder().toUtf8() +
                        "'\n"
                        "case \" $* \" in *\" -progress \"*) ;; *) exec \"$real\" \"$@\";; esac\n"
                        "echo \"$*\" >> '" +
                        path.toUtf8() + ".log'\n" + conversion + "\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

int conversionsRun(const QString& encoder) {
    return int(readFile(encoder + ".log").count('\n'));
}

// The conversion with "-t 0" before the output (the last argument): an output of no length.
const char kNoLength[] = "n=$#; i=0\n"
                         "for a; do i=$((i+1)); shift\n"
                         "  [ $i -eq $n ] && set -- \"$@\" -t 0\n"
                         "  set -- \"$@\" \"$a\"\n"
                         "done\n";
const char kWithoutReport[] = "for a; do shift\n"
                              "  if [ -n \"$skip\" ]; then skip=; continue; fi\n"
                              "  if [ \"$a\" = -progress ]; then skip=1; continue; fi\n"
                              "  set -- \"$@\" \"$a\"\n"
                              "done\n";

TEST_F(BatchRunTest, AClipStartingAtOrPastTheEndOfItsInputIsRefused) {
    // 2.6 s: probed as 0:00:03, so a start at 0:00:03 is past the end by the encoder's reading.
    const QString clip = makeClip(in, "short.avi",
                                  {"-f", "lavfi", "-i", "testsrc=d=2.6:s=160x120:r=10", "-f",
                                   "lavfi", "-i", "sine=d=2.6", "-shortest"});
    const struct {
        const char* name;
        const char* start;
        const char* probedLength; // "": not probed
        bool refused;
        bool encoderRan;
    } cases[] = {
        {"past the probed length: the encoder never runs", "0:10:00", "0:00:03", true, false},
        {"within the probed length's rounding: the encoder's duration decides", "0:00:03",
         "0:00:03", true, true},
        {"not probed: refused when the encoder prints the duration", "0:10:00", "", true, true},
        {"inside the clip", "0:00:01", "0:00:03", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString encoder = wrappedEncoder(in, QStringLiteral("encoder-%1").arg(&c - cases),
                                               "exec \"$real\" \"$@\"");
        run.setEncoderPath(encoder);
        const quintptr r = rows.append({clip, c.start, "", c.probedLength, false});
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        EXPECT_EQ(rows.status(r), c.refused ? "Fail" : "OK");
        EXPECT_EQ(rows.detail(r).contains("at or past the end of " + clip), c.refused)
            << rows.detail(r).toStdString();
        EXPECT_EQ(conversionsRun(encoder), c.encoderRan ? 1 : 0);
        EXPECT_EQ(outputs().isEmpty(), c.refused) << outputs().join(", ").toStdString();
        EXPECT_FALSE(encoderWritingInto(out.path()));
        rows.remove(r);
        for (const QString& f : outputs())
            QFile::remove(out.filePath(f));
    }
}

// "OK" needs a length: an output of none fails whether the encoder's closing report or the file
// read back says so.
TEST_F(BatchRunTest, AnOutputWithoutStreamOrLengthIsNeverOk) {
    const QString clip = makeVideoClip(in, "a.avi");
    const struct {
        const char* name;
        QByteArray conversion;
        const char* reason;
    } cases[] = {
        {"no length in the closing report", QByteArray(kNoLength) + "exec \"$real\" \"$@\"",
         "holds nothing"},
        {"no report, no length read back",
         QByteArray(kWithoutReport) + kNoLength + "exec \"$real\" \"$@\"", "has no length"},
        {"no report, not a media file",
         "for last; do :; done\nprintf 'not a media file' > \"$last\"\nexit 0", "holds nothing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        run.setEncoderPath(
            wrappedEncoder(in, QStringLiteral("encoder-%1").arg(&c - cases), c.conversion));
        const quintptr r = rows.append({clip, "0:00:00", "", "", false});
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        EXPECT_EQ(rows.status(r), "Fail");
        EXPECT_TRUE(rows.detail(r).contains(c.reason)) << rows.detail(r).toStdString();
        EXPECT_TRUE(outputs().isEmpty()) << outputs().join(", ").toStdString();
        rows.remove(r);
    }
}

// A hung encoder (an input that never delivers) reports nothing: it is stopped and its row fails.
TEST_F(BatchRunTest, AnEncoderWithoutProgressIsStoppedAndItsRowFails) {
    const QString clip = makeVideoClip(in, "a.avi");
    const QString encoder = wrappedEncoder(in, "silent", "exec sleep 60");
    OptionSheet jobSheet;
    prolist(jobSheet);
    applyPresets(jobSheet, kAviMp3);
    ConversionJob job({clip, "0:00:00", "", std::nullopt, kAviMp3, &jobSheet},
                      {out.path(), false, encoder, nullptr});
    EXPECT_EQ(job.stallTimeout(), 120000);
    job.setStallTimeout(700);
    JobResult result;
    QObject::connect(&job, &ConversionJob::finished, [&result](const JobResult& r) { result = r; });
    QSignalSpy finished(&job, &ConversionJob::finished);
    QElapsedTimer clock;
    clock.start();
    job.start();
    ASSERT_TRUE(finished.wait(20000));
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(result.status(), "Fail");
    EXPECT_TRUE(result.message.contains("reported no progress for 0.7 seconds and was stopped"))
        << result.message.toStdString();
    EXPECT_TRUE(result.message.contains(encoder));
    EXPECT_EQ(conversionsRun(encoder), 1);
    EXPECT_TRUE(outputs().isEmpty());
}

TEST_F(BatchRunTest, PerItemProgressStartsAtTenAndStaysBelowHundredWhileRunning) {
    addRow(makeVideoClip(in, "a.avi", 6), "0:00:06");
    std::vector<int> track;
    QObject::connect(&run, &BatchRun::trackProgressChanged, [&](int v) { track.push_back(v); });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    ASSERT_GE(track.size(), 3u);
    EXPECT_EQ(track.front(), 10);
    EXPECT_EQ(track[track.size() - 2], 100); // then 0 as the panel closes
    for (size_t i = 1; i + 2 < track.size(); ++i) {
        EXPECT_GE(track[i], 10);
        EXPECT_LE(track[i], 99);
        EXPECT_GE(track[i], track[i - 1]);
    }
}

} // namespace
