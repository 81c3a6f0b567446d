#include "probe/MediaProbe.h"

#include "common/MediaFixtures.h"
#include "common/TestSupport.h"
#include "probe/ProbeQueue.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <memory>
#include <sys/resource.h>

namespace mirelo {
namespace {

using test::makeAudioClip;
using test::makeVideoClip;

// Real MPlayer on clips generated once for the suite.
class MediaProbeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        m_dir = std::make_unique<QTemporaryDir>();
        QDir d(m_dir->path());
        m_video = makeVideoClip(d, QStringLiteral("video.avi"), 2);
        m_odd =
            makeVideoClip(d, QStringLiteral("clip 'a' \"b\" é ü.avi"), 4, QStringLiteral("96x64"));
        m_audio = makeAudioClip(d, QStringLiteral("sound.mp3"), 3);
        m_garbage = d.filePath(QStringLiteral("garbage.avi"));
        QFile f(m_garbage);
        if (f.open(QIODevice::WriteOnly))
            f.write(QByteArray(4096, 'z'));
    }
    static void TearDownTestSuite() { m_dir.reset(); }

    static MediaProbe::Outcome probe(MediaProbe& p, const QString& path) {
        QSignalSpy finished(&p, &MediaProbe::finished);
        p.start(path);
        EXPECT_TRUE(finished.wait(60000)) << path.toStdString();
        EXPECT_EQ(finished.size(), 1);
        return p.outcome();
    }

    static inline std::unique_ptr<QTemporaryDir> m_dir;
    static inline QString m_video, m_odd, m_audio, m_garbage;
};

TEST_F(MediaProbeTest, ProbesRealFiles) {
    const struct {
        QString path;
        const char* size;
        const char* format;
        const char* length;
        bool messageExpected;
    } cases[] = {
        {m_video, "160x120", "FMP4", "0:00:02", false},
        {m_odd, "96x64", "FMP4", "0:00:04", false},
        {m_audio, "0x0", "", "0:00:03", false}, // the length comes from the second run
        {m_garbage, "0x0", "", "", true},
        {QDir(m_dir->path()).filePath(QStringLiteral("missing.avi")), "0x0", "", "", true},
    };
    MediaProbe p;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(probe(p, c.path), MediaProbe::Outcome::Probed);
        const ProbeColumns columns = probeColumns(p.info());
        EXPECT_EQ(columns.start, QStringLiteral("0:00:00"));
        EXPECT_EQ(columns.size, QLatin1String(c.size));
        EXPECT_EQ(columns.format, QLatin1String(c.format));
        EXPECT_EQ(columns.end, QLatin1String(c.length));
        EXPECT_EQ(columns.videoTime, QLatin1String(c.length));
        EXPECT_EQ(p.message().isEmpty(), !c.messageExpected) << p.message().toStdString();
        EXPECT_EQ(p.path(), c.path);
    }
}

TEST_F(MediaProbeTest, RelativeNameStartingWithADash) {
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QFile::copy(m_video, QDir(m_dir->path()).filePath(QStringLiteral("-dash.avi"))));
    QDir::setCurrent(m_dir->path());
    MediaProbe p;
    probe(p, QStringLiteral("-dash.avi"));
    QDir::setCurrent(before);
    EXPECT_EQ(p.info().sizeText(), QStringLiteral("160x120"));
}

TEST_F(MediaProbeTest, MissingAndUnstartablePlayersAreReportedByName) {
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArrayLiteral("/nonexistent"));
    MediaProbe missing;
    const MediaProbe::Outcome missingOutcome = probe(missing, m_video);
    qputenv("PATH", path);
    EXPECT_EQ(missingOutcome, MediaProbe::Outcome::PlayerMissing);
    EXPECT_TRUE(missing.message().contains(QStringLiteral("mplayer")))
        << missing.message().toStdString();
    EXPECT_EQ(missing.info().sizeText(), QStringLiteral("0x0"));

    MediaProbe broken;
    broken.setPlayerProgram(QStringLiteral("/nonexistent/mplayer"));
    EXPECT_EQ(probe(broken, m_video), MediaProbe::Outcome::StartFailed);
    EXPECT_TRUE(broken.message().contains(QStringLiteral("/nonexistent/mplayer")));
}

TEST_F(MediaProbeTest, AHangingPlayerIsStoppedAndKeepsWhatItPrinted) {
    const QString script = QDir(m_dir->path()).filePath(QStringLiteral("hang.sh"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\necho ID_VIDEO_WIDTH=320\nexec sleep 60\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    MediaProbe p;
    p.setPlayerProgram(script);
    p.setTimeoutMs(1000);
    EXPECT_EQ(probe(p, m_video), MediaProbe::Outcome::TimedOut);
    EXPECT_EQ(p.info().width, 320);
    EXPECT_FALSE(p.message().isEmpty());
}

TEST_F(MediaProbeTest, QueueBoundsConcurrencyAndStartsInOrder) {
    ProbeQueue queue;
    queue.setMaxConcurrent(2);
    std::vector<quint64> order;
    std::map<quint64, QString> sizes;
    int mostRunning = 0;
    QObject::connect(&queue, &ProbeQueue::probed,
                     [&](quint64 ticket, const QString&, const MediaInfo& info) {
                         order.push_back(ticket);
                         sizes[ticket] = info.sizeText();
                         mostRunning = std::max(mostRunning, queue.runningCount());
                     });
    QSignalSpy idle(&queue, &ProbeQueue::idle);
    const QStringList files{m_video, m_odd, m_audio, m_video, m_odd};
    std::vector<quint64> tickets;
    for (const QString& f : files)
        tickets.push_back(queue.enqueue(f));
    EXPECT_EQ(queue.runningCount(), 2);
    EXPECT_EQ(queue.waitingCount(), 3);
    const quint64 dropped = queue.enqueue(m_video);
    queue.cancel(dropped);
    ASSERT_TRUE(idle.wait(120000));
    EXPECT_TRUE(queue.isIdle());
    ASSERT_EQ(order.size(), files.size());
    EXPECT_LE(mostRunning, 2);
    EXPECT_EQ(sizes.count(dropped), 0u);
    const char* expected[] = {"160x120", "96x64", "0x0", "160x120", "96x64"};
    for (std::size_t i = 0; i < tickets.size(); ++i)
        EXPECT_EQ(sizes[tickets[i]], QLatin1String(expected[i])) << i;

    // One at a time, results come back in the order queued.
    queue.setMaxConcurrent(1);
    order.clear();
    tickets.clear();
    for (const QString& f : {m_audio, m_video, m_odd})
        tickets.push_back(queue.enqueue(f));
    ASSERT_TRUE(idle.wait(120000));
    EXPECT_EQ(order, tickets);
}

TEST_F(MediaProbeTest, QueueReportsAMissingPlayerOnce) {
    ProbeQueue queue;
    queue.setPlayerProgram(QString());
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArrayLiteral("/nonexistent"));
    QSignalSpy missing(&queue, &ProbeQueue::playerMissing);
    QSignalSpy probed(&queue, &ProbeQueue::probed);
    QSignalSpy idle(&queue, &ProbeQueue::idle);
    for (int i = 0; i < 4; ++i)
        queue.enqueue(m_video);
    const bool ended = idle.wait(20000);
    qputenv("PATH", path);
    ASSERT_TRUE(ended);
    EXPECT_EQ(missing.size(), 1);
    EXPECT_EQ(probed.size(), 4);
}

TEST_F(MediaProbeTest, CliPrintsOneRowPerFile) {
    const test::CliResult json = test::runCli(
        {QStringLiteral("probe"), m_video, m_audio, m_garbage, QStringLiteral("--json")});
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(rows.size(), 3);
    const QJsonObject first = rows[0].toObject();
    EXPECT_EQ(first[QStringLiteral("file")].toString(), m_video);
    EXPECT_EQ(first[QStringLiteral("start")].toString(), QStringLiteral("0:00:00"));
    EXPECT_EQ(first[QStringLiteral("end")].toString(), QStringLiteral("0:00:02"));
    EXPECT_EQ(first[QStringLiteral("size")].toString(), QStringLiteral("160x120"));
    EXPECT_EQ(first[QStringLiteral("format")].toString(), QStringLiteral("FMP4"));
    EXPECT_EQ(first[QStringLiteral("videoTime")].toString(), QStringLiteral("0:00:02"));
    EXPECT_EQ(rows[1].toObject()[QStringLiteral("videoTime")].toString(),
              QStringLiteral("0:00:03"));
    EXPECT_EQ(rows[2].toObject()[QStringLiteral("size")].toString(), QStringLiteral("0x0"));
    EXPECT_EQ(rows[2].toObject()[QStringLiteral("end")].toString(), QString());
    EXPECT_TRUE(json.err.contains(m_garbage)) << json.err.toStdString();

    // "--" ends the options: it is no file, and what follows it is a file whatever its name.
    const test::CliResult ended = test::runCli(
        {QStringLiteral("probe"), QStringLiteral("--json"), QStringLiteral("--"), m_video});
    ASSERT_EQ(ended.exitCode, 0) << ended.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(ended.out.toUtf8()).array().size(), 1);

    const test::CliResult text = test::runCli({QStringLiteral("probe"), m_odd});
    ASSERT_EQ(text.exitCode, 0);
    EXPECT_TRUE(
        text.out.contains(m_odd + QStringLiteral("\t0:00:00\t0:00:04\t96x64\tFMP4\t0:00:04\n")))
        << text.out.toStdString();
}

TEST_F(MediaProbeTest, CliFailsClearlyWithoutAPlayer) {
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), QStringLiteral("/nonexistent"));
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(MIRELO_CLI_PATH), {QStringLiteral("probe"), m_video});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 1);
    EXPECT_TRUE(cli.readAllStandardError().contains("\"mplayer\" was not found"));
}

QString writeScript(const QDir& dir, const QString& name, const QByteArray& body) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n" + body);
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    return path;
}

// What a player prints before it fails is not a result: a crash or an error exit leaves the row
// as an unprobed one, with a message naming the player.
TEST_F(MediaProbeTest, OutputOfAPlayerThatCrashedOrFailedIsNotTaken) {
    const QDir d(m_dir->path());
    const QByteArray identified = "echo ID_VIDEO_ID=0\necho ID_VIDEO_WIDTH=320\n"
                                  "echo ID_VIDEO_HEIGHT=240\necho ID_LENGTH=83.4\n";
    const struct {
        const char* name;
        QByteArray ending;
        const char* how;
    } cases[] = {
        {"error-exit", "exit 1\n", "failed (exit code 1)"},
        {"crash", "kill -SEGV $$\n", "crashed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MediaProbe p;
        p.setPlayerProgram(writeScript(d, QLatin1String(c.name), identified + c.ending));
        EXPECT_EQ(probe(p, m_video), MediaProbe::Outcome::PlayerFailed);
        EXPECT_EQ(p.info().sizeText(), QStringLiteral("0x0"));
        EXPECT_FALSE(p.info().lengthSeconds.has_value());
        EXPECT_FALSE(p.info().recognized());
        EXPECT_TRUE(p.message().contains(QLatin1String(c.how))) << p.message().toStdString();
        EXPECT_TRUE(p.message().contains(QLatin1String(c.name))) << p.message().toStdString();
    }
}

// The probing side of the next test, in a process of its own: runs mirelo-cli probe and prints
// the largest memory any of its children (mirelo-cli and the player) took.
constexpr char kMemoryRole[] = "MIRELO_PROBE_MEMORY_ROLE";

TEST(ProbeMemoryTest, StatusLinesOfAPlayerAreNotKept) {
    if (qEnvironmentVariableIsSet(kMemoryRole)) {
        const test::CliResult r =
            test::runCli({QStringLiteral("probe"), qEnvironmentVariable(kMemoryRole)});
        rusage usage{};
        ::getrusage(RUSAGE_CHILDREN, &usage);
        std::printf("exit %d peak %ld row %s\n", r.exitCode, usage.ru_maxrss,
                    qPrintable(r.out.split('\n').value(1)));
        return;
    }
    QTemporaryDir dir;
    // 21 MB of status lines, each redrawn with a carriage return, between the identify lines.
    writeScript(QDir(dir.path()), QStringLiteral("mplayer"),
                "echo ID_VIDEO_WIDTH=320\necho ID_VIDEO_HEIGHT=240\n"
                "yes 'A:   1.2 V:   1.2 A-V:  0.000 ct:  0.000  30/ 30 12%  3%  0.4% 0 0' "
                "| head -c 21000000 | tr '\\n' '\\r'\n"
                "echo\necho ID_LENGTH=83.40\n");
    const QString media = dir.filePath(QStringLiteral("status.avi"));
    QFile(media).open(QIODevice::WriteOnly);
    QProcess measure;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QLatin1String(kMemoryRole), media);
    env.insert(QStringLiteral("PATH"), dir.path() + QLatin1Char(':') + env.value("PATH"));
    // What the program holds, not what the address sanitizer keeps of freed memory.
    env.insert(QStringLiteral("ASAN_OPTIONS"),
               env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":quarantine_size_mb=0"));
    measure.setProcessEnvironment(env);
    measure.start(
        QCoreApplication::applicationFilePath(),
        {QStringLiteral("--gtest_filter=ProbeMemoryTest.StatusLinesOfAPlayerAreNotKept")});
    ASSERT_TRUE(measure.waitForFinished(120000));
    const QString report = QString::fromUtf8(measure.readAllStandardOutput());
    static const QRegularExpression line(QStringLiteral("exit (\\d+) peak (\\d+) row (.*)"));
    const QRegularExpressionMatch m = line.match(report);
    ASSERT_TRUE(m.hasMatch()) << report.toStdString();
    EXPECT_EQ(m.captured(1).toInt(), 0);
    EXPECT_TRUE(m.captured(3).contains(QStringLiteral("\t0:00:00\t0:01:23\t320x240\t")))
        << m.captured(3).toStdString();
    const double peakMb = m.captured(2).toDouble() / 1024.0;
    std::printf("peak memory of a probe through 21 MB of status lines: %.0f MB\n", peakMb);
    EXPECT_LT(peakMb, 120.0);
}

} // namespace
} // namespace mirelo
