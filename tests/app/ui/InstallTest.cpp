// The product installed into a temporary prefix: its files in their standard places, a valid
// menu entry, and the installed desktop program starting with its resources found relative to
// the executable.

#include "common/ProcessWatch.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

namespace mirelo {
namespace {

struct RunResult {
    int exitCode = -1;
    QString output;
};

RunResult run(const QString& program, const QStringList& args, int timeoutMs = 120000) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, args);
    RunResult result;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString buildDir() {
    return QDir::cleanPath(test::appDir() + QStringLiteral("/.."));
}

TEST(DesktopEntry, PassesDesktopFileValidate) {
    const QString validator =
        QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate is not installed";
    const RunResult result = run(
        validator, {test::sourceDir() + "/resources/desktop/org.mirelo.videoconverter.desktop"});
    EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();
    EXPECT_TRUE(result.output.trimmed().isEmpty()) << result.output.toStdString();
}

class Installed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        prefix = new QTemporaryDir;
        const RunResult install =
            run(QStringLiteral("cmake"), {"--install", buildDir(), "--prefix", prefix->path()});
        installOutput = new QString(install.output);
        installed = install.exitCode == 0;
    }
    static void TearDownTestSuite() {
        delete prefix;
        delete installOutput;
    }
    void SetUp() override { ASSERT_TRUE(installed) << installOutput->toStdString(); }

    static QString at(const QString& relative) { return QDir(prefix->path()).filePath(relative); }

    static inline QTemporaryDir* prefix = nullptr;
    static inline QString* installOutput = nullptr;
    static inline bool installed = false;
};

TEST_F(Installed, EveryFileIsInItsStandardPlace) {
    const char* files[] = {
        "bin/mirelo-video-converter",
        "bin/mirelo-cli",
        "share/mirelo-video-converter/skins/frmmain.skn",
        "share/mirelo-video-converter/help/index.html",
        "share/mirelo-video-converter/help/troubleshooting.html",
        "share/mirelo-video-converter/loading.jpg",
        "share/applications/org.mirelo.videoconverter.desktop",
        "share/metainfo/org.mirelo.videoconverter.metainfo.xml",
        "share/icons/hicolor/scalable/apps/mirelo-video-converter.svg",
    };
    for (const char* file : files)
        EXPECT_TRUE(QFileInfo(at(QLatin1String(file))).isFile()) << file;
    for (const char* program : {"bin/mirelo-video-converter", "bin/mirelo-cli"})
        EXPECT_TRUE(QFileInfo(at(QLatin1String(program))).isExecutable()) << program;
    // Nothing but the programs beside them: the resources must be found in share/.
    EXPECT_FALSE(QFileInfo::exists(at("bin/help")));
    EXPECT_FALSE(QFileInfo::exists(at("bin/skins")));
}

TEST_F(Installed, MenuEntryIsValidAndStartsTheInstalledProgram) {
    const QString entry = at("share/applications/org.mirelo.videoconverter.desktop");
    const RunResult result = run(QStringLiteral("desktop-file-validate"), {entry});
    EXPECT_EQ(result.exitCode, 0) << result.output.toStdString();
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("\nExec=mirelo-video-converter")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nIcon=mirelo-video-converter\n")));
}

// The desktop program as a user with an empty home would start it, on the offscreen platform,
// its messages merged into one channel.
void startsInHome(QProcess& program, const QTemporaryDir& home) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(".config"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(".local/share"));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
}

// The installed program starts on the offscreen platform from a read-only bin/, reads its skin
// from share/ beside bin/ (nothing of it lies in bin/) and keeps running until it is stopped.
TEST_F(Installed, DesktopProgramFindsItsResourcesAndKeepsRunning) {
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    ASSERT_FALSE(strace.isEmpty()) << "strace is not installed";
    QTemporaryDir home;
    const QString trace = home.filePath(QStringLiteral("open.trace"));
    QFile::setPermissions(at("bin"),
                          QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup);
    QProcess program;
    startsInHome(program, home);
    program.setWorkingDirectory(home.path());
    program.start(strace,
                  {"-f", "-e", "trace=openat", "-o", trace, at("bin/mirelo-video-converter")});
    ASSERT_TRUE(program.waitForStarted(30000));

    // Wait until the skin has been opened (or the program has ended), then give it a moment.
    const QString skin = QDir::cleanPath(at("share/mirelo-video-converter/skins/frmmain.skn"));
    QString opened;
    bool skinRead = false;
    QElapsedTimer clock;
    clock.start();
    while (!skinRead && program.state() == QProcess::Running && clock.elapsed() < 90000) {
        QTest::qWait(200);
        opened = readAll(trace);
        for (const QString& line : opened.split(QLatin1Char('\n')))
            skinRead = skinRead || (line.contains(skin) && !line.contains(QStringLiteral("= -1")));
    }
    QTest::qWait(1500);
    const bool keptRunning = program.state() == QProcess::Running;
    // The traced program's id heads the trace; ending it ends strace.
    const auto id = static_cast<pid_t>(opened.section(QLatin1Char(' '), 0, 0).toInt());
    if (id > 0)
        ::kill(id, SIGTERM);
    if (!program.waitForFinished(30000)) {
        program.kill();
        program.waitForFinished();
    }
    QFile::setPermissions(at("bin"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString output = QString::fromLocal8Bit(program.readAll());
    EXPECT_TRUE(skinRead) << opened.toStdString();
    EXPECT_TRUE(keptRunning) << output.toStdString();
    EXPECT_GT(id, 0);
}

// A signal that ends the program (a logout, Ctrl+C in its terminal, kill) closes it the way its
// window's close button does, rather than cutting it off with its children and partial files.
TEST_F(Installed, SignalsCloseTheDesktopProgramAsItsWindowWould) {
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(signalNumber);
        QTemporaryDir home;
        QProcess program;
        startsInHome(program, home);
        program.start(at("bin/mirelo-video-converter"), {});
        ASSERT_TRUE(program.waitForStarted(30000));
        QElapsedTimer clock;
        clock.start();
        while (!test::catchesSignal(program.processId(), signalNumber) &&
               program.state() == QProcess::Running && clock.elapsed() < 60000)
            QTest::qWait(50);
        ASSERT_TRUE(test::catchesSignal(program.processId(), signalNumber));
        ::kill(pid_t(program.processId()), signalNumber);
        ASSERT_TRUE(program.waitForFinished(30000));
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 128 + signalNumber)
            << QString::fromLocal8Bit(program.readAll()).toStdString();
    }
}

} // namespace
} // namespace mirelo
