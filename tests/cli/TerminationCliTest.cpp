#include "common/MediaFixtures.h"
#include "common/ProcessWatch.h"
#include "common/TestSupport.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

using namespace mirelo::test;

namespace {

// Tests may block: polls until `ready` holds or the time is up.
template <class Predicate> bool waitFor(Predicate ready, int timeoutMs = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!ready()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(50);
    }
    return true;
}

QByteArray commandLine(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool anyCommandLineHas(const QByteArray& text) {
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && !processGone(pid) && commandLine(pid).contains(text))
            return true;
    }
    return false;
}

struct Ending {
    int signalNumber;
    const char* name;
};

// Every signal that ends the tool, and SIGKILL, which the tool cannot handle: the parent-death
// signal then ends its children.
const Ending kEndings[] = {{SIGTERM, "SIGTERM"},
                           {SIGINT, "SIGINT"},
                           {SIGHUP, "SIGHUP"},
                           {SIGQUIT, "SIGQUIT"},
                           {SIGKILL, "SIGKILL"}};

void expectEndedBy(QProcess& cli, const Ending& e) {
    QElapsedTimer clock;
    clock.start();
    ::kill(pid_t(cli.processId()), e.signalNumber);
    ASSERT_TRUE(cli.waitForFinished(10000)) << "the tool did not end";
    EXPECT_LT(clock.elapsed(), 5000);
    if (e.signalNumber == SIGKILL) {
        EXPECT_EQ(cli.exitStatus(), QProcess::CrashExit);
    } else {
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), 128 + e.signalNumber) << cli.readAllStandardError().toStdString();
    }
}

// "timeout 3 mirelo-cli probe /dev/zero": the player reads an endless input and ignores SIGTERM;
// whatever ends the tool ends the player too.
TEST(TerminationCli, AProbeOfAnEndlessInputLeavesNoPlayerBehind) {
    ASSERT_FALSE(QStandardPaths::findExecutable(QStringLiteral("mplayer")).isEmpty());
    for (const Ending& e : kEndings) {
        SCOPED_TRACE(e.name);
        QProcess cli;
        cli.start(QStringLiteral(MIRELO_CLI_PATH), {QStringLiteral("probe"), "/dev/zero"});
        ASSERT_TRUE(cli.waitForStarted());
        qint64 player = 0;
        ASSERT_TRUE(waitFor([&] {
            for (const qint64 child : childrenOf(cli.processId()))
                if (commandLine(child).contains("/dev/zero"))
                    player = child;
            return player != 0;
        })) << "the player did not start";
        expectEndedBy(cli, e);
        EXPECT_TRUE(waitUntilGone(player)) << "the player outlived the tool";
    }
}

// An encoder whose capability listing hangs: the tool must not wait for it when told to end.
TEST(TerminationCli, ASignalDuringTheCapabilityListingEndsTheToolAtOnce) {
    QTemporaryDir dir;
    const QString pids = dir.filePath(QStringLiteral("pids"));
    const QString encoder = dir.filePath(QStringLiteral("ffmpeg"));
    {
        QFile f(encoder);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("#!/bin/sh\necho $$ >> '" + pids.toUtf8() + "'\nexec sleep 60\n");
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    }
    const QString clip = makeVideoClip(QDir(dir.path()), QStringLiteral("a.avi"));
    for (const Ending& e : kEndings) {
        SCOPED_TRACE(e.name);
        QFile::remove(pids);
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PATH"), dir.path() + QLatin1Char(':') + env.value("PATH"));
        cli.setProcessEnvironment(env);
        cli.start(QStringLiteral(MIRELO_CLI_PATH),
                  {QStringLiteral("convert"), clip, QStringLiteral("--profile"),
                   QStringLiteral("41"), QStringLiteral("--output-folder"), dir.path()});
        ASSERT_TRUE(cli.waitForStarted());
        QList<qint64> listings;
        ASSERT_TRUE(waitFor([&] {
            QFile f(pids);
            listings.clear();
            if (f.open(QIODevice::ReadOnly))
                for (const QByteArray& line : f.readAll().split('\n'))
                    if (!line.isEmpty())
                        listings += line.toLongLong();
            return listings.size() == 2; // both lists are read at once
        })) << "the listings did not start";
        expectEndedBy(cli, e);
        for (const qint64 pid : listings)
            EXPECT_TRUE(waitUntilGone(pid)) << "a listing outlived the tool";
    }
}

// A closed standard error (the reader of a pipe gone) ends the tool like a signal: the encoder is
// stopped and its partial output removed.
TEST(TerminationCli, AClosedOutputStopsTheEncoderAndRemovesItsPartialOutput) {
    QTemporaryDir dir;
    const QDir out(dir.filePath(QStringLiteral("out")));
    QDir().mkpath(out.path());
    const QString clip = makeVideoClip(QDir(dir.path()), QStringLiteral("long.avi"), 60);
    // The tool's standard error is a pipe nobody reads.
    int pipe[2];
    ASSERT_EQ(::pipe2(pipe, O_CLOEXEC), 0);
    QProcess cli;
    cli.setChildProcessModifier([end = pipe[1]] { ::dup2(end, STDERR_FILENO); });
    cli.start(QStringLiteral(MIRELO_CLI_PATH),
              {QStringLiteral("convert"), clip, QStringLiteral("--profile"), QStringLiteral("23"),
               QStringLiteral("--output-folder"), out.path()});
    ::close(pipe[0]);
    ::close(pipe[1]);
    ASSERT_TRUE(cli.waitForStarted());
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 128 + SIGPIPE);
    EXPECT_TRUE(out.entryList(QDir::Files | QDir::Hidden).isEmpty())
        << out.entryList(QDir::Files | QDir::Hidden).join(", ").toStdString();
    EXPECT_TRUE(waitFor([&] { return !anyCommandLineHas(out.path().toUtf8()); }, 5000))
        << "the encoder outlived the tool";
}

} // namespace
