#include "common/TestSupport.h"

#include "onlineimport/Html5PageFixture.h"
#include "onlineimport/TestHttpServer.h"
#include "onlineimport/WatchPageFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

namespace mirelo {
namespace {

using test::runCli;
using test::TestHttpServer;

class YtDlpCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::serveHtml5Page(server);
        server.route(
            QStringLiteral("/watch"),
            TestHttpServer::ok(
                test::watchPage(server.url(QStringLiteral("/thumb.jpg")),
                                test::streamMap({{22, server.url(QStringLiteral("/stream22"))}}))
                    .toUtf8()));
        server.route(QStringLiteral("/stream22"), TestHttpServer::ok(QByteArray(2500, 'v')));
    }
    QString pageUrl() const { return server.url(QStringLiteral("/video.html")); }

    static QJsonObject json(const test::CliResult& r) {
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8(), &error).object();
        EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
        return o;
    }

    TestHttpServer server;
    QTemporaryDir dest;
};

TEST_F(YtDlpCliTest, EachPageSaysWhichReaderServedIt) {
    const test::CliResult classic = runCli(
        {QStringLiteral("import"), server.url(QStringLiteral("/watch")), QStringLiteral("--json")});
    ASSERT_EQ(classic.exitCode, 0) << classic.err.toStdString();
    EXPECT_EQ(json(classic).value(QStringLiteral("backend")).toString(), QStringLiteral("classic"));
    EXPECT_EQ(json(classic).value(QStringLiteral("title")).toString(),
              QString::fromUtf8(test::kPageTitle));

    MIRELO_REQUIRE_YTDLP();
    const test::CliResult r =
        runCli({QStringLiteral("import"), pageUrl(), QStringLiteral("--json")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject o = json(r);
    EXPECT_EQ(o.value(QStringLiteral("backend")).toString(), QStringLiteral("yt-dlp"));
    EXPECT_FALSE(o.value(QStringLiteral("ytdlpVersion")).toString().isEmpty());
    EXPECT_TRUE(
        o.value(QStringLiteral("title")).toString().startsWith(QLatin1String(test::kHtml5Title)));
    EXPECT_EQ(o.value(QStringLiteral("description")).toString(),
              QLatin1String(test::kHtml5Description));
    EXPECT_EQ(o.value(QStringLiteral("thumbnailUrl")).toString(),
              server.url(QStringLiteral("/poster.jpg")));
    const QJsonObject streams = o.value(QStringLiteral("streams")).toObject();
    EXPECT_EQ(streams.keys(), (QStringList{"22", "34", "35", "5"}));
    EXPECT_EQ(streams.value(QStringLiteral("35")).toString(),
              server.url(QStringLiteral("/big.mp4")));
    EXPECT_EQ(streams.value(QStringLiteral("5")).toString(),
              server.url(QStringLiteral("/small.mp4")));

    // The plain form names the reader too.
    const test::CliResult plain = runCli({QStringLiteral("import"), pageUrl()});
    ASSERT_EQ(plain.exitCode, 0) << plain.err.toStdString();
    EXPECT_TRUE(plain.out.contains(QStringLiteral("backend: yt-dlp "))) << plain.out.toStdString();
}

TEST_F(YtDlpCliTest, DownloadsWithATruePercentage) {
    MIRELO_REQUIRE_YTDLP();
    for (const auto& [code, bytes] :
         {std::pair{"35", test::bigSource()}, std::pair{"5", test::smallSource()}}) {
        QTemporaryDir folder;
        const test::CliResult r =
            runCli({QStringLiteral("import"), pageUrl(), QStringLiteral("--download"),
                    QLatin1String(code), QStringLiteral("--dest"), folder.path()});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList files =
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        ASSERT_EQ(files.size(), 1) << files.join(' ').toStdString();
        EXPECT_TRUE(files[0].startsWith(QLatin1String(test::kHtml5Title)) &&
                    files[0].endsWith(".mp4"))
            << files[0].toStdString();
        EXPECT_EQ(r.out, folder.filePath(files[0]) + '\n');
        QFile file(folder.filePath(files[0]));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), bytes) << code;
        // Not a terminal: whole percentages, one a line, ending at 100.
        EXPECT_TRUE(r.err.endsWith(QStringLiteral("100 %\n"))) << r.err.toStdString();
        for (const QString& line : r.err.trimmed().split('\n'))
            EXPECT_TRUE(line.endsWith(QStringLiteral(" %"))) << line.toStdString();
    }
}

// Either reader's download: a classic page's stream and the one yt-dlp fetches.
TEST_F(YtDlpCliTest, InterruptStopsTheDownloadAndLeavesNothing) {
    const auto stalled = TestHttpServer::stalledStream(50 * 1024 * 1024, 2 * 1024 * 1024);
    server.route(QStringLiteral("/big.mp4"), stalled);
    server.route(QStringLiteral("/stream22"), stalled);
    const struct {
        QString page;
        const char* stream;
        bool ytDlp;
    } cases[] = {
        {server.url(QStringLiteral("/watch")), "22", false},
        {pageUrl(), "35", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stream);
        if (c.ytDlp && !test::ytDlpInstalled())
            continue;
        QProcess cli;
        cli.start(QStringLiteral(MIRELO_CLI_PATH),
                  {QStringLiteral("import"), c.page, QStringLiteral("--download"),
                   QLatin1String(c.stream), QStringLiteral("--dest"), dest.path()});
        cli.setReadChannel(QProcess::StandardError);
        QByteArray err;
        while (!err.contains(" %\n") && cli.waitForReadyRead(60000))
            err += cli.readAllStandardError();
        ASSERT_TRUE(err.contains(" %\n")) << err.toStdString();
        ::kill(pid_t(cli.processId()), SIGINT);
        ASSERT_TRUE(cli.waitForFinished(20000));
        EXPECT_EQ(cli.exitCode(), 130) << cli.readAllStandardError().toStdString();
        EXPECT_TRUE(cli.readAllStandardOutput().isEmpty());
        EXPECT_TRUE(QDir(dest.path())
                        .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                        .isEmpty());
    }
}

TEST_F(YtDlpCliTest, WithoutYtDlpThePageSaysHowToGetIt) {
    QTemporaryDir empty;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"), empty.path());
    const test::CliResult r = test::runCliIn(env, {QStringLiteral("import"), pageUrl()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("yt-dlp was not found"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("sudo apt install yt-dlp"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty());
    // The classic page needs no yt-dlp.
    const test::CliResult classic =
        test::runCliIn(env, {QStringLiteral("import"), server.url(QStringLiteral("/watch"))});
    EXPECT_EQ(classic.exitCode, 0) << classic.err.toStdString();
}

} // namespace
} // namespace mirelo
