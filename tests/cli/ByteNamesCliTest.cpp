#include "base/ByteNames.h"
#include "common/MediaFixtures.h"
#include "common/TestSupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>

using namespace mirelo::test;

namespace {

class ByteNamesCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        base = QFile::encodeName(dir.path());
        for (const char* folder : {"in", "out", "tmp", "logs"})
            ASSERT_TRUE(QDir(dir.path()).mkpath(QLatin1String(folder)));
        clip = makeVideoClip(QDir(dir.path()), QStringLiteral("clip.avi"));
    }
    // A copy of the test clip under a byte name in in/ (or a folder of in/).
    QByteArray input(const QByteArray& name, const QByteArray& folder = {}) const {
        QByteArray path = base + "/in";
        if (!folder.isEmpty())
            path += '/' + folder;
        path += '/' + name;
        for (qsizetype slash = base.size() + 4; slash < path.lastIndexOf('/');) {
            slash = path.indexOf('/', slash + 1);
            ::mkdir(path.left(slash).constData(), 0700);
        }
        EXPECT_EQ(::link(QFile::encodeName(clip).constData(), path.constData()), 0);
        return path;
    }
    ByteRun run(QList<QByteArray> args) const {
        args.prepend(MIRELO_CLI_PATH);
        return ByteProcess(args, dir.filePath(QStringLiteral("logs")),
                           dir.filePath(QStringLiteral("tmp")))
            .wait();
    }
    double probedSeconds(const QByteArray& path) const {
        return probedSecondsOf(path, dir.filePath(QStringLiteral("logs")));
    }
    QList<QByteArray> privateFolders() const { return namesIn(base + "/tmp"); }

    QTemporaryDir dir;
    ByteNamesCleaner cleaner{dir.path()};
    QByteArray base;
    QString clip;
};

// Inputs named by bytes that are not UTF-8 convert, and their outputs keep the bytes with the
// naming rules applied to them.
TEST_F(ByteNamesCli, ConvertsAndKeepsTheBytesInTheOutputName) {
    const struct {
        const char* name;
        QList<QByteArray> inputs;
        QList<QByteArray> existing; // already in out/
        const char* policy;
        QList<QByteArray> made; // new in out/
    } cases[] = {
        {"one input", {"bad\xff\xfe.avi"}, {}, "new", {"bad\xff\xfe.mp4"}},
        {"name taken", {"bad\xff\xfe.avi"}, {"bad\xff\xfe.mp4"}, "new", {"bad\xff\xfe_New.mp4"}},
        {"one stem, two inputs",
         {"show\xe9.part1.avi", "show\xe9.part2.avi"},
         {},
         "overwrite",
         {"show\xe9.mp4", "show\xe9_New.mp4"}},
        {"one stem, name taken, overwrite",
         {"show\xe9.part1.avi", "show\xe9.part2.avi"},
         {"show\xe9.mp4"},
         "overwrite",
         {"show\xe9_New.mp4"}}, // the first replaced the old one, the second did not
        // The output never passes through the bytes' visible text, which another file may hold.
        {"the visible name taken, overwrite",
         {"bad\xff\xfe.avi"},
         {"bad\\xff\\xfe.mp4"},
         "overwrite",
         {"bad\xff\xfe.mp4"}},
        // Only the folder or what follows the stem is not UTF-8: the output is named as usual.
        {"a folder that is not UTF-8", {"dir\xff/clip.avi"}, {"clip.mp4"}, "new", {"clip_New.mp4"}},
        {"an extension that is not UTF-8", {"clip.\xff.avi"}, {}, "new", {"clip.mp4"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QByteArray out = base + "/out/" + QByteArray::number(&c - cases);
        ASSERT_EQ(::mkdir(out.constData(), 0700), 0);
        for (const QByteArray& name : c.existing) {
            QFile f(QString::fromUtf8(out) + QStringLiteral("/placeholder"));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("old");
            f.close();
            const QByteArray from = out + "/placeholder", to = out + '/' + name;
            ASSERT_EQ(::rename(from.constData(), to.constData()), 0);
        }
        QList<QByteArray> args{"convert"};
        for (const QByteArray& name : c.inputs)
            args += input(name, QByteArray::number(&c - cases));
        args += {"--profile",  "18",     "--output-folder", out,
                 "--existing", c.policy, "--json",          "--verbose"};
        const ByteRun r = run(args);
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        // The link is the tool's own business: no message names it.
        EXPECT_FALSE(r.err.contains("mirelo-names")) << r.err.constData();

        QList<QByteArray> expected = c.existing + c.made;
        std::sort(expected.begin(), expected.end());
        expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
        EXPECT_EQ(namesIn(out), expected);
        for (const QByteArray& name : c.made)
            EXPECT_GT(probedSeconds(out + '/' + name), 1.5) << name.toHex().constData();
        // Under overwrite an output replaces a file of its own byte name, never a text one.
        for (const QByteArray& name : c.existing) {
            if (!c.made.contains(name) && (qstrcmp(c.policy, "new") == 0 || mirelo::isUtf8(name))) {
                EXPECT_EQ(readBytePath(out + '/' + name), "old") << name.toHex().constData();
            }
        }

        const QJsonArray rows = QJsonDocument::fromJson(r.out).array();
        ASSERT_EQ(rows.size(), c.inputs.size()) << r.out.constData();
        for (const QJsonValue row : rows) {
            EXPECT_EQ(row["status"].toString(), QStringLiteral("OK"));
            EXPECT_TRUE(row["file"].toString().contains(QStringLiteral("\\x")));
            for (const char* field : {"file", "output"}) {
                const QString shown = row[QLatin1String(field)].toString();
                EXPECT_FALSE(shown.contains(QChar::ReplacementCharacter)) << shown.toStdString();
                EXPECT_FALSE(shown.contains(QStringLiteral("mirelo-names"))) << shown.toStdString();
            }
        }
        EXPECT_TRUE(privateFolders().isEmpty());
    }
}

// Probe reads the file through its stand-in and shows its name with the bytes escaped; the
// private folder goes whatever the outcome.
TEST_F(ByteNamesCli, ProbesAndReportsEveryOutcomeWithTheNameShown) {
    const QByteArray good = input("bad\xff\xfe.avi");
    const QByteArray missing = base + "/in/gone\xff.avi";
    const struct {
        const char* name;
        QList<QByteArray> args;
        int exitCode;
        const char* shown; // in stdout and stderr
    } cases[] = {
        {"probe", {"probe", good, "--json"}, 0, "bad\\\\xff\\\\xfe.avi"},
        {"probe, text", {"probe", good}, 0, "/in/bad\\xff\\xfe.avi\t0:00:00\t0:00:02\t160x120"},
        {"convert a missing file", {"convert", missing, "--profile", "18"}, 2, "gone\\xff.avi\n"},
        {"a byte name as an option's value",
         {"convert", good, "--profile", "18", "--output-folder", base + "/out\xff"},
         2,
         "out\\xff\" is not a UTF-8 name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ByteRun r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.constData();
        const QByteArray both = r.out + r.err;
        EXPECT_TRUE(both.contains(c.shown)) << both.constData();
        EXPECT_FALSE(QString::fromUtf8(both).contains(QChar::ReplacementCharacter));
        EXPECT_TRUE(privateFolders().isEmpty());
    }
    EXPECT_TRUE(namesIn(base + "/out").isEmpty());
}

// command prints the encoder command for an input named by bytes with those very bytes, as a
// shell needs them; an output named so is refused, naming it.
TEST_F(ByteNamesCli, CommandPrintsTheInputByItsBytes) {
    const QByteArray good = input("bad\xff\xfe.avi");
    const QByteArray output = base + "/out/x.mp4";
    const QList<QByteArray> command{"command", "--profile", "18", "--output", output};
    const struct {
        const char* name;
        QList<QByteArray> args;
        int exitCode;
        QByteArray out; // contained in stdout
        QByteArray err; // contained in stderr
    } cases[] = {
        {"--argv", command + QList<QByteArray>{"--input", good, "--argv"}, 0,
         "\n-i\n" + good + '\n', ""},
        {"--input=", command + QList<QByteArray>{"--input=" + good, "--run-argv"}, 0,
         "\n-i\n" + good + '\n', ""},
        {"the command line", command + QList<QByteArray>{"--input", good}, 0, good, ""},
        {"an output named by bytes",
         {"command", "--profile", "18", "--input", good, "--output", base + "/out\xff.mp4"},
         2,
         "",
         "out\\xff.mp4\" is not a UTF-8 name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ByteRun r = run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.constData();
        EXPECT_TRUE(r.out.contains(c.out)) << r.out.constData();
        EXPECT_TRUE(r.err.contains(c.err)) << r.err.constData();
        EXPECT_FALSE(QByteArray(r.out + r.err).contains("mirelo-names"));
        EXPECT_TRUE(privateFolders().isEmpty());
    }
}

// Ctrl+C during the conversion: the run is cancelled and the private folder goes too.
TEST_F(ByteNamesCli, AnInterruptedRunRemovesThePrivateFolder) {
    const QString longClip =
        makeVideoClip(QDir(dir.path()), QStringLiteral("long.avi"), 60, QStringLiteral("640x480"));
    const QByteArray source = base + "/in/long\xff.avi";
    ASSERT_EQ(::link(QFile::encodeName(longClip).constData(), source.constData()), 0);
    ByteProcess cli(
        {MIRELO_CLI_PATH, "convert", source, "--profile", "18", "--output-folder", base + "/out"},
        dir.filePath(QStringLiteral("logs")), dir.filePath(QStringLiteral("tmp")));
    ASSERT_GT(cli.pid(), 0);
    QElapsedTimer clock;
    clock.start();
    while (namesIn(base + "/out").isEmpty() && clock.elapsed() < 30000)
        QThread::msleep(50); // the encoder has begun once its output shows
    ASSERT_FALSE(namesIn(base + "/out").isEmpty());
    EXPECT_FALSE(privateFolders().isEmpty());
    ::kill(cli.pid(), SIGINT);
    const ByteRun r = cli.wait();
    EXPECT_EQ(r.exitCode, 130) << r.err.constData();
    EXPECT_TRUE(privateFolders().isEmpty());
    EXPECT_TRUE(namesIn(base + "/out").isEmpty());
}

} // namespace
