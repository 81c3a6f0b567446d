#include "common/TestSupport.h"

#include "onlineimport/TestHttpServer.h"
#include "onlineimport/WatchPageFixture.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace mirelo {
namespace {

using test::runCli;
using test::TestHttpServer;

class ImportCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString map = test::streamMap({{22, server.url(QStringLiteral("/stream22"))},
                                             {5, server.url(QStringLiteral("/short5"))}});
        server.route(QStringLiteral("/watch"),
                     TestHttpServer::ok(
                         test::watchPage(server.url(QStringLiteral("/thumb.jpg")), map).toUtf8()));
        server.route(QStringLiteral("/stream22"), TestHttpServer::ok(QByteArray(2500, 'v')));
        server.route(QStringLiteral("/short5"),
                     TestHttpServer::announcing(QByteArray(100, 'f'), 5000));
    }
    QString watchUrl() const { return server.url(QStringLiteral("/watch")); }

    TestHttpServer server;
    QTemporaryDir dest;
};

TEST_F(ImportCliTest, PrintsThePageAsJson) {
    const test::CliResult r =
        runCli({QStringLiteral("import"), watchUrl(), QStringLiteral("--json")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
    EXPECT_EQ(o.value(QStringLiteral("title")).toString(), QString::fromUtf8(test::kPageTitle));
    EXPECT_EQ(o.value(QStringLiteral("videoId")).toString(), QStringLiteral("tEsT_42"));
    EXPECT_EQ(o.value(QStringLiteral("lengthSeconds")).toString(), QStringLiteral("213"));
    EXPECT_EQ(o.value(QStringLiteral("thumbnailUrl")).toString(),
              server.url(QStringLiteral("/thumb.jpg")));
    const QJsonObject streams = o.value(QStringLiteral("streams")).toObject();
    EXPECT_EQ(streams.keys(), (QStringList{QStringLiteral("22"), QStringLiteral("5")}));
    EXPECT_EQ(streams.value(QStringLiteral("22")).toString(),
              server.url(QStringLiteral("/stream22")));
}

TEST_F(ImportCliTest, DownloadsAStreamUnderTheTitle) {
    const test::CliResult r =
        runCli({QStringLiteral("import"), watchUrl(), QStringLiteral("--download"),
                QStringLiteral("22"), QStringLiteral("--dest"), dest.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString expected = dest.filePath(QString::fromUtf8(test::kPageTitle) + ".mp4");
    EXPECT_EQ(r.out.trimmed(), expected);
    EXPECT_TRUE(r.err.contains(QStringLiteral("41 % ")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("100 % ")));
    QFile file(expected);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray(2500, 'v'));
}

TEST_F(ImportCliTest, ExitCodes) {
    struct Case {
        QStringList args;
        int exitCode;
        const char* errHolds;
    } cases[] = {
        {{watchUrl(), "--download", "5", "--dest", dest.path()}, 1, "100 of the 5000"},
        {{watchUrl(), "--download", "34"}, 2, "no stream 34"},
        {{watchUrl(), "--download", "7"}, 2, "22, 34, 35 or 5"},
        {{}, 2, "address"},
        {{server.url("/nothing")}, 1, "404"},
        {{QStringLiteral("http://127.0.0.1:%1/w").arg(TestHttpServer::closedPort())}, 1, "12029"},
        {{QStringLiteral("ftp://127.0.0.1/w")}, 1, "ftp://127.0.0.1/w"},
    };
    for (const Case& c : cases) {
        const test::CliResult r = runCli(QStringList{QStringLiteral("import")} + c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QLatin1String(c.errHolds))) << r.err.toStdString();
    }
    EXPECT_TRUE(QDir(dest.path()).isEmpty());
}

} // namespace
} // namespace mirelo
