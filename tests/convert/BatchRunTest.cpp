#include "ConvertTestSupport.h"
#include "TestJobs.h"

#include "base/ByteNames.h"
#include "base/CoreCount.h"
#include "base/IniFile.h"
#include "base/TimeString.h"
#include "base/ToolLocator.h"
#include "common/MediaFixtures.h"
#include "convert/ConversionPlan.h"
#include "convert/EncoderCapabilities.h"
#include "convert/OutputSizeEstimate.h"
#include "probe/ProbeQueue.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "profiles/SheetNames.h"
#include "settings/AppSettings.h"
#include "settings/SimultaneousJobs.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

using namespace mirelo;
using namespace mirelo::test;

namespace {

constexpr int kAviMp3 = 41; // Creative Zen AVI: mpeg4 + mp3, quick to encode
constexpr int kXvidAac = 2; // iPod MPEG-4: libxvid + aac, encoders that run in one thread
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
        store("outputfolder", out.path());
        store("existedfile", "0");
        store("autoshut", "0");
        choose(kAviMp3);
        run.setPlatform({&power, &folders, &messages});
        run.setSettingsSource([this] { return stored.runSettings(); });
        run.setProfileSource([this] { return position; });
        QObject::connect(&run, &BatchRun::runningChanged,
                         [this](bool v) { log.add(v ? "run started" : "run ended"); });
        QObject::connect(&run, &BatchRun::rowFinished, [this](RowId, const JobResult&) {
            totals.push_back(run.totalProgress());
        });
    }

    // A value in the settings file, as the settings dialog or a user would leave it.
    void store(const char* key, const QString& value) {
        ASSERT_TRUE(writeIniValue(stored.filePath(), "set", QLatin1String(key), value));
    }

    void choose(int p) {
        position = p;
        resetToDefaults(sheet);
        applyPresets(sheet, p);
    }

    RowId addRow(const QString& path, const QString& length = "0:00:02") {
        return rows.addClip(path, 0, parseTimeString(length));
    }
    // A row as "Add Files" makes it: probed by the player before any run.
    RowId addProbedRow(const QString& path) {
        QSignalSpy probed(&rows, &SourceListModel::rowProbed);
        const RowId id = rows.addMediaFile(path);
        return probed.count() == 1 || probed.wait(30000) ? id : 0;
    }
    QString status(RowId id) const {
        return rows.find(id) ? SourceListModel::statusText(rows.find(id)->status) : "<gone>";
    }
    QString cell(RowId id, SourceListModel::Column column) const {
        return rows.index(rows.rowOf(id), column).data().toString();
    }
    QString detail(RowId id) const {
        return rows.find(id) ? rows.find(id)->status.detail : "<gone>";
    }

    // Everything in the output folder, folders (a temporary one left behind) included.
    QStringList outputs() const {
        return out.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
    QDir in, out;
    OptionSheet sheet;
    int position = 0;
    AppSettings stored{dir.filePath("settings.dat"), dir.filePath("app")};
    SourceListModel rows;
    EdgeLog log;
    FakePower power{log};
    FakeFolders folders{log};
    FakeMessages messages{log};
    BatchRun run{rows, sheet};
    std::vector<int> totals;
};

TEST_F(BatchRunTest, ThreeRowsWithACorruptMiddleOne) {
    const RowId a = addRow(makeVideoClip(in, "a.avi"));
    const QString corrupt = in.filePath("b.avi");
    writeFile(corrupt, QByteArray(4096, 'z'));
    const RowId b = addRow(corrupt);
    const RowId c = addRow(makeVideoClip(in, "c.avi"));
    std::vector<int> emitted;
    QObject::connect(&run, &BatchRun::totalProgressChanged, [&](int v) { emitted.push_back(v); });
    std::vector<RowState> statesOfA;
    QObject::connect(&rows, &QAbstractItemModel::dataChanged, [&](const QModelIndex& first) {
        if (first.row() == rows.rowOf(a) && first.column() == SourceListModel::StatusColumn)
            statesOfA.push_back(rows.find(a)->status.state);
    });

    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));

    EXPECT_EQ(statesOfA,
              (std::vector<RowState>{RowState::Queued, RowState::Converting, RowState::Done}));
    EXPECT_EQ(status(a), "OK");
    EXPECT_EQ(status(b), "Fail");
    EXPECT_EQ(status(c), "OK");
    EXPECT_EQ(totals, (std::vector<int>{33, 33, 66}));
    EXPECT_EQ(emitted, (std::vector<int>{0, 33, 66, 100, 0}));
    // The failure says why, with the encoder's own last lines.
    EXPECT_TRUE(detail(b).contains("failed (exit code")) << detail(b).toStdString();
    EXPECT_TRUE(detail(b).contains("Encoder output:\n"));
    EXPECT_TRUE(detail(b).contains(corrupt));
    EXPECT_EQ(outputs(), (QStringList{"a.avi", "c.avi"}));
    // A converted row shows the size of what it wrote.
    EXPECT_EQ(rows.find(a)->status.outputBytes, QFileInfo(out.filePath("a.avi")).size());
    EXPECT_EQ(cell(a, SourceListModel::OutputSizeColumn),
              byteSizeText(QFileInfo(out.filePath("a.avi")).size()));
    EXPECT_EQ(rows.find(a)->status.outputPath, out.filePath("a.avi"));
    EXPECT_EQ(cell(b, SourceListModel::OutputSizeColumn), "");
    EXPECT_EQ(run.trackProgress(), 0);
    EXPECT_FALSE(run.isRunning());
    // The end message tells the failure apart from a clean run, and its details say why.
    EXPECT_FALSE(log.has("info Conversion completed!"));
    EXPECT_TRUE(log.has("warning Conversion completed: 2 of 3 files converted, 1 failed.\n\n"
                        "Not converted:\n" +
                        corrupt.toStdString()));
    EXPECT_TRUE(messages.m_details.startsWith(corrupt + ":\n")) << messages.m_details.toStdString();
    EXPECT_TRUE(messages.m_details.contains("Encoder output:\n"));
}

// A file named by bytes that are not UTF-8, listed through its stand-in link, is converted and
// its output takes the byte name by the naming rules, straight from the encoder's private folder:
// the bytes' visible text, which a user's file may hold, is never written.
TEST_F(BatchRunTest, AByteNamedInputsOutputTakesItsBytes) {
    const QByteArray input = QFile::encodeName(in.path()) + "/bad\xff\xfe.avi";
    ASSERT_EQ(
        ::link(QFile::encodeName(makeVideoClip(in, "clip.avi")).constData(), input.constData()), 0);
    const ByteNamesCleaner cleaner(dir.path());
    StandInLinks links;
    QString error;
    const QString standIn = links.add(input, &error);
    ASSERT_FALSE(standIn.isEmpty()) << error.toStdString();
    run.setStandIns(&links);
    rows.setStandIns(&links);
    const QString logs = dir.filePath("logs");
    ASSERT_TRUE(QDir().mkpath(logs));
    const struct {
        const char* name;
        const char* policy;   // existedfile
        const char* existing; // in the output folder, holding "old"; null: none
        const char* made;
    } cases[] = {
        {"a free name", "0", nullptr, "bad\xff\xfe.avi"},
        {"the name taken", "0", "bad\xff\xfe.avi", "bad\xff\xfe_New.avi"},
        {"the visible text taken, keep", "0", "bad\\xff\\xfe.avi", "bad\xff\xfe.avi"},
        {"the visible text taken, overwrite", "1", "bad\\xff\\xfe.avi", "bad\xff\xfe.avi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray folder = QFile::encodeName(out.filePath(QString::number(&c - cases)));
        ASSERT_EQ(::mkdir(folder.constData(), 0700), 0);
        store("outputfolder", QString::fromUtf8(folder));
        store("existedfile", c.policy);
        QList<QByteArray> expected{c.made};
        if (c.existing) {
            const QByteArray path = folder + '/' + c.existing;
            FILE* f = std::fopen(path.constData(), "w");
            ASSERT_NE(f, nullptr);
            std::fputs("old", f);
            std::fclose(f);
            expected += c.existing;
            std::sort(expected.begin(), expected.end());
        }
        rows.clear();
        const RowId id = addProbedRow(standIn);
        ASSERT_NE(id, 0u);
        // The list shows the file's own name, never the link's folder nor U+FFFD.
        const QString shown = rows.data(rows.index(0, SourceListModel::FileNameColumn)).toString();
        EXPECT_EQ(shown, visibleName(input));

        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));

        ASSERT_EQ(status(id), "OK") << detail(id).toStdString();
        EXPECT_EQ(namesIn(folder), expected);
        const QByteArray made = folder + '/' + c.made;
        EXPECT_GT(probedSecondsOf(made, logs), 1.5);
        if (c.existing) {
            EXPECT_EQ(readBytePath(folder + '/' + c.existing), "old");
        }
        EXPECT_EQ(rows.find(id)->status.outputBytes, readBytePath(made).size());
    }
}

// A file the probe found nothing in never reaches the encoder; its row says it was skipped and why.
TEST_F(BatchRunTest, AnUnreadableRowIsSkippedWithItsReason) {
    const QString noise = in.filePath("noise.avi");
    writeFile(noise, QByteArray(4096, 'z'));
    const RowId a = addProbedRow(makeVideoClip(in, "a.avi"));
    const RowId b = addProbedRow(noise);
    const RowId c = addProbedRow(makeVideoClip(in, "c.avi"));
    ASSERT_NE(b, 0u);
    ASSERT_EQ(status(b), "Unreadable");
    std::vector<RowId> started;
    QObject::connect(&run, &BatchRun::rowStarted,
                     [&](RowId id, const QString&) { started.push_back(id); });
    // Whoever counts the finished rows counts the skipped one as not converted.
    std::vector<std::pair<RowId, JobOutcome>> finished;
    QObject::connect(&run, &BatchRun::rowFinished,
                     [&](RowId id, const JobResult& r) { finished.emplace_back(id, r.outcome); });

    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));

    EXPECT_EQ(started, (std::vector<RowId>{a, c}));
    EXPECT_EQ(finished, (std::vector<std::pair<RowId, JobOutcome>>{
                            {a, JobOutcome::Ok}, {b, JobOutcome::Fail}, {c, JobOutcome::Ok}}));
    EXPECT_EQ(status(a), "OK");
    EXPECT_EQ(status(b), "Skipped");
    EXPECT_EQ(status(c), "OK");
    EXPECT_TRUE(detail(b).contains("Not converted")) << detail(b).toStdString();
    EXPECT_TRUE(detail(b).contains(noise)) << detail(b).toStdString();
    EXPECT_EQ(outputs(), (QStringList{"a.avi", "c.avi"}));
}

// The run has ended (lock released, state at rest) before the end actions reach the user, so
// nothing the user does with a message can find the run half-finished.
TEST_F(BatchRunTest, EndActionsInOrderAndShutdownOnlyWhenAsked) {
    for (const char* autoShut : {"1", "0", "", "yes", "2", " 1 "}) {
        SCOPED_TRACE(autoShut);
        log.events.clear();
        store("autoshut", autoShut);
        addRow(makeVideoClip(in, "a.avi"));
        std::vector<std::string> atFinish;
        const auto connection = QObject::connect(&run, &BatchRun::finished, [&] {
            atFinish = log.events;
            EXPECT_FALSE(run.isRunning());
            EXPECT_EQ(run.totalProgress(), 0);
        });
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        QObject::disconnect(connection);
        const std::vector<std::string> ended{"run started", "inhibit", "release", "run ended"};
        EXPECT_EQ(atFinish, ended);
        std::vector<std::string> expected = ended;
        if (QString(autoShut).trimmed() == "1")
            expected.push_back("poweroff");
        expected.push_back("info Conversion completed!");
        expected.push_back("open " + out.path().toStdString());
        EXPECT_EQ(log.events, expected);
        rows.remove(rows.idAt(0));
    }
}

TEST_F(BatchRunTest, NewNamingPolicyOneAndSourceProtection) {
    choose(kMp4);
    const RowId a1 = addRow(makeVideoClip(in, "a.avi"));
    const QString wmv = in.filePath("a.wmv");
    QFile::copy(in.filePath("a.avi"), wmv);
    const RowId a2 = addRow(wmv);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    EXPECT_EQ(status(a1), "OK");
    EXPECT_EQ(status(a2), "OK");
    EXPECT_EQ(outputs(), (QStringList{"a.mp4", "a_New.mp4"}));

    // Policy "1" overwrites a.mp4; any value but "1" keeps it.
    for (const char* policy : {"1", "7"}) {
        SCOPED_TRACE(policy);
        rows.remove(a2);
        store("existedfile", policy);
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
    const RowId s = addRow(source);
    for (const char* policy : {"1", "0"}) {
        store("existedfile", policy);
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        EXPECT_EQ(status(s), "OK");
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
    store("autoshut", "1");
    const RowId r = addRow(makeVideoClip(in, "long.avi", 60), "0:01:00");
    addRow(makeVideoClip(in, "next.avi"));
    QObject::connect(&run, &BatchRun::trackProgressChanged, [&](int v) {
        if (v > ConversionJob::kStartProgress) // the encoder has written part of the file
            run.cancel();
    });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run, 60000));

    EXPECT_EQ(status(r), "Cancel");
    EXPECT_TRUE(outputs().isEmpty()) << outputs().join(", ").toStdString();
    EXPECT_FALSE(encoderWritingInto(out.path()));
    EXPECT_TRUE(log.has("error Conversion Canceled by the user!"));
    EXPECT_FALSE(log.has("poweroff"));
    EXPECT_FALSE(log.has("info Conversion completed!"));
    EXPECT_FALSE(log.has("open " + out.path().toStdString()));
    EXPECT_TRUE(log.has("release"));
    EXPECT_TRUE(log.before("run ended", "error Conversion Canceled by the user!"));
    EXPECT_EQ(run.trackProgress(), 0);
    EXPECT_EQ(run.totalProgress(), 0);
    EXPECT_FALSE(run.isRunning());
}

TEST_F(BatchRunTest, MissingInputStopsTheRunAndResetsTheIndicators) {
    store("autoshut", "1");
    const RowId a = addRow(makeVideoClip(in, "a.avi"));
    const QString missing = in.filePath("gone.avi");
    const RowId b = addRow(missing);
    const RowId c = addRow(makeVideoClip(in, "c.avi"));
    RunEnd end = RunEnd::Completed;
    QString reason;
    QObject::connect(&run, &BatchRun::finished, [&](RunEnd e, const QString& message) {
        end = e;
        reason = message;
    });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    EXPECT_EQ(end, RunEnd::Stopped);
    EXPECT_EQ(reason, missing + "Invalid input file name. ");
    EXPECT_EQ(status(a), "OK");
    EXPECT_EQ(status(b), "");
    EXPECT_EQ(rows.find(b)->status.state, RowState::Ready); // not left queued
    EXPECT_EQ(detail(b), missing + "Invalid input file name. ");
    EXPECT_EQ(status(c), "");
    EXPECT_TRUE(log.has("error " + missing.toStdString() + "Invalid input file name. "));
    EXPECT_FALSE(log.has("poweroff"));
    EXPECT_FALSE(log.has("info Conversion completed!"));
    EXPECT_TRUE(
        log.before("run ended", "error " + missing.toStdString() + "Invalid input file name. "));
    EXPECT_FALSE(run.isRunning());
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

// The media player, held back until the gate file exists.
QString gatedPlayer(const QDir& folder, const QString& gate) {
    const QString path = folder.filePath("gated-player");
    writeFile(path, "#!/bin/sh\n"
                    "while [ ! -e '" +
                        gate.toUtf8() +
                        "' ]; do sleep 0.05; done\n"
                        "exec '" +
                        locatePlayer().toUtf8() + "' \"$@\"\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

TEST_F(BatchRunTest, RemovedRowsAreSkippedAndProbingRowsAwaited) {
    const QString gate = dir.filePath("probe may run");
    rows.probeQueue().setPlayerProgram(gatedPlayer(in, gate));
    const RowId a = addRow(makeVideoClip(in, "a.avi"));
    const RowId b = addRow(makeVideoClip(in, "b.avi"));
    const RowId c = rows.addMediaFile(makeVideoClip(in, "c.avi"));
    bool cProbedWhenAFinished = true;
    QString cEndWhenStarted;
    QObject::connect(&run, &BatchRun::rowFinished, [&](RowId id, const JobResult&) {
        if (id == a) {
            cProbedWhenAFinished = rows.find(c)->probed();
            rows.remove(b);
            // The probe of c ends a moment later.
            QTimer::singleShot(300, [&] { writeFile(gate, ""); });
        }
    });
    QObject::connect(&run, &BatchRun::rowStarted, [&](RowId id, const QString&) {
        if (id == c)
            cEndWhenStarted = cell(c, SourceListModel::EndColumn);
    });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    EXPECT_FALSE(cProbedWhenAFinished);
    EXPECT_EQ(cEndWhenStarted, "0:00:02"); // the probe had filled the row
    EXPECT_EQ(status(a), "OK");
    EXPECT_EQ(status(c), "OK");
    // Each step adds its share of the list as it then stands: 33, then 33 + 50.
    EXPECT_EQ(totals, (std::vector<int>{33, 83}));
    EXPECT_EQ(outputs(), (QStringList{"a.avi", "c.avi"}));
}

// A row removed while it converts, and a file added right after: the new row is a row of its
// own, which this run neither converts nor marks, whatever the removed row's job reports.
TEST_F(BatchRunTest, ARowAddedAfterARemovalIsNeverTakenForTheRemovedOne) {
    const RowId a = addRow(makeVideoClip(in, "a.avi"));
    const RowId b = addRow(makeVideoClip(in, "b.avi"));
    const QString added = makeVideoClip(in, "added.avi");
    RowId n = 0;
    std::vector<RowId> started, finished;
    QObject::connect(&run, &BatchRun::rowStarted, [&](RowId id, const QString&) {
        started.push_back(id);
        if (id == a) {
            ASSERT_TRUE(rows.remove(a));
            n = rows.addClip(added, 0, 2);
        }
    });
    QObject::connect(&run, &BatchRun::rowFinished,
                     [&](RowId id, const JobResult&) { finished.push_back(id); });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    ASSERT_NE(n, 0u);
    EXPECT_NE(n, a);
    EXPECT_EQ(rows.find(a), nullptr);
    EXPECT_EQ(status(n), "");
    EXPECT_EQ(detail(n), "");
    EXPECT_EQ(status(b), "OK");
    EXPECT_EQ(started, (std::vector<RowId>{a, b}));
    EXPECT_EQ(finished, (std::vector<RowId>{a, b}));
    EXPECT_EQ(outputs(), (QStringList{"a.avi", "b.avi"})); // never "added.avi"
    EXPECT_EQ(rows.ids(), (QList<RowId>{b, n}));
}

// The run's clock is the wall clock: a moment in which the event loop is busy costs it nothing,
// and after the run it keeps the run's duration.
TEST_F(BatchRunTest, ElapsedTimeIsTheWallClocksEvenWhenTheEventLoopIsBusy) {
    addRow(makeVideoClip(in, "a.avi"));
    QObject::connect(&run, &BatchRun::rowStarted, [] { QThread::msleep(4500); });
    QElapsedTimer wall;
    wall.start();
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    const qint64 took = wall.elapsed() / 1000;
    const qint64 elapsed = run.elapsedSeconds();
    EXPECT_GE(elapsed, 4);
    EXPECT_LE(elapsed, took);
    QTest::qWait(1100);
    EXPECT_EQ(run.elapsedSeconds(), elapsed);
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
        const RowId r = addRow(mp3, "0:00:10");
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        EXPECT_EQ(status(r), "Fail");
        EXPECT_TRUE(detail(r).contains("far shorter than the 10.0 s clip"))
            << detail(r).toStdString();
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

// An encoder that logs every command it is given, then runs it as the installed one.
QString loggingEncoder(const QDir& folder, const QString& name) {
    const QString path = folder.filePath(name);
    writeFile(path, "#!/bin/sh\necho \"$*\" >> '" + path.toUtf8() + ".log'\nexec '" +
                        locateEncoder().toUtf8() + "' \"$@\"\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
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

// Times the logging encoder was asked to open `file` other than to convert it.
int readsOf(const QString& log, const QString& file) {
    int reads = 0;
    for (const QString& line : log.split(QLatin1Char('\n')))
        if (!line.contains(QLatin1String("-progress")))
            reads +=
                int(QString(line + QLatin1Char(' ')).count(QStringLiteral(" -i ") + file + ' '));
    return reads;
}

// Every row's file is read ahead, the later ones while earlier ones convert: each file is read
// once, a row without a known length gets it, and jobs side by side split the cores between them.
TEST_F(BatchRunTest, FilesAreReadAheadOnceAndJobsSideBySideShareTheCores) {
    for (const int jobs : {1, 2}) {
        if (jobs > coreCount())
            continue;
        SCOPED_TRACE(jobs);
        store("jobs", QString::number(jobs));
        const QString encoder = loggingEncoder(in, QStringLiteral("encoder-%1").arg(jobs));
        run.setEncoderPath(encoder);
        std::vector<RowId> ids;
        QStringList files;
        for (const char* name : {"a", "b", "c"}) {
            files << makeVideoClip(in, QStringLiteral("%1%2.avi").arg(name).arg(jobs), 3);
            ids.push_back(rows.addClip(files.last(), 0, std::nullopt));
        }
        std::map<RowId, QStringList> ran;
        const auto connection =
            QObject::connect(&run, &BatchRun::rowFinished,
                             [&ran](RowId id, const JobResult& r) { ran[id] = r.arguments; });
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        QObject::disconnect(connection);

        const QString log = QString::fromUtf8(readFile(encoder + ".log"));
        const QString threads = QString::number(std::max(1, coreCount() / jobs));
        for (std::size_t i = 0; i < ids.size(); ++i) {
            SCOPED_TRACE(files[qsizetype(i)].toStdString());
            EXPECT_EQ(status(ids[i]), "OK") << detail(ids[i]).toStdString();
            EXPECT_EQ(readsOf(log, files[qsizetype(i)]), 1) << log.toStdString();
            EXPECT_EQ(rows.find(ids[i])->length, 3);
            EXPECT_EQ(ran[ids[i]].count("-threads"), jobs > 1 ? 2 : 0);
            if (jobs > 1) {
                EXPECT_EQ(ran[ids[i]][ran[ids[i]].indexOf("-threads") + 1], threads);
            }
        }
        rows.clear();
    }
}

// A machine on which other programs use nothing and this run's jobs keep every core busy.
class BusyMachine : public CpuLoadSource {
public:
    int cores() const override { return 2; }
    CpuSample sample() override {
        m_now.wallSeconds += 0.2;
        m_now.busyCoreSeconds += 0.4;
        m_now.ownCoreSeconds += 0.4;
        return m_now;
    }

private:
    CpuSample m_now{1000, 0, 0, qint64(8) << 30};
};

// "auto": rows whose encoders run in one thread start side by side without waiting for a
// measurement; rows of an encoder with threads (mpeg4) wait for one, which here never gives a
// place.
TEST_F(BatchRunTest, AutoStartsRowsOfOneThreadEncodersSideBySideAtOnce) {
    if (coreCount() < 2)
        GTEST_SKIP() << "one core";
    store("jobs", "auto");
    BusyMachine machine;
    run.setLoadSource(&machine);
    int running = 0, most = 0;
    QObject::connect(&run, &BatchRun::rowStarted,
                     [&](RowId, const QString&) { most = std::max(most, ++running); });
    QObject::connect(&run, &BatchRun::rowFinished, [&](RowId, const JobResult&) { --running; });
    for (const auto& [profile, sideBySide] : {std::pair{kXvidAac, 2}, std::pair{kAviMp3, 1}}) {
        SCOPED_TRACE(profile);
        choose(profile);
        // What the encoders' help says is learnt by the first conversion that uses them.
        const RowId first = addRow(makeVideoClip(in, QStringLiteral("first%1.avi").arg(profile)));
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        ASSERT_EQ(status(first), "OK") << detail(first).toStdString();
        rows.clear();
        std::vector<RowId> ids;
        for (int i = 0; i < 3; ++i)
            ids.push_back(
                addRow(makeVideoClip(in, QStringLiteral("r%1-%2.avi").arg(profile).arg(i))));
        most = 0;
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        for (const RowId id : ids)
            EXPECT_EQ(status(id), "OK") << detail(id).toStdString();
        EXPECT_EQ(most, sideBySide);
        rows.clear();
    }
}

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
        {"not probed: the file read ahead gives the length", "0:10:00", "", true, false},
        {"inside the clip", "0:00:01", "0:00:03", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString encoder = wrappedEncoder(in, QStringLiteral("encoder-%1").arg(&c - cases),
                                               "exec \"$real\" \"$@\"");
        run.setEncoderPath(encoder);
        const int start = *parseTimeString(QLatin1String(c.start));
        const RowId r =
            c.probedLength[0] ? addProbedRow(clip) : rows.addClip(clip, start, std::nullopt);
        ASSERT_NE(r, 0u);
        if (c.probedLength[0]) {
            ASSERT_EQ(cell(r, SourceListModel::VideoTimeColumn), QLatin1String(c.probedLength));
            rows.setClipTimes(r, start, std::nullopt);
        }
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        EXPECT_EQ(status(r), c.refused ? "Fail" : "OK");
        EXPECT_EQ(detail(r).contains("at or past the end of " + clip), c.refused)
            << detail(r).toStdString();
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
        {"a closing report claiming the whole clip over junk",
         "for last; do :; done\nprintf 'not a media file' > \"$last\"\n"
         "printf 'out_time_us=2000000\\ntotal_size=16\\nprogress=end\\n'\nexit 0",
         "holds nothing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        run.setEncoderPath(
            wrappedEncoder(in, QStringLiteral("encoder-%1").arg(&c - cases), c.conversion));
        const RowId r = rows.addClip(clip, 0, std::nullopt);
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        EXPECT_EQ(status(r), "Fail");
        EXPECT_TRUE(detail(r).contains(c.reason)) << detail(r).toStdString();
        EXPECT_TRUE(detail(r).contains(out.filePath("a.avi"))) << detail(r).toStdString();
        EXPECT_TRUE(outputs().isEmpty()) << outputs().join(", ").toStdString();
        rows.remove(r);
    }
}

// A hung encoder (an input that never delivers) reports nothing, or the same position and size
// over and over: it is stopped and its row fails.
TEST_F(BatchRunTest, AnEncoderWithoutProgressIsStoppedAndItsRowFails) {
    const QString clip = makeVideoClip(in, "a.avi");
    const struct {
        const char* name;
        const char* conversion;
    } cases[] = {
        {"silent", "exec sleep 60"},
        {"repeating one block", "i=0; while [ $i -lt 600 ]; do i=$((i+1))\n"
                                "  printf 'frame=5\\nout_time_us=500000\\ntotal_size=4096\\n"
                                "speed=1x\\nprogress=continue\\n'\n"
                                "  sleep 0.1\n"
                                "done"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString encoder =
            wrappedEncoder(in, QStringLiteral("stalled-%1").arg(&c - cases), c.conversion);
        OptionSheet jobSheet;
        resetToDefaults(jobSheet);
        applyPresets(jobSheet, kAviMp3);
        ConversionJob job(test::jobFor(clip, kAviMp3, jobSheet, out.path()),
                          {out.path(), false, encoder, nullptr});
        EXPECT_EQ(job.stallTimeout(), 120000);
        job.setStallTimeout(700);
        JobResult result;
        QObject::connect(&job, &ConversionJob::finished,
                         [&result](const JobResult& r) { result = r; });
        QSignalSpy finished(&job, &ConversionJob::finished);
        QElapsedTimer clock;
        clock.start();
        job.start();
        ASSERT_TRUE(finished.wait(20000));
        EXPECT_LT(clock.elapsed(), 10000);
        EXPECT_EQ(result.outcome, JobOutcome::Fail);
        EXPECT_TRUE(result.message.contains("reported no progress for 0.7 seconds and was stopped"))
            << result.message.toStdString();
        EXPECT_TRUE(result.message.contains(encoder));
        EXPECT_EQ(conversionsRun(encoder), 1);
        EXPECT_TRUE(outputs().isEmpty());
    }
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

// A value the encoder would misread fails the row before anything runs, naming the file and the
// item; the run goes on with the next row, which converts with the values of the start too: a
// correction made meanwhile applies to the next run.
TEST_F(BatchRunTest, AValueAnItemCannotHoldFailsTheRowNamingTheFileAndTheItem) {
    const RowId a = addRow(makeVideoClip(in, "a.avi"));
    sheet.setValue(sheet::kVideoOptions, sheet::kVideoBitrate,
                   "256 " + in.filePath("victim.avi") + " -y -b:v 256");
    QObject::connect(&run, &BatchRun::rowFinished, [this](RowId, const JobResult&) {
        sheet.setValue(sheet::kVideoOptions, sheet::kVideoBitrate, "384");
    });
    const RowId b = addRow(makeVideoClip(in, "b.avi"));
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    EXPECT_EQ(status(a), "Fail");
    EXPECT_TRUE(detail(a).contains(in.filePath("a.avi"))) << detail(a).toStdString();
    EXPECT_TRUE(detail(a).contains("\"Video Bitrate\"")) << detail(a).toStdString();
    EXPECT_FALSE(detail(a).contains("Ran:")) << "no encoder ran";
    EXPECT_EQ(status(b), "Fail");
    EXPECT_TRUE(detail(b).contains(in.filePath("b.avi"))) << detail(b).toStdString();
    EXPECT_FALSE(QFile::exists(in.filePath("victim.avi")));
    EXPECT_EQ(outputs(), QStringList{});

    // The corrected value is the next run's.
    rows.clear();
    const RowId c = addRow(makeVideoClip(in, "c.avi"));
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    EXPECT_EQ(status(c), "OK");
    EXPECT_EQ(outputs(), QStringList{"c.avi"});
}

// A run converts with what was chosen when it started: the sheet and the chooser changed while the
// first row converts change neither the second row nor the third.
TEST_F(BatchRunTest, RowsConvertWithTheChoicesOfTheStart) {
    sheet.setValue(sheet::kVideoOptions, sheet::kVideoBitrate, "384");
    std::vector<RowId> ids;
    for (const char* name : {"a.avi", "b.avi", "c.avi"})
        ids.push_back(addRow(makeVideoClip(in, name)));
    std::vector<JobResult> results;
    QObject::connect(&run, &BatchRun::rowStarted, [&](RowId id, const QString&) {
        if (id == ids[0]) {
            sheet.setValue(sheet::kVideoOptions, sheet::kVideoBitrate, "1200");
            choose(kMp4);
        }
    });
    QObject::connect(&run, &BatchRun::rowFinished,
                     [&](RowId, const JobResult& r) { results.push_back(r); });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    ASSERT_EQ(results.size(), 3u);
    for (const JobResult& r : results) {
        SCOPED_TRACE(r.outputPath.toStdString());
        EXPECT_EQ(r.outcome, JobOutcome::Ok);
        EXPECT_TRUE(r.outputPath.endsWith(".avi"));
        EXPECT_EQ(r.job.profile, ProfileId(kAviMp3));
        EXPECT_EQ(r.job.options.value(sheet::kVideoOptions, sheet::kVideoBitrate), "384");
        const qsizetype b = r.arguments.indexOf("-b:v");
        ASSERT_GE(b, 0);
        EXPECT_EQ(r.arguments.value(b + 1), "384k");
    }
    EXPECT_EQ(outputs(), (QStringList{"a.avi", "b.avi", "c.avi"}));
}

// The desktop program and mirelo-cli build the same job from the same choices.
TEST_F(BatchRunTest, TheDesktopAndTheCommandLineBuildTheSameJob) {
    const QString clip = makeVideoClip(in, "a.avi");
    for (const int profile : {kAviMp3, kMp4, kWaveAudio, 94}) {
        SCOPED_TRACE(profile);
        rows.clear();
        choose(profile);
        const RowId id = addProbedRow(clip);
        ASSERT_NE(id, 0u);
        QJsonObject desktop;
        const auto connection =
            QObject::connect(&run, &BatchRun::rowFinished,
                             [&](RowId, const JobResult& r) { desktop = r.job.toJson(); });
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        QObject::disconnect(connection);

        const test::CliResult cli =
            test::runCli({"convert", clip, "--profile", QString::number(profile), "--end",
                          SourceListModel::text(*rows.find(id), SourceListModel::EndColumn),
                          "--output-folder", out.path(), "--existing", "new", "--json"});
        ASSERT_EQ(cli.exitCode, 0) << cli.err.toStdString();
        const QJsonArray reported = QJsonDocument::fromJson(cli.out.toUtf8()).array();
        ASSERT_EQ(reported.size(), 1);
        EXPECT_EQ(reported[0].toObject().value("job").toObject(), desktop);
        EXPECT_FALSE(desktop.isEmpty());
    }
}

// An output never takes the name of a source of its run, nor of a link to one, under either
// policy: v.avi's output would otherwise replace v.mp4 before v.mp4 is converted. The row says why
// its output has another name.
TEST_F(BatchRunTest, AnOutputNeverReplacesASourceOfItsRun) {
    store("outputfolder", in.path());
    choose(kMp4);
    const struct {
        const char* policy;
        const char* link; // "hard" or "soft": w.mp4 beside the sources is a link to x.avi
        QStringList expected;
    } cases[] = {
        {"1", nullptr, {"v.avi", "v.mp4", "v_New.mp4", "v_New_New.mp4"}},
        {"0", nullptr, {"v.avi", "v.mp4", "v_New.mp4", "v_New_New.mp4"}},
        {"1",
         "hard",
         {"v.avi", "v.mp4", "v_New.mp4", "v_New_New.mp4", "w.avi", "w.mp4", "w_New.mp4", "x.avi",
          "x.mp4"}},
        {"1",
         "soft",
         {"v.avi", "v.mp4", "v_New.mp4", "v_New_New.mp4", "w.avi", "w.mp4", "w_New.mp4", "x.avi",
          "x.mp4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.policy) + (c.link ? c.link : ""));
        for (const QString& f : in.entryList(QDir::Files))
            in.remove(f);
        store("existedfile", c.policy);
        QStringList sources{makeVideoClip(in, "v.avi"), makeVideoClip(in, "v.mp4", 3)};
        if (c.link) {
            sources << makeVideoClip(in, "w.avi") << makeVideoClip(in, "x.avi", 3);
            const QByteArray target = QFile::encodeName(in.filePath("x.avi"));
            const QByteArray link = QFile::encodeName(in.filePath("w.mp4"));
            ASSERT_EQ(
                c.link == std::string("hard") ? ::link(target, link) : ::symlink(target, link), 0);
        }
        QMap<QString, QByteArray> before;
        for (const QString& f : sources)
            before[f] = readBytePath(QFile::encodeName(f));
        std::vector<RowId> ids;
        for (const QString& f : sources)
            ids.push_back(addRow(f));
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        for (const RowId id : ids)
            EXPECT_EQ(status(id), "OK") << detail(id).toStdString();
        for (const QString& f : sources)
            EXPECT_EQ(readBytePath(QFile::encodeName(f)), before[f]) << f.toStdString();
        EXPECT_EQ(in.entryList(QDir::Files | QDir::System, QDir::Name), c.expected);
        EXPECT_TRUE(detail(ids[0]).contains(in.filePath("v.mp4") + " is a file this run converts"))
            << detail(ids[0]).toStdString();
        rows.clear();
    }
}

// The temporary name does not grow with the output's: any name that fits the file system
// converts, up to the longest (255 bytes); an output name that would be longer loses the end of
// its stem rather than the conversion.
TEST_F(BatchRunTest, ALongNameConvertsUpToTheLongestTheFileSystemTakes) {
    const struct {
        QString input;
        QString output;
    } cases[] = {
        {QString(251, QLatin1Char('n')) + ".avi", QString(251, QLatin1Char('n')) + ".avi"},
        {QString(252, QLatin1Char('m')) + ".a", QString(251, QLatin1Char('m')) + ".avi"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.toStdString());
        const QString clip = makeVideoClip(in, "clip.avi");
        ASSERT_TRUE(QFile::rename(clip, in.filePath(c.input)));
        const RowId r = addRow(in.filePath(c.input));
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(waitForRun(run));
        EXPECT_EQ(status(r), "OK") << detail(r).toStdString();
        EXPECT_EQ(outputs(), QStringList{c.output});
        rows.clear();
        QFile::remove(out.filePath(c.output));
    }
}

// Nothing planted where the encoder writes, or at the final name, makes the conversion write
// through a link into another file.
TEST_F(BatchRunTest, NoLinkIsWrittenThrough) {
    choose(kMp4);
    store("existedfile", "1"); // the encoder is told to overwrite
    const QString clip = makeVideoClip(in, "a.avi");
    const QString victim = in.filePath("victim.mp4");
    const QString other = in.filePath("other.mp4");
    writeFile(victim, "precious");
    writeFile(other, "also precious");
    // Links at the temporary name the conversion announces and at its final name.
    const PlanOutcome planned = planConversion({clip, "0:00:00", "0:00:02", 2.0, {}}, sheet, kMp4,
                                               {out.path(), true, locateEncoder(), nullptr});
    ASSERT_TRUE(planned.plan) << planned.error.toStdString();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(planned.plan->temporaryPath).path()));
    ASSERT_TRUE(QFile::link(victim, planned.plan->temporaryPath));
    ASSERT_TRUE(QFile::link(other, out.filePath("a.mp4")));

    const RowId r = addRow(clip);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    EXPECT_EQ(status(r), "OK") << detail(r).toStdString();
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(readFile(other), "also precious");
    const QFileInfo output(out.filePath("a.mp4"));
    EXPECT_FALSE(output.isSymLink());
    EXPECT_GT(output.size(), 1000);
}

// Closing the product mid-conversion stops the encoder and leaves nothing in the output folder.
TEST_F(BatchRunTest, ADestroyedJobLeavesNothingBehind) {
    choose(kHdAvc);
    const QString clip = makeVideoClip(in, "long.avi", 60);
    const QString encoder = locateEncoder();
    QEventLoop loop;
    CapabilityLoader loader; // the installed encoder's names for the profile's encoders
    QObject::connect(&loader, &CapabilityLoader::loaded, &loop, &QEventLoop::quit);
    QObject::connect(&loader, &CapabilityLoader::failed, &loop, &QEventLoop::quit);
    loader.start(encoder);
    loop.exec();
    ASSERT_NE(cachedCapabilities(encoder), nullptr);
    JobOrder order = test::jobFor(clip, kHdAvc, sheet, out.path());
    order.clipEnd = 60;
    order.source.length = 60.0;
    auto* job = new ConversionJob(order, {out.path(), false, encoder, cachedCapabilities(encoder)});
    QObject::connect(job, &ConversionJob::progressChanged, &loop, [&](int percent) {
        if (percent > ConversionJob::kStartProgress) // the encoder has written part of the file
            loop.quit();
    });
    QTimer::singleShot(60000, &loop, [&] { loop.exit(1); });
    job->start();
    ASSERT_EQ(loop.exec(), 0);
    EXPECT_FALSE(outputs().isEmpty());
    delete job;
    EXPECT_TRUE(outputs().isEmpty()) << outputs().join(", ").toStdString();
    EXPECT_FALSE(encoderWritingInto(out.path()));
}

// Several rows at once. The machine's core count caps the setting, so these need two cores.
class ParallelRunTest : public BatchRunTest {
protected:
    void SetUp() override {
        if (coreCount() < 2)
            GTEST_SKIP() << "one core: the run converts one file at a time";
        BatchRunTest::SetUp();
        store("jobs", "2");
        QObject::connect(&run, &BatchRun::rowStarted, [this](RowId, const QString&) {
            mostAtOnce = std::max(mostAtOnce, run.runningCount());
        });
        QObject::connect(&rows, &QAbstractItemModel::dataChanged, [this] {
            for (const RowId id : rows.ids()) {
                const QString s = status(id);
                if (s.startsWith("Processing ") && s.endsWith('%'))
                    percentShown[id] = std::max(percentShown[id], s.mid(11).chopped(1).toInt());
            }
        });
        QObject::connect(&run, &BatchRun::totalProgressChanged,
                         [this](int v) { overall.push_back(v); });
    }

    int mostAtOnce = 0;
    std::map<RowId, int> percentShown; // the highest "Processing N%" each row's status showed
    std::vector<int> overall;
};

TEST_F(ParallelRunTest, ThreeRowsWithTwoJobs) {
    const RowId a = addRow(makeVideoClip(in, "a.avi", 4), "0:00:04");
    const RowId b = addRow(makeVideoClip(in, "b.avi", 4), "0:00:04");
    const RowId c = addRow(makeVideoClip(in, "c.avi"));
    std::vector<int> track;
    QObject::connect(&run, &BatchRun::trackProgressChanged, [&](int v) { track.push_back(v); });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));

    EXPECT_EQ(mostAtOnce, 2);
    for (const RowId id : {a, b, c}) {
        EXPECT_EQ(status(id), "OK") << detail(id).toStdString();
        EXPECT_GE(percentShown[id], 10) << "each running row shows its own percent";
    }
    EXPECT_EQ(outputs(), (QStringList{"a.avi", "b.avi", "c.avi"}));
    // The overall bar moves with the running rows, never back, and ends at 100 before the panel
    // closes.
    ASSERT_GE(overall.size(), 4u);
    EXPECT_EQ(overall[overall.size() - 2], 100);
    EXPECT_EQ(overall.back(), 0);
    EXPECT_TRUE(std::is_sorted(overall.begin(), overall.end() - 1));
    EXPECT_GT(std::count_if(overall.begin(), overall.end(), [](int v) { return v > 0 && v < 100; }),
              3);
    ASSERT_FALSE(track.empty());
    EXPECT_EQ(track.back(), 0);
    for (const int v : std::vector<int>(track.begin(), track.end() - 1)) {
        EXPECT_GE(v, 10);
        EXPECT_LE(v, 100);
    }
    EXPECT_EQ(log.events.back(), "open " + out.path().toStdString());
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "info Conversion completed!"), 1);
}

TEST_F(ParallelRunTest, ACorruptMiddleRowStopsNoOther) {
    store("autoshut", "1");
    const RowId a = addRow(makeVideoClip(in, "a.avi", 3), "0:00:03");
    const QString corrupt = in.filePath("b.avi");
    writeFile(corrupt, QByteArray(4096, 'z'));
    const RowId b = addRow(corrupt);
    const RowId c = addRow(makeVideoClip(in, "c.avi"));
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run));
    EXPECT_EQ(status(a), "OK");
    EXPECT_EQ(status(b), "Fail");
    EXPECT_EQ(status(c), "OK");
    EXPECT_TRUE(detail(b).contains(corrupt));
    EXPECT_EQ(outputs(), (QStringList{"a.avi", "c.avi"}));
    EXPECT_EQ(overall[overall.size() - 2], 100);
    // The end actions come once, after the last row.
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(), "poweroff"), 1);
    EXPECT_EQ(std::count(log.events.begin(), log.events.end(),
                         "warning Conversion completed: 2 of 3 files converted, 1 failed.\n\n"
                         "Not converted:\n" +
                             corrupt.toStdString()),
              1);
    EXPECT_TRUE(log.before("run ended", "poweroff"));
}

TEST_F(ParallelRunTest, CancelStopsEveryJobAndRemovesEveryPartialFile) {
    choose(kHdAvc);
    const RowId a = addRow(makeVideoClip(in, "a.avi", 60), "0:01:00");
    const RowId b = addRow(makeVideoClip(in, "b.avi", 60), "0:01:00");
    const RowId c = addRow(makeVideoClip(in, "c.avi"));
    QObject::connect(&rows, &QAbstractItemModel::dataChanged, [&] {
        // Both encoders have written part of their files.
        if (percentShown[a] > ConversionJob::kStartProgress &&
            percentShown[b] > ConversionJob::kStartProgress)
            run.cancel();
    });
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(waitForRun(run, 120000));

    EXPECT_EQ(status(a), "Cancel");
    EXPECT_EQ(status(b), "Cancel");
    EXPECT_EQ(status(c), "") << "a row not started stays as it was";
    EXPECT_TRUE(outputs().isEmpty()) << outputs().join(", ").toStdString();
    EXPECT_FALSE(encoderWritingInto(out.path()));
    EXPECT_EQ(run.runningCount(), 0);
    EXPECT_EQ(
        std::count(log.events.begin(), log.events.end(), "error Conversion Canceled by the user!"),
        1);
    EXPECT_FALSE(log.has("info Conversion completed!"));
    EXPECT_TRUE(log.before("run ended", "error Conversion Canceled by the user!"));
    EXPECT_EQ(run.totalProgress(), 0);
    EXPECT_EQ(run.trackProgress(), 0);
}

// a.avi and a.wmv to one profile: a.mp4 for the first row, a_New.mp4 for the second, whichever
// finishes first and whatever the policy. The encoder holds back the row named to finish last.
TEST_F(ParallelRunTest, TwoRowsRunningAtOnceNeverShareAnOutputName) {
    choose(kMp4);
    const QString avi = makeVideoClip(in, "a.avi");
    const QString wmv = in.filePath("a.wmv");
    ASSERT_TRUE(QFile::copy(avi, wmv));
    for (const char* policy : {"0", "1"}) {
        for (const char* late : {"a.avi", "a.wmv"}) {
            SCOPED_TRACE(std::string("policy ") + policy + ", " + late + " finishes last");
            store("existedfile", policy);
            for (const QString& f : outputs())
                QFile::remove(out.filePath(f));
            run.setEncoderPath(wrappedEncoder(in, QStringLiteral("encoder-%1-%2").arg(policy, late),
                                              QByteArray("case \"$*\" in *") + late +
                                                  "*) sleep 3;; esac\nexec \"$real\" \"$@\""));
            const RowId first = addRow(avi);
            const RowId second = addRow(wmv);
            std::vector<RowId> finished;
            std::map<RowId, QString> written;
            const auto connection =
                QObject::connect(&run, &BatchRun::rowFinished, [&](RowId id, const JobResult& r) {
                    finished.push_back(id);
                    written[id] = QFileInfo(r.outputPath).fileName();
                });
            ASSERT_TRUE(run.start());
            ASSERT_TRUE(waitForRun(run));
            QObject::disconnect(connection);
            EXPECT_EQ(mostAtOnce, 2);
            EXPECT_EQ(finished, (QString(late) == "a.avi" ? std::vector<RowId>{second, first}
                                                          : std::vector<RowId>{first, second}));
            EXPECT_EQ(status(first), "OK");
            EXPECT_EQ(status(second), "OK");
            EXPECT_EQ(written[first], "a.mp4");
            EXPECT_EQ(written[second], "a_New.mp4");
            EXPECT_EQ(outputs(), (QStringList{"a.mp4", "a_New.mp4"}));
            rows.clear();
        }
    }
}

} // namespace
