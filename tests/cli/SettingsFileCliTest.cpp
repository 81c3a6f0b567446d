#include "common/MediaFixtures.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace mirelo::test;

namespace {

bool existsAsBytes(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

// A portable copy of mirelo-cli: its folder is its application folder, so it reads the
// settings.dat placed next to it.
class PortableCli : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(app));
        ASSERT_TRUE(QFile::copy(QStringLiteral(MIRELO_CLI_PATH), cli));
        clip = makeVideoClip(QDir(dir.path()), QStringLiteral("clip.avi"));
    }

    CliResult run(const QStringList& args) {
        return runProgram(cli, args, QProcessEnvironment::systemEnvironment());
    }

    QTemporaryDir dir;
    QString app = dir.filePath(QStringLiteral("app"));
    QString cli = app + QStringLiteral("/mirelo-cli");
    QString settings = app + QStringLiteral("/settings.dat");
    QString clip;
};

// A settings.dat that is a FIFO, a link to /dev/zero or over 1 MB: the conversion goes on with
// the defaults at once, a warning names the file, and the file is left as it was.
TEST_F(PortableCli, SettingsFileThatIsNotReadGivesAWarningAndTheDefaults) {
    const QString out = dir.filePath(QStringLiteral("out"));
    const QByteArray large = "[set]\nexistedfile=1\n" + QByteArray(2 * 1024 * 1024, ';');
    const struct {
        const char* name;
        std::function<void()> make;
        const char* reason;
    } cases[] = {
        {"FIFO", [&] { ASSERT_EQ(::mkfifo(QFile::encodeName(settings).constData(), 0600), 0); },
         "is not a regular file"},
        {"link to /dev/zero",
         [&] { ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), settings)); },
         "is not a regular file"},
        {"2 MB",
         [&] {
             QFile f(settings);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(large);
         },
         "is larger than 1 MB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(settings);
        c.make();
        QDir(out).removeRecursively();
        const CliResult r =
            run({"convert", clip, "--profile", "41", "--output-folder", out, "--json"});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_TRUE(
            r.err.contains("mirelo-cli: warning: The settings file " + settings + " " + c.reason))
            << r.err.toStdString();
        EXPECT_EQ(r.err.count(settings), 1) << "reported once: " << r.err.toStdString();
        EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), 1);
    }
    QFile f(settings);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), large) << "never rewritten";
}

// An output folder stored as bytes that are not UTF-8 is refused by name; before, the bytes were
// turned into U+FFFD and the files went into a folder of that other name.
TEST_F(PortableCli, OutputFolderThatIsNotUtf8IsRefusedNotReplaced) {
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray stored =
        "; caf\xe9\n[set]\noutputfolder=" + base + "/caf\xe9\nexistedfile=0\n";
    {
        QFile f(settings);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(stored);
    }
    const CliResult r = run({"convert", clip, "--profile", "41"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QString::fromUtf8(base) + "/caf\\xE9")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("not valid UTF-8")) << r.err.toStdString();
    EXPECT_FALSE(existsAsBytes(base + "/caf\xef\xbf\xbd")) << "no folder of another name";
    EXPECT_FALSE(existsAsBytes(base + "/caf?"));
    QFile f(settings);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), stored);
}

} // namespace
