#include "common/MediaFixtures.h"
#include "common/TestSupport.h"
#include "convert/ConversionJob.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace mirelo::test;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

class ConvertCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        out = QDir(dir.filePath("out"));
        QDir().mkpath(out.path());
    }
    // Everything under the output folder, the encoder's temporary folder and file included.
    QStringList outputs(QDir::Filters kinds = QDir::AllEntries) const {
        QStringList found;
        QDirIterator it(out.path(), kinds | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found += out.relativeFilePath(it.next());
        return found;
    }

    struct Inputs {
        QString good;    // a clip that converts
        QString bad;     // bytes no encoder reads
        QString missing; // no such file
    };
    Inputs makeInputs() const {
        const QDir d(dir.path());
        const QString bad = d.filePath("bad.avi");
        QFile f(bad);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2048, 'x'));
        return {makeVideoClip(d, "good.avi"), bad, d.filePath("missing.avi")};
    }

    QTemporaryDir dir;
    QDir out;
};

TEST_F(ConvertCli, ExitCodesAndJsonRows) {
    const auto [good, bad, missing] = makeInputs();
    const QStringList common{"--profile", "41", "--output-folder", out.path(), "--json"};

    const struct {
        QStringList args;
        int exitCode;
        const char* stderrHas;
    } cases[] = {
        {{"convert", "--profile", "41"}, 2, "at least one FILE"},
        {{"convert", good, "--profile", "1"}, 2, "not a category heading"},
        {{"convert", good, "--profile", "93"}, 2, "--profile"},
        {{"convert", good, "--profile", "41", "--existing", "maybe"}, 2, "--existing"},
        {{"convert", good, "--profile", "41", "--start", "1:2"}, 2, "--start"},
        {QStringList{"convert", missing} + common, 2, "\nInvalid input file name.\n"},
        {QStringList{"convert", good, bad} + common, 1, "bad.avi"},
        {QStringList{"convert", good} + common, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.stderrHas)) << r.err.toStdString();
    }
    // The path and the reason each on a line of their own.
    const CliResult gone =
        runCli({"convert", missing, "--profile", "41", "--output-folder", out.path()});
    EXPECT_TRUE(gone.err.contains("mirelo-cli: " + missing + "\nInvalid input file name.\n"))
        << gone.err.toStdString();
    EXPECT_FALSE(gone.err.contains(missing + "Invalid")) << gone.err.toStdString();

    const CliResult r = runCli(QStringList{"convert", good, bad} + common);
    const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]["file"].toString(), good);
    EXPECT_EQ(rows[0]["status"].toString(), "OK");
    EXPECT_TRUE(QFile::exists(rows[0]["output"].toString()));
    EXPECT_EQ(rows[0]["error"].toString(), "");
    EXPECT_EQ(rows[1]["status"].toString(), "Fail");
    EXPECT_EQ(rows[1]["output"].toString(), "");
    EXPECT_TRUE(rows[1]["error"].toString().contains("exit code"));
}

QString lastLine(const QString& text) {
    return text.trimmed().split('\n').last();
}

// The last line of stderr states the outcome; "Conversion completed" is never said of a run in
// which every file failed. Rows the run never reached say why.
TEST_F(ConvertCli, TheLastLineStatesTheOutcome) {
    const auto [good, bad, missing] = makeInputs();
    const struct {
        QStringList files;
        int exitCode;
        const char* last;
        QStringList statuses;
    } cases[] = {
        {{good}, 0, "Conversion completed: 1 of 1 file converted.", {"OK"}},
        {{good, bad}, 1, "Conversion completed: 1 of 2 files converted, 1 failed.", {"OK", "Fail"}},
        {{bad, bad}, 1, "Conversion failed: 0 of 2 files converted, 2 failed.", {"Fail", "Fail"}},
        {{good, missing, good},
         2,
         "Conversion stopped: 1 of 3 files converted, 2 failed.",
         {"OK", "Fail", "Fail"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.files.join(' ').toStdString());
        for (const bool json : {false, true}) {
            QStringList args = QStringList{"convert"} + c.files;
            args << "--profile"
                 << "41"
                 << "--output-folder" << out.path() << "--existing"
                 << "overwrite";
            if (json)
                args << "--json";
            const CliResult r = runCli(args);
            EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
            EXPECT_EQ(lastLine(r.err), QLatin1String(c.last)) << r.err.toStdString();
            EXPECT_FALSE(r.err.contains("Conversion completed!")) << r.err.toStdString();
            QStringList statuses;
            if (json) {
                for (const QJsonValue row : QJsonDocument::fromJson(r.out.toUtf8()).array()) {
                    statuses << row["status"].toString();
                    if (row["status"] != "OK") {
                        EXPECT_FALSE(row["error"].toString().isEmpty()) << r.out.toStdString();
                    }
                }
            } else {
                for (const QString& line : r.out.split('\n', Qt::SkipEmptyParts))
                    statuses << line.section('\t', 0, 0);
            }
            EXPECT_EQ(statuses, c.statuses) << r.out.toStdString();
        }
    }
    const CliResult r = runCli(
        {"convert", missing, good, "--profile", "41", "--output-folder", out.path(), "--json"});
    const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).array();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0]["error"].toString(), "Invalid input file name.");
    EXPECT_EQ(rows[1]["error"].toString(), "Not converted: the run stopped at " + missing + ".");
}

// An encoder that cannot list its capabilities, cannot start or is not there: every row still
// says it failed, and why.
TEST_F(ConvertCli, EveryRowCarriesItsStatusWhenTheEncoderCannotRun) {
    const QDir d(dir.path());
    const QString clip = makeVideoClip(d, "clip.avi");
    const auto program = [&d](const char* folder, const QByteArray& script) {
        d.mkpath(folder);
        const QString path = d.filePath(QLatin1String(folder) + "/ffmpeg");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(script);
        f.close();
        f.setPermissions(f.permissions() | QFile::ExeOwner);
        return d.filePath(QLatin1String(folder));
    };
    const struct {
        const char* name;
        QString path; // PATH for mirelo-cli
        const char* reason;
    } cases[] = {
        {"listing fails", program("fails", "#!/bin/sh\necho broken >&2\nexit 3\n"),
         "could not list"},
        {"cannot start", program("nostart", "#!/nonexistent/interpreter\n"),
         "could not be started"},
        {"not installed", d.filePath("empty"), "was not found"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("PATH", c.path);
        const CliResult r = runCliIn(env, {"convert", clip, clip, "--profile", "41",
                                           "--output-folder", out.path(), "--json"});
        EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
        const QJsonArray rows = QJsonDocument::fromJson(r.out.toUtf8()).array();
        ASSERT_EQ(rows.size(), 2) << r.out.toStdString() << r.err.toStdString();
        for (const QJsonValue row : rows) {
            EXPECT_EQ(row["status"].toString(), "Fail");
            EXPECT_TRUE(row["error"].toString().contains(c.reason))
                << row["error"].toString().toStdString();
        }
        EXPECT_EQ(lastLine(r.err), "Conversion failed: 0 of 2 files converted, 2 failed.");
        EXPECT_TRUE(outputs().isEmpty());
    }
}

TEST_F(ConvertCli, VerboseShowsTheProfileCommandLineAndWhatRan) {
    const QString clip = makeVideoClip(QDir(dir.path()), "my clip.avi");
    const CliResult r = runCli({"convert", clip, "--profile", "91", "--output-folder", out.path(),
                                "--verbose", "--existing", "overwrite"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("-vn -f  aac \"" + out.filePath("my clip.aac") + "\""))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(" -y ")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("-f adts")) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("OK\t" + clip + "\t" + out.filePath("my clip.aac")));
}

// The vector `command --run-argv` prints is the one `convert` runs for the same file, but for
// the temporary name, which each run makes its own.
TEST_F(ConvertCli, CommandRunArgvIsWhatAConversionRuns) {
    const QString clip = makeVideoClip(QDir(dir.path()), "my clip.avi");
    const struct {
        const char* profile;
        const char* existing;
        QStringList more;
        const char* expected; // an argument pair the installed encoder needs
    } cases[] = {
        {"91", "overwrite", {}, "-f adts"},
        {"18",
         "new",
         {"--start", "0:00:01", "--set", "Audio Options/Audio Bitrate=96"},
         "-b:a 96k"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.profile);
        const QStringList common =
            QStringList{"--profile", c.profile, "--existing", c.existing} + c.more;
        const CliResult converted = runCli(
            QStringList{"convert", clip, "--output-folder", out.path(), "--verbose"} + common);
        ASSERT_EQ(converted.exitCode, 0) << converted.err.toStdString();
        const QString ran = converted.err.section("\nRan: ", 1).section('\n', 0, 0);
        const QString output = converted.out.section('\t', 2, 2).trimmed();
        ASSERT_TRUE(QFile::exists(output)) << converted.out.toStdString();

        const CliResult planned = runCli(
            QStringList{"command", "--input", clip, "--output", output, "--run-argv"} + common);
        ASSERT_EQ(planned.exitCode, 0) << planned.err.toStdString();
        QStringList lines = planned.out.split('\n');
        ASSERT_EQ(lines.takeLast(), "");
        ASSERT_GT(lines.size(), 4);
        const QString temporary = lines.takeLast();
        EXPECT_NE(temporary, output);
        EXPECT_TRUE(temporary.startsWith(out.path() + '/')) << temporary.toStdString();
        const QString program = lines.takeFirst();
        EXPECT_TRUE(ran.startsWith(mirelo::displayArguments(program, lines) + ' '))
            << "ran:     " << ran.toStdString()
            << "\nplanned: " << mirelo::displayArguments(program, lines).toStdString();
        EXPECT_TRUE(lines.join(' ').contains(c.expected)) << lines.join(' ').toStdString();
        EXPECT_TRUE(lines.contains(QString(c.existing) == "overwrite" ? "-y" : "-n"));
    }
}

TEST_F(ConvertCli, CommandRunArgvRefusesWhatItCannotPlan) {
    const QStringList io{"command", "--profile", "18", "--input", "a.avi", "--output", "a.mp4"};
    const struct {
        QStringList args;
        int exitCode;
        const char* message;
    } cases[] = {
        {io + QStringList{"--run-argv", "--argv"}, 2, "choose one"},
        {io + QStringList{"--run-argv", "--existing", "maybe"}, 2, "--existing"},
        {io + QStringList{"--run-argv", "--encoder", dir.filePath("no-such-encoder")}, 1,
         "no-such-encoder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.message)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
    }
}

// A --set value the item cannot hold never reaches the encoder: with blanks it would have made
// encoder arguments of its own and overwritten an unrelated file.
TEST_F(ConvertCli, ValuesAnItemCannotHoldAreRefusedBeforeAnyEncoderRuns) {
    const QString clip = makeVideoClip(QDir(dir.path()), "clip.avi");
    const QString victim = dir.filePath("victim.mp4");
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::WriteOnly));
    v.write("precious");
    v.close();
    const QStringList io{"--input", clip, "--output", out.filePath("clip.mp4")};
    const struct {
        QString set;
        const char* item;
    } values[] = {
        {"Video Options/Video Bitrate=256 " + victim + " -y -b:v 256", "Video Bitrate"},
        {"Video Options/Video Size=320x240 " + victim + " -y", "Video Size"},
        {"Video Options/Video Size=large", "Video Size"},
        {"Video Options/Video Framerate=25 -y", "Video Framerate"},
        {"Audio Options/Sample Rate=44100 " + victim, "Sample Rate"},
        {"Audio Options/Audio Channel=2 -y", "Audio Channel"},
    };
    for (const auto& value : values) {
        const QStringList runs[] = {
            {"sheet", "--set", value.set},
            QStringList{"command", "--profile", "18", "--set", value.set} + io,
            QStringList{"command", "--profile", "18", "--run-argv", "--set", value.set} + io,
            {"convert", clip, "--profile", "18", "--output-folder", out.path(), "--existing",
             "overwrite", "--set", value.set},
        };
        for (const QStringList& args : runs) {
            SCOPED_TRACE(args.join(' ').toStdString());
            const CliResult r = runCli(args);
            EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(QStringLiteral("\"%1\"").arg(value.item)))
                << r.err.toStdString();
            EXPECT_TRUE(r.out.isEmpty()) << r.out.toStdString();
            EXPECT_EQ(readAll(victim), "precious");
            EXPECT_TRUE(outputs().isEmpty()) << outputs().join(", ").toStdString();
        }
    }
}

bool encoderAlive(const QString& folder) {
    QDirIterator it("/proc", QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile f(it.next() + "/cmdline");
        if (f.open(QIODevice::ReadOnly) && f.readAll().contains(folder.toUtf8()))
            return true;
    }
    return false;
}

TEST_F(ConvertCli, InterruptStopsTheEncoderAndRemovesThePartialOutput) {
    const QString clip = makeVideoClip(QDir(dir.path()), "long.avi", 60);
    QProcess cli;
    cli.start(QStringLiteral(MIRELO_CLI_PATH),
              {"convert", clip, "--profile", "23", "--output-folder", out.path()});
    ASSERT_TRUE(cli.waitForStarted());
    // Wait (tests may block) until the encoder has begun writing its temporary file.
    QElapsedTimer waited;
    waited.start();
    while (outputs(QDir::Files).isEmpty() && waited.elapsed() < 60000)
        QThread::msleep(100);
    ASSERT_FALSE(outputs().isEmpty());
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 130) << cli.readAllStandardError().toStdString();
    EXPECT_TRUE(outputs().isEmpty()) << outputs().join(", ").toStdString();
    EXPECT_FALSE(encoderAlive(out.path()));
}

} // namespace

namespace {

QStringList jsonField(const CliResult& r, const char* field) {
    QStringList values;
    for (const QJsonValue row : QJsonDocument::fromJson(r.out.toUtf8()).array())
        values << row[QLatin1String(field)].toString();
    return values;
}

// Two files with one stem: the second row never replaces what the first produced, under either
// policy and however many files convert at once.
TEST_F(ConvertCli, FilesWithOneStemGetAnOutputEach) {
    const QDir d(dir.path());
    const QString part1 = makeVideoClip(d, "show.part1.avi", 2);
    const QString part2 = makeVideoClip(d, "show.part2.avi", 3);
    for (const char* existing : {"overwrite", "new"}) {
        for (const char* jobs : {"1", "2"}) {
            SCOPED_TRACE(std::string(existing) + ", --jobs " + jobs);
            for (const QString& f : outputs())
                QFile::remove(out.filePath(f));
            const CliResult r =
                runCli({"convert", part1, part2, "--profile", "18", "--existing", existing,
                        "--output-folder", out.path(), "--jobs", jobs, "--json"});
            EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
            EXPECT_EQ(jsonField(r, "status"), (QStringList{"OK", "OK"}));
            EXPECT_EQ(jsonField(r, "output"),
                      (QStringList{out.filePath("show.mp4"), out.filePath("show_New.mp4")}));
            QStringList written = outputs();
            written.sort();
            EXPECT_EQ(written, (QStringList{"show.mp4", "show_New.mp4"}));
            EXPECT_NE(readAll(out.filePath("show.mp4")), readAll(out.filePath("show_New.mp4")));
        }
    }
}

// --jobs: the results stay in list order, whichever file ends first; a value that is not a count
// or "auto" is refused.
TEST_F(ConvertCli, JobsConvertAtOnceAndReportInListOrder) {
    const QDir d(dir.path());
    const QStringList files{makeVideoClip(d, "long.avi", 12), makeVideoClip(d, "short1.avi", 1),
                            makeVideoClip(d, "short2.avi", 1)};
    for (const char* jobs : {"2", "auto"}) {
        SCOPED_TRACE(jobs);
        const CliResult r =
            runCli(QStringList{"convert"} + files +
                   QStringList{"--profile", "41", "--output-folder", out.path(), "--existing",
                               "overwrite", "--jobs", jobs, "--json"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(jsonField(r, "file"), files);
        EXPECT_EQ(jsonField(r, "status"), (QStringList{"OK", "OK", "OK"}));
        EXPECT_EQ(jsonField(r, "output"),
                  (QStringList{out.filePath("long.avi"), out.filePath("short1.avi"),
                               out.filePath("short2.avi")}));
    }
    for (const char* bad : {"0", "-1", "two", "1.5", ""}) {
        SCOPED_TRACE(bad);
        const CliResult r = runCli(
            {"convert", files[1], "--profile", "41", "--output-folder", out.path(), "--jobs", bad});
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains("--jobs")) << r.err.toStdString();
    }
}

// Encoders writing into the folder (mirelo-cli names it too, but runs no progress report).
int encodersAlive(const QString& folder) {
    int count = 0;
    QDirIterator it("/proc", QDir::Dirs | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        QFile f(it.next() + "/cmdline");
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QByteArray cmdline = f.readAll();
        if (cmdline.contains(folder.toUtf8()) && cmdline.contains("-progress"))
            ++count;
    }
    return count;
}

TEST_F(ConvertCli, InterruptStopsEveryRunningJob) {
    const QDir d(dir.path());
    const QString a = makeVideoClip(d, "a.avi", 60);
    const QString b = makeVideoClip(d, "b.avi", 60);
    QProcess cli;
    cli.start(QStringLiteral(MIRELO_CLI_PATH),
              {"convert", a, b, "--profile", "23", "--output-folder", out.path(), "--jobs", "2"});
    ASSERT_TRUE(cli.waitForStarted());
    // Wait (tests may block) until both encoders have begun writing their temporary files.
    QElapsedTimer waited;
    waited.start();
    while (outputs(QDir::Files).size() < 2 && waited.elapsed() < 60000)
        QThread::msleep(100);
    ASSERT_EQ(outputs(QDir::Files).size(), 2) << outputs().join(", ").toStdString();
    EXPECT_EQ(encodersAlive(out.path()), 2);
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 130) << cli.readAllStandardError().toStdString();
    EXPECT_TRUE(outputs().isEmpty()) << outputs().join(", ").toStdString();
    EXPECT_EQ(encodersAlive(out.path()), 0);
}

// What the command line says about sources that lack a stream or hold more than a profile takes.
TEST_F(ConvertCli, SourcesTheProfileMustAdaptToOrRefuse) {
    const QDir d(dir.path());
    const QString silent =
        makeClip(d, "screen.mkv", {"-f", "lavfi", "-i", "testsrc=s=160x120:d=2:r=10"});
    const QString surround =
        makeClip(d, "film.mkv",
                 {"-f", "lavfi", "-i", "testsrc=s=160x120:d=2:r=10", "-f", "lavfi", "-i",
                  "sine=d=2", "-filter:a", "aformat=channel_layouts=5.1", "-c:a", "aac"});
    const QString song = makeAudioClip(d, "song.wav", 2);
    const struct {
        QString file;
        const char* profile;
        int exitCode;
        const char* said;         // in what the tool prints
        const char* ranHas;       // in the vector that ran ("" when nothing ran)
        const char* profileLacks; // never in the profile's own line
    } cases[] = {
        {silent, "88", 1, "This file has no audio stream.", "", ""},
        {song, "41", 1, "This file has no video stream. Choose an audio profile.", "", ""},
        {surround, "92", 0, "mixed down to 2", "-acodec wmav2 -vn -ac 2", " -ac "},
        {silent, "18", 0, "silent sound track", "anullsrc", "anullsrc"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.toStdString() + " " + c.profile);
        const CliResult r = runCli({"convert", c.file, "--profile", c.profile, "--output-folder",
                                    out.path(), "--verbose", "--existing", "overwrite"});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.said)) << r.err.toStdString();
        const QString ran = r.err.section("\nRan: ", 1).section('\n', 0, 0);
        const QString profile = r.err.section("Profile command line: ", 1).section('\n', 0, 0);
        if (c.exitCode != 0) {
            EXPECT_TRUE(r.err.contains(c.file + ": " + c.said)) << r.err.toStdString();
            EXPECT_TRUE(ran.isEmpty()) << ran.toStdString();
            EXPECT_TRUE(r.out.startsWith("Fail\t" + c.file)) << r.out.toStdString();
            continue;
        }
        EXPECT_TRUE(ran.contains(c.ranHas)) << ran.toStdString();
        EXPECT_FALSE(profile.isEmpty());
        EXPECT_FALSE(profile.contains(c.profileLacks)) << profile.toStdString();
    }
    EXPECT_EQ(outputs(QDir::Files).size(), 2) << outputs().join(", ").toStdString();
}

} // namespace
