#include "common/TestSupport.h"

#include "onlineimport/TestHttpServer.h"
#include "onlineimport/WatchPageFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

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
    EXPECT_EQ(r.out, expected + QLatin1Char('\n'));
    // Not a terminal: one line per percentage shown.
    EXPECT_EQ(r.err, QStringLiteral("41 %\n82 %\n100 %\n"));
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

TEST_F(ImportCliTest, ProgressOnAPipeIsOneLinePerPercent) {
    server.route(QStringLiteral("/stream22"), TestHttpServer::generatedStream(3 * 1024 * 1024 + 7));
    const test::CliResult r =
        runCli({QStringLiteral("import"), watchUrl(), QStringLiteral("--download"),
                QStringLiteral("22"), QStringLiteral("--dest"), dest.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, dest.filePath(QString::fromUtf8(test::kPageTitle) + ".mp4") + '\n');
    ASSERT_TRUE(r.err.endsWith(QStringLiteral("100 %\n"))) << r.err.toStdString();
    const QStringList lines = r.err.trimmed().split(QLatin1Char('\n'));
    EXPECT_LE(lines.size(), 101);
    int previous = -1;
    for (const QString& line : lines) {
        ASSERT_TRUE(line.endsWith(QStringLiteral(" %"))) << line.toStdString();
        bool isNumber = false;
        const int percent = line.chopped(2).toInt(&isNumber);
        ASSERT_TRUE(isNumber) << line.toStdString();
        EXPECT_GT(percent, previous) << line.toStdString();
        previous = percent;
    }
}

// A terminal for mirelo-cli's stderr; what the program wrote is read back from its other end.
class PseudoTerminal {
public:
    PseudoTerminal() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_slavePath = QString::fromLocal8Bit(::ptsname(m_master));
        // Kept open so that the output stays readable after the program has closed its side.
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~PseudoTerminal() {
        if (m_slave >= 0)
            ::close(m_slave);
        if (m_master >= 0)
            ::close(m_master);
    }
    bool ok() const { return m_slave >= 0; }
    QString slavePath() const { return m_slavePath; }
    QByteArray readAll() {
        QByteArray all;
        char buffer[4096];
        for (ssize_t n; (n = ::read(m_master, buffer, sizeof buffer)) > 0;)
            all.append(buffer, n);
        return all;
    }

private:
    int m_master = -1;
    int m_slave = -1;
    QString m_slavePath;
};

TEST_F(ImportCliTest, ProgressOnATerminalIsOneLiveLine) {
    PseudoTerminal terminal;
    ASSERT_TRUE(terminal.ok());
    server.route(QStringLiteral("/stream22"), TestHttpServer::generatedStream(3 * 1024 * 1024 + 7));
    QProcess cli;
    cli.setStandardErrorFile(terminal.slavePath());
    cli.start(QStringLiteral(MIRELO_CLI_PATH),
              {QStringLiteral("import"), watchUrl(), QStringLiteral("--download"),
               QStringLiteral("22"), QStringLiteral("--dest"), dest.path()});
    ASSERT_TRUE(cli.waitForFinished(120000));
    EXPECT_EQ(cli.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(cli.readAllStandardOutput()),
              dest.filePath(QString::fromUtf8(test::kPageTitle) + ".mp4") + '\n');
    const QByteArray shown = terminal.readAll();
    // One line, rewritten in place: the only line end is the last one (the terminal adds "\r").
    EXPECT_EQ(shown.count('\n'), 1) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("\r100 % \r\n")) << shown.toStdString();
    EXPECT_GT(shown.count('\r'), 10);
    EXPECT_LE(shown.count('\r'), 102);
}

TEST_F(ImportCliTest, DownloadsNeverReplaceAFileNorFollowALink) {
    const QString title = QString::fromUtf8(test::kPageTitle);
    QTemporaryDir outside;
    const QString victim = QDir(outside.path()).filePath(QStringLiteral("victim.txt"));
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("precious");
    }
    ASSERT_TRUE(QFile::link(victim, dest.filePath(title + ".mp4")));
    const QStringList args = {QStringLiteral("import"),     watchUrl(),
                              QStringLiteral("--download"), QStringLiteral("22"),
                              QStringLiteral("--dest"),     dest.path()};
    for (const char* expected : {" (2).mp4", " (3).mp4"}) {
        const test::CliResult r = runCli(args);
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QString saved = dest.filePath(title + QLatin1String(expected));
        EXPECT_EQ(r.out, saved + '\n');
        QFile file(saved);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray(2500, 'v'));
    }
    QFile kept(victim);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "precious");
    EXPECT_TRUE(QFileInfo(dest.filePath(title + ".mp4")).isSymLink());
}

TEST_F(ImportCliTest, OversizedPageIsRefused) {
    server.route(QStringLiteral("/huge"), TestHttpServer::generatedStream(1LL << 40));
    const QString url = server.url(QStringLiteral("/huge"));
    const test::CliResult r = runCli({QStringLiteral("import"), url}, 60000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(url)) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("8 MB"))) << r.err.toStdString();
}

TEST_F(ImportCliTest, BadPartsOfThePageAreWarnedAboutAndSkipped) {
    // "abc|..." and a bad %-escape in the thumbnail: the rest of the page still counts.
    const QString map = test::percentEncoded(
        QStringLiteral("22|") + test::percentEncoded(server.url(QStringLiteral("/stream22"))) +
        QStringLiteral(",abc|x,5|") + test::percentEncoded(server.url(QStringLiteral("/short5"))));
    QString page = test::watchPage(QStringLiteral("THUMB"), map);
    page.replace(QStringLiteral("THUMB"), QStringLiteral("http%3A%2F%2Fbad%zz"));
    server.route(QStringLiteral("/odd"), TestHttpServer::ok(page.toUtf8()));
    const test::CliResult r = runCli(
        {QStringLiteral("import"), server.url(QStringLiteral("/odd")), QStringLiteral("--json")});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonParseError parseError;
    const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8(), &parseError).object();
    ASSERT_EQ(parseError.error, QJsonParseError::NoError) << r.out.toStdString();
    EXPECT_EQ(o.value(QStringLiteral("streams")).toObject().keys(),
              (QStringList{QStringLiteral("22"), QStringLiteral("5")}));
    EXPECT_EQ(o.value(QStringLiteral("thumbnailUrl")).toString(), QString());
    EXPECT_EQ(o.value(QStringLiteral("lengthSeconds")).toString(), QStringLiteral("213"));
    EXPECT_EQ(o.value(QStringLiteral("rating")).toString(), QStringLiteral("4.5"));
    const QStringList warnings = r.err.trimmed().split(QLatin1Char('\n'));
    ASSERT_EQ(warnings.size(), 2) << r.err.toStdString();
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("mirelo-cli: warning: ")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("thumbnailUrl")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("\"abc|x\"")));
}

TEST_F(ImportCliTest, OutputNamesAreNeverHiddenNorSlicesOfThePage) {
    const QString page =
        test::watchPage(server.url(QStringLiteral("/thumb.jpg")),
                        test::streamMap({{22, server.url(QStringLiteral("/stream22"))}}));
    const QString titleLine = QStringLiteral("'VIDEO_TITLE': 'Caf\u00e9 (Live): Night/Day',\n");
    ASSERT_TRUE(page.contains(titleLine));
    struct Case {
        const char* titleLine;
        const char* savedAs;
    } cases[] = {
        {"", "tEsT_42.mp4"}, // no title marker at all
        {"'VIDEO_TITLE': '.bashrc',\n", "bashrc.mp4"},
        {"'VIDEO_TITLE': '...',\n", "tEsT_42.mp4"},
        {"'VIDEO_TITLE': '',\n", "tEsT_42.mp4"},
    };
    for (const Case& c : cases) {
        QTemporaryDir folder;
        server.route(
            QStringLiteral("/named"),
            TestHttpServer::ok(
                QString(page).replace(titleLine, QString::fromUtf8(c.titleLine)).toUtf8()));
        const test::CliResult r =
            runCli({QStringLiteral("import"), server.url(QStringLiteral("/named")),
                    QStringLiteral("--download"), QStringLiteral("22"), QStringLiteral("--dest"),
                    folder.path()});
        ASSERT_EQ(r.exitCode, 0) << c.titleLine << r.err.toStdString();
        EXPECT_EQ(r.out, folder.filePath(QString::fromUtf8(c.savedAs)) + '\n') << c.titleLine;
        EXPECT_EQ(
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{QString::fromUtf8(c.savedAs)});
    }
}

TEST_F(ImportCliTest, FullDiskIsNamedAsSuch) {
    // A 64 KB file system mounted over the destination in a private mount namespace. A stream just
    // over that size fills it in the last pieces, a larger one early.
    if (QProcess::execute(QStringLiteral("unshare"),
                          {QStringLiteral("-rm"), QStringLiteral("true")}) != 0)
        GTEST_SKIP() << "no private mount namespace here (unshare -rm)";
    for (const qint64 size : {qint64(70000), qint64(8 * 1024 * 1024)}) {
        server.route(QStringLiteral("/stream22"), TestHttpServer::generatedStream(size));
        QProcess cli;
        cli.start(QStringLiteral("unshare"),
                  {QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                   QStringLiteral("mount -t tmpfs -o size=64k mirelo-full \"$0\" && exec \"$@\""),
                   dest.path(), QStringLiteral(MIRELO_CLI_PATH), QStringLiteral("import"),
                   watchUrl(), QStringLiteral("--download"), QStringLiteral("22"),
                   QStringLiteral("--dest"), dest.path()});
        ASSERT_TRUE(cli.waitForFinished(120000));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        EXPECT_EQ(cli.exitCode(), 1) << size << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("No space left on device"))) << err.toStdString();
        EXPECT_TRUE(err.contains(dest.filePath(QString::fromUtf8(test::kPageTitle) + ".mp4")))
            << err.toStdString();
        EXPECT_TRUE(cli.readAllStandardOutput().isEmpty()) << size;
    }
}

} // namespace
} // namespace mirelo
