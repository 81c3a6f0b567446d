#include "process/CapturedProgram.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/types.h>

namespace mirelo {
namespace {

// Runs the program to its end, blocking or asynchronously; false when it did not end in time.
bool runToEnd(CapturedProgram& p, bool async) {
    p.setAsync(async);
    QSignalSpy finished(&p, &CapturedProgram::finished);
    p.launch();
    if (async && finished.isEmpty() && !finished.wait(20000))
        return false;
    return finished.size() == 1 && !p.isRunning();
}

struct ScriptCase {
    const char* name;
    const char* script;
    QString expectedOut;
    int expectedExitCode;
};

TEST(CapturedProgram, CapturesMergedOutputAndExitCodeInBothModes) {
    const ScriptCase cases[] = {
        {"both streams in the order written", "echo out1; echo err1 >&2; echo out2; echo err2 >&2",
         "out1\nerr1\nout2\nerr2\n", 0},
        {"exit code", "exit 3", "", 3},
        {"output written just before exit", "printf tail; exit 7", "tail", 7},
        {"a multi-byte character split across writes",
         "printf '\\303'; sleep 0.3; printf '\\251\\n'", QString::fromUtf8("\xc3\xa9\n"), 0},
        {"a talkative program never blocks", "head -c 1000000 /dev/zero | tr '\\0' x",
         QString(1000000, QLatin1Char('x')), 0},
    };
    for (const ScriptCase& c : cases) {
        for (const bool async : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (async ? " (async)" : " (blocking)"));
            CapturedProgram p;
            p.setProgram(QStringLiteral("/bin/sh"),
                         {QStringLiteral("-c"), QLatin1String(c.script)});
            QString streamed;
            QObject::connect(&p, &CapturedProgram::outputReceived,
                             [&streamed](const QString& text) { streamed += text; });
            ASSERT_TRUE(runToEnd(p, async));
            EXPECT_EQ(p.output(), c.expectedOut);
            EXPECT_EQ(streamed, c.expectedOut);
            EXPECT_EQ(p.exitCode(), c.expectedExitCode);
        }
    }
}

TEST(CapturedProgram, ProgramThatCannotStartEndsAtOnceWithNothing) {
    for (const bool async : {false, true}) {
        SCOPED_TRACE(async ? "async" : "blocking");
        CapturedProgram p;
        p.setProgram(QStringLiteral("/nonexistent/program"), {QStringLiteral("x")});
        ASSERT_TRUE(runToEnd(p, async));
        EXPECT_EQ(p.output(), QString());
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_FALSE(p.isRunning());
        EXPECT_FALSE(p.startError().isEmpty());
    }
}

TEST(CapturedProgram, AbortEndsARunningProgramWithTheGivenCode) {
    for (const int code : {5, 0}) {
        SCOPED_TRACE(code);
        CapturedProgram p;
        p.setAsync(true);
        p.setProgram(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"), QStringLiteral("echo started; exec sleep 30")});
        QSignalSpy finished(&p, &CapturedProgram::finished);
        QSignalSpy output(&p, &CapturedProgram::outputReceived);
        p.launch();
        ASSERT_TRUE(output.wait(10000));
        EXPECT_TRUE(p.isRunning());
        p.abort(code);
        ASSERT_TRUE(finished.size() == 1 || finished.wait(10000));
        EXPECT_EQ(finished.size(), 1);
        EXPECT_FALSE(p.isRunning());
        EXPECT_EQ(p.exitCode(), code);
        EXPECT_EQ(p.output(), QStringLiteral("started\n"));
    }
}

TEST(CapturedProgram, AbortWithoutAProgramOnlyReportsTheEnd) {
    CapturedProgram p;
    QSignalSpy finished(&p, &CapturedProgram::finished);
    p.abort(5);
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_FALSE(p.isRunning());
}

TEST(CapturedProgram, DestroyingItWhileTheProgramRunsStopsTheProgram) {
    QTemporaryDir dir;
    const QString pidFile = dir.filePath(QStringLiteral("pid"));
    qint64 pid = 0;
    {
        CapturedProgram p;
        p.setAsync(true);
        p.setProgram(QStringLiteral("/bin/sh"),
                     {QStringLiteral("-c"),
                      QStringLiteral("echo $$ > \"$0\"; echo go; exec sleep 30"), pidFile});
        QSignalSpy output(&p, &CapturedProgram::outputReceived);
        p.launch();
        ASSERT_TRUE(output.wait(10000));
        QFile f(pidFile);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        pid = f.readAll().trimmed().toLongLong();
        ASSERT_GT(pid, 0);
    }
    EXPECT_NE(::kill(pid_t(pid), 0), 0) << "the child outlived its CapturedProgram";
}

TEST(CapturedProgram, RelaunchClearsOutput) {
    CapturedProgram p;
    EXPECT_FALSE(p.isAsync());
    p.setProgram(QStringLiteral("/bin/sh"),
                 {QStringLiteral("-c"), QStringLiteral("printf '%s|' \"a b\" c")});
    EXPECT_EQ(p.program(), QStringLiteral("/bin/sh"));
    ASSERT_TRUE(runToEnd(p, false));
    EXPECT_EQ(p.output(), QStringLiteral("a b|c|"));
    EXPECT_EQ(p.elapsedTime(), QStringLiteral("0:00:00"));

    p.setProgram(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QStringLiteral("exit 4")});
    ASSERT_TRUE(runToEnd(p, false));
    EXPECT_EQ(p.output(), QString());
    EXPECT_EQ(p.exitCode(), 4);
}

} // namespace
} // namespace mirelo
