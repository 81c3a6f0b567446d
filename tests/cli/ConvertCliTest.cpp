#include "common/TestSupport.h"
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

class ConvertCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        out = QDir(dir.filePath("out"));
        QDir().mkpath(out.path());
    }
    QStringList outputs() const { return out.entryList(QDir::Files | QDir::Hidden); }

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
    while (outputs().isEmpty() && waited.elapsed() < 60000)
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
