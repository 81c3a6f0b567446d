#include "common/TestSupport.h"
#include "convert/ConversionJob.h"
#include "tools/MediaFixtures.h"

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

    QTemporaryDir dir;
    QDir out;
};

TEST_F(ConvertCli, ExitCodesAndJsonRows) {
    const QDir d(dir.path());
    const QString good = makeVideoClip(d, "good.avi");
    const QString bad = d.filePath("bad.avi");
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(2048, 'x'));
    f.close();
    const QString missing = d.filePath("missing.avi");
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
        {QStringList{"convert", missing} + common, 2, "Invalid input file name. "},
        {QStringList{"convert", good, bad} + common, 1, "bad.avi"},
        {QStringList{"convert", good} + common, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliResult r = runCli(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.stderrHas)) << r.err.toStdString();
    }
    EXPECT_TRUE(runCli({"convert", missing, "--profile", "41", "--output-folder", out.path()})
                    .err.contains(missing + "Invalid input file name. "));

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
