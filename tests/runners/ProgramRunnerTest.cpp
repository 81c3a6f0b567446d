#include "process/ProgramRunner.h"
#include "common/ProcessWatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace mirelo {
namespace {

using test::processGone;
using test::waitUntilGone;

// Runs the runner to its end; the end, or nothing when it did not end in time.
std::optional<ProgramEnd> runToEnd(ProgramRunner& runner, int timeoutMs = 20000) {
    QSignalSpy finished(&runner, &ProgramRunner::finished);
    runner.start();
    if (finished.isEmpty() && !finished.wait(timeoutMs))
        return std::nullopt;
    EXPECT_EQ(finished.size(), 1);
    return finished.first().first().value<ProgramEnd>();
}

void setScript(ProgramRunner& runner, const QString& script) {
    runner.setProgram(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script});
}

// Each stop policy against a child that gives in at a different stage.
TEST(ProgramRunnerTest, StopGoesThroughItsStagesUntilTheChildIsGone) {
    constexpr int kGrace = 400;
    const struct {
        const char* name;
        ProgramRunner::PoliteStep polite;
        const char* script;
        ProgramEnd::Kind kind;
        int exitCode;
        int minMs; // the stage that ends it comes after these graces
        int maxMs;
    } cases[] = {
        {"SIGINT is heeded", ProgramRunner::PoliteStep::Interrupt,
         "trap 'exit 3' INT; echo ready; while :; do sleep 0.05; done", ProgramEnd::Kind::Exited, 3,
         0, kGrace},
        {"the key is heeded", ProgramRunner::PoliteStep::Key,
         "echo ready; head -c 1 >/dev/null; exit 4", ProgramEnd::Kind::Exited, 4, 0, kGrace},
        {"SIGINT ignored: terminated", ProgramRunner::PoliteStep::Interrupt,
         "trap '' INT; trap 'exit 5' TERM; echo ready; while :; do sleep 0.05; done",
         ProgramEnd::Kind::Exited, 5, kGrace, 2 * kGrace},
        {"SIGINT and SIGTERM ignored: killed", ProgramRunner::PoliteStep::Interrupt,
         "trap '' INT TERM; echo ready; while :; do sleep 0.05; done", ProgramEnd::Kind::Crashed,
         -1, 2 * kGrace, 3 * kGrace},
        {"no polite step: terminated at once", ProgramRunner::PoliteStep::None,
         "trap 'exit 6' TERM; echo ready; while :; do sleep 0.05; done", ProgramEnd::Kind::Exited,
         6, 0, kGrace},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramRunner runner;
        runner.setInput(ProgramRunner::Input::Piped);
        runner.setStopPolicy({c.polite, "q", kGrace, kGrace});
        setScript(runner, QLatin1String(c.script));
        QSignalSpy output(&runner, &ProgramRunner::outputReceived);
        QSignalSpy finished(&runner, &ProgramRunner::finished);
        runner.start();
        ASSERT_TRUE(output.wait(10000));
        QElapsedTimer clock;
        clock.start();
        runner.stop();
        EXPECT_TRUE(runner.isStopping());
        ASSERT_TRUE(finished.wait(10000));
        const qint64 took = clock.elapsed();
        const ProgramEnd end = finished.first().first().value<ProgramEnd>();
        EXPECT_EQ(end.kind, c.kind);
        if (c.kind == ProgramEnd::Kind::Exited) {
            EXPECT_EQ(end.exitCode, c.exitCode);
        }
        EXPECT_TRUE(end.stopped);
        EXPECT_FALSE(end.timedOut);
        EXPECT_GE(took, c.minMs);
        EXPECT_LT(took, c.maxMs + 1500) << "took " << took << " ms";
        EXPECT_TRUE(waitUntilGone(runner.processId()));
    }
}

TEST(ProgramRunnerTest, AProgramThatCannotStartIsOneEndNamingIt) {
    const QString missing = QStringLiteral("/nonexistent/encoder-program");
    ProgramRunner runner;
    runner.setRole(QStringLiteral("encoder"));
    runner.setProgram(missing, {QStringLiteral("-encoders")});
    QSignalSpy finished(&runner, &ProgramRunner::finished);
    QSignalSpy started(&runner, &ProgramRunner::started);
    runner.start();
    EXPECT_EQ(finished.size(), 0) << "never from inside start()";
    ASSERT_TRUE(finished.wait(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.size(), 1);
    EXPECT_EQ(started.size(), 0);
    const ProgramEnd end = finished.first().first().value<ProgramEnd>();
    EXPECT_EQ(end.kind, ProgramEnd::Kind::FailedToStart);
    EXPECT_FALSE(end.succeeded());
    EXPECT_TRUE(end.message.startsWith(QStringLiteral("The encoder ") + missing +
                                       QStringLiteral(" could not be started: ")))
        << end.message.toStdString();
    EXPECT_FALSE(end.startError.isEmpty());
    EXPECT_FALSE(runner.isRunning());
    EXPECT_EQ(ProgramRunner::runningCount(), 0);
}

TEST(ProgramRunnerTest, TheTimeOutStopsAProgramUnlessItIsRestartedByProgress) {
    const struct {
        const char* name;
        const char* script;
        bool restartOnOutput;
        bool timedOut;
    } cases[] = {
        {"silent program", "exec sleep 30", false, true},
        {"talking program, limit on the whole run",
         "for i in 1 2 3 4 5 6 7 8 9 10; do echo $i; "
         "sleep 0.1; done",
         false, true},
        {"talking program, limit on silence",
         "for i in 1 2 3 4 5 6 7 8 9 10; do echo $i; "
         "sleep 0.1; done",
         true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramRunner runner;
        runner.setTimeout(500);
        setScript(runner, QLatin1String(c.script));
        if (c.restartOnOutput)
            QObject::connect(&runner, &ProgramRunner::outputReceived, &runner,
                             [&runner] { runner.restartTimeout(); });
        const std::optional<ProgramEnd> end = runToEnd(runner);
        ASSERT_TRUE(end);
        EXPECT_EQ(end->timedOut, c.timedOut);
        EXPECT_EQ(end->succeeded(), !c.timedOut);
        if (c.timedOut) {
            EXPECT_TRUE(end->stopped);
            EXPECT_TRUE(end->message.contains(QStringLiteral("did not finish within 0.5 seconds")))
                << end->message.toStdString();
        }
    }
}

TEST(ProgramRunnerTest, OutputChannelsLinesTailAndKeptOutput) {
    // Lines end in "\n" or "\r"; the error channel is separate unless merged.
    const char* script = "printf 'a\\nb\\rc\\r\\nprogress=1\\n'; printf 'e1\\ne2\\n' >&2; "
                         "printf 'last-without-end'";
    const struct {
        const char* name;
        ProgramRunner::Outputs outputs;
        QStringList outputLines;
        QStringList errorLines;
    } cases[] = {
        {"separate",
         ProgramRunner::Outputs::Separate,
         {"a", "b", "c", "progress=1", "last-without-end"},
         {"e1", "e2"}},
        {"output only",
         ProgramRunner::Outputs::OutputOnly,
         {"a", "b", "c", "progress=1", "last-without-end"},
         {}},
        {"error only", ProgramRunner::Outputs::ErrorOnly, {}, {"e1", "e2"}},
        {"none", ProgramRunner::Outputs::None, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProgramRunner runner;
        runner.setOutputs(c.outputs);
        runner.setLineChannel(ProgramRunner::Channel::Output);
        runner.setLineChannel(ProgramRunner::Channel::Error);
        runner.setTailLines(3);
        runner.setTailFilter([](const QString& line) { return !line.contains('='); });
        runner.setKeptOutputLimit(4);
        setScript(runner, QLatin1String(script));
        QStringList lines[2];
        QObject::connect(&runner, &ProgramRunner::lineReceived,
                         [&lines](ProgramRunner::Channel channel, const QString& line) {
                             lines[int(channel)] += line;
                         });
        const std::optional<ProgramEnd> end = runToEnd(runner);
        ASSERT_TRUE(end);
        EXPECT_TRUE(end->succeeded());
        EXPECT_EQ(lines[0], c.outputLines);
        EXPECT_EQ(lines[1], c.errorLines);
        const QStringList all = c.outputLines + c.errorLines;
        QStringList expectedTail;
        for (const QString& line : all)
            if (!line.contains('='))
                expectedTail += line;
        // The channels interleave as they arrive: only the count and the filter are certain.
        EXPECT_EQ(runner.tail().size(), std::min<qsizetype>(3, expectedTail.size()));
        for (const QString& line : runner.tail())
            EXPECT_TRUE(expectedTail.contains(line)) << line.toStdString();
        EXPECT_EQ(runner.keptOutput(),
                  c.outputLines.isEmpty() ? QByteArray() : QByteArray("a\nb\r"));
    }
}

TEST(ProgramRunnerTest, AnEndlessLineComesInBoundedPieces) {
    ProgramRunner runner;
    runner.setLineChannel(ProgramRunner::Channel::Output);
    runner.setTailLines(2);
    setScript(runner, QStringLiteral("head -c 300000 /dev/zero | tr '\\0' x"));
    qsizetype longest = 0;
    qsizetype total = 0;
    QObject::connect(&runner, &ProgramRunner::lineReceived,
                     [&](ProgramRunner::Channel, const QString& line) {
                         longest = std::max(longest, line.size());
                         total += line.size();
                     });
    ASSERT_TRUE(runToEnd(runner));
    EXPECT_EQ(total, 300000);
    EXPECT_LE(longest, LineSplitter::kMaxLineBytes);
    EXPECT_EQ(runner.tail().size(), 2);
}

TEST(ProgramRunnerTest, InputIsNullOrPiped) {
    for (const bool piped : {false, true}) {
        SCOPED_TRACE(piped ? "piped" : "null");
        ProgramRunner runner;
        runner.setInput(piped ? ProgramRunner::Input::Piped : ProgramRunner::Input::Null);
        runner.setTimeout(5000);
        setScript(runner, QStringLiteral("head -c 3; echo; echo end"));
        QByteArray output;
        QObject::connect(&runner, &ProgramRunner::outputReceived,
                         [&output](ProgramRunner::Channel, const QByteArray& b) { output += b; });
        QSignalSpy finished(&runner, &ProgramRunner::finished);
        runner.start();
        EXPECT_EQ(runner.write("abc"), piped);
        ASSERT_TRUE(finished.wait(10000));
        // A null input ends at once: the program never waits for the terminal.
        EXPECT_EQ(output, piped ? QByteArray("abc\nend\n") : QByteArray("\nend\n"));
        EXPECT_FALSE(finished.first().first().value<ProgramEnd>().timedOut);
    }
}

// The child runs in its own process group: what it started goes with it.
TEST(ProgramRunnerTest, DestroyingARunnerKillsTheWholeGroupAtOnce) {
    qint64 child = 0;
    qint64 grandchild = 0;
    {
        ProgramRunner runner;
        setScript(runner, QStringLiteral("sleep 30 & echo $!; wait"));
        QSignalSpy output(&runner, &ProgramRunner::outputReceived);
        QSignalSpy finished(&runner, &ProgramRunner::finished);
        runner.start();
        ASSERT_TRUE(output.wait(10000));
        grandchild = output.first().at(1).toByteArray().trimmed().toLongLong();
        child = runner.processId();
        ASSERT_GT(grandchild, 0);
        EXPECT_EQ(::getpgid(pid_t(child)), pid_t(child));
        EXPECT_EQ(::getpgid(pid_t(grandchild)), pid_t(child));
        EXPECT_EQ(ProgramRunner::runningCount(), 1);
        QObject::connect(&runner, &ProgramRunner::finished, [] { ADD_FAILURE() << "no signal"; });
    }
    EXPECT_TRUE(processGone(child)) << "the child was reaped";
    EXPECT_TRUE(waitUntilGone(grandchild));
    EXPECT_EQ(ProgramRunner::runningCount(), 0);
}

TEST(ProgramRunnerTest, KillAllEndsEveryRunningProgram) {
    ProgramRunner a;
    ProgramRunner b;
    setScript(a, QStringLiteral("exec sleep 30"));
    setScript(b, QStringLiteral("exec sleep 30"));
    QSignalSpy aEnded(&a, &ProgramRunner::finished);
    QSignalSpy bEnded(&b, &ProgramRunner::finished);
    a.start();
    b.start();
    EXPECT_EQ(ProgramRunner::runningCount(), 2);
    ProgramRunner::killAll();
    ASSERT_TRUE(aEnded.size() == 1 || aEnded.wait(10000));
    ASSERT_TRUE(bEnded.size() == 1 || bEnded.wait(10000));
    EXPECT_TRUE(aEnded.first().first().value<ProgramEnd>().stopped);
    EXPECT_EQ(ProgramRunner::runningCount(), 0);
}

// The parent side of the next test: starts a child, prints its id and waits to be killed.
constexpr char kParentRole[] = "MIRELO_RUNNER_TEST_PARENT";

TEST(ProgramRunnerTest, AChildDiesWithItsKilledParent) {
    if (qEnvironmentVariableIsSet(kParentRole)) {
        ProgramRunner runner;
        runner.setProgram(QStringLiteral("sleep"), {QStringLiteral("60")});
        QSignalSpy started(&runner, &ProgramRunner::started);
        runner.start();
        ASSERT_TRUE(started.wait(10000));
        std::printf("child %lld\n", static_cast<long long>(runner.processId()));
        std::fflush(stdout);
        ::sleep(60); // killed long before
        return;
    }
    QProcess parent;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(kParentRole), QStringLiteral("1"));
    parent.setProcessEnvironment(env);
    parent.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_filter=ProgramRunnerTest.AChildDiesWithItsKilledParent")});
    qint64 child = 0;
    QElapsedTimer clock;
    clock.start();
    while (child == 0 && clock.elapsed() < 30000 && parent.waitForReadyRead(1000)) {
        const QList<QByteArray> words = parent.readAll().split(' ');
        for (qsizetype i = 0; i + 1 < words.size(); ++i)
            if (words[i].endsWith("child"))
                child = words[i + 1].trimmed().toLongLong();
    }
    ASSERT_GT(child, 0) << "the parent did not start its child";
    EXPECT_FALSE(processGone(child));
    ::kill(pid_t(parent.processId()), SIGKILL);
    ASSERT_TRUE(parent.waitForFinished(10000));
    EXPECT_TRUE(waitUntilGone(child)) << "the child of a killed parent lives on";
}

} // namespace
} // namespace mirelo
