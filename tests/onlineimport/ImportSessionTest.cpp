#include "onlineimport/ImportSession.h"
#include "settings/AppSettings.h"

#include "onlineimport/Html5PageFixture.h"
#include "onlineimport/TestHttpServer.h"
#include "onlineimport/TestWait.h"
#include "onlineimport/WatchPageFixture.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace mirelo {
namespace {

using State = ImportSession::State;
using test::TestHttpServer;

// When a case cancels: once the server was asked for the page (the fetch, or yt-dlp's own
// request after it), or once a download has written something.
enum class CancelAt { Never, Fetching, YtDlpReading, Downloading };

class ImportSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        routePage(QStringLiteral("/watch"), {{22, url("/stream")}, {5, url("/short")}});
        routePage(QStringLiteral("/watch22"), {{22, url("/stream")}});
        routePage(QStringLiteral("/stalling"), {{22, url("/stall")}});
        server.route(QStringLiteral("/stream"), TestHttpServer::ok(QByteArray(2500, 'v')));
        server.route(QStringLiteral("/short"),
                     TestHttpServer::announcing(QByteArray(10, 's'), 900));
        server.route(QStringLiteral("/stall"),
                     TestHttpServer::stalledStream(50 * 1024 * 1024, 1024 * 1024));
        server.route(QStringLiteral("/hang"), TestHttpServer::hanging());
        test::serveHtml5Page(server);
        server.route(QStringLiteral("/slow.html"), TestHttpServer::ok(test::html5Page()));
    }
    void routePage(const QString& path, std::initializer_list<std::pair<int, QString>> streams) {
        server.route(path,
                     TestHttpServer::ok(
                         test::watchPage(url("/thumb.jpg"), test::streamMap(streams)).toUtf8()));
    }
    QString url(const char* path) const { return server.url(QLatin1String(path)); }

    TestHttpServer server;
    QTemporaryDir settingsFolder;
};

// However a read or a download ends, the session is ready for the next read, even one started
// from the end's own signal; that read replaces the page and its streams entirely.
TEST_F(ImportSessionTest, EachEndLeavesTheSessionReadyForTheNextRead) {
    using enum State;
    const struct {
        const char* name;
        QString url;
        int download; // the stream downloaded once the page is read; 0: none
        CancelAt cancelAt;
        QList<State> states;
        const char* errorHolds;
        bool missingYtDlp = false;
    } cases[] = {
        // clang-format off
        {"fetch cancelled", url("/hang"), 0, CancelAt::Fetching, {Reading, Cancelled}, ""},
        {"fetch failed", url("/nothing"), 0, CancelAt::Never, {Reading, Failed}, "404"},
        {"not fetchable", QStringLiteral("ftp://127.0.0.1/watch"), 0, CancelAt::Never,
         {Reading, Failed}, "ftp://127.0.0.1/watch"},
        {"yt-dlp missing", url("/video.html"), 0, CancelAt::Never, {Reading, Failed},
         "missing-yt-dlp", true},
        {"yt-dlp cancelled", url("/slow.html"), 0, CancelAt::YtDlpReading, {Reading, Cancelled}, ""},
        {"downloaded", url("/watch"), 22, CancelAt::Never, {Reading, Read, Downloading, Done}, ""},
        {"download cut short", url("/watch"), 5, CancelAt::Never,
         {Reading, Read, Downloading, Failed}, "10 of the 900"},
        {"download cancelled", url("/stalling"), 22, CancelAt::Downloading,
         {Reading, Read, Downloading, Cancelled}, ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.cancelAt == CancelAt::YtDlpReading && !test::ytDlpInstalled())
            continue;
        QTemporaryDir folder;
        AppSettings settings(settingsFolder.filePath(QStringLiteral("settings.dat")),
                             settingsFolder.path());
        ASSERT_TRUE(settings.setYtdlpProgram(
            c.missingYtDlp ? settingsFolder.filePath(QStringLiteral("missing-yt-dlp"))
                           : QString()));
        ImportSession session(settings);
        EXPECT_EQ(session.download(22, folder.path()), ImportSession::Refusal::NoPage);
        const qsizetype ends = c.download ? 2 : 1;
        QList<State> states;
        QList<ImportSession::Outcome> outcomes;
        int progress = 0;
        bool pageKept = false;
        QObject::connect(&session, &ImportSession::stateChanged, [&](State s) { states += s; });
        QObject::connect(&session, &ImportSession::downloadProgress, [&] { ++progress; });
        QObject::connect(&session, &ImportSession::readerChosen, [&](PageReader reader) {
            if (reader == PageReader::YtDlp && c.cancelAt == CancelAt::YtDlpReading)
                server.route(QStringLiteral("/slow.html"), TestHttpServer::hanging());
        });
        QObject::connect(&session, &ImportSession::finished, [&](const auto& outcome) {
            outcomes += outcome;
            if (outcomes.size() == 1 && c.download) {
                EXPECT_EQ(session.download(c.download, folder.path()),
                          ImportSession::Refusal::None);
            } else if (outcomes.size() == ends) {
                pageKept = session.hasPage();
                EXPECT_TRUE(session.read(url("/watch22"))) << session.errorString().toStdString();
            }
        });

        ASSERT_TRUE(session.read(c.url));
        EXPECT_TRUE(outcomes.isEmpty()) << "the end comes from the event loop";
        EXPECT_FALSE(session.read(c.url)) << "one thing at a time";
        EXPECT_EQ(session.download(22, folder.path()), ImportSession::Refusal::Busy);
        const QString path = QUrl(c.url).path();
        const auto cancelNow = [&] {
            switch (c.cancelAt) {
            case CancelAt::Fetching:
                return server.requests().count(path) >= 1;
            case CancelAt::YtDlpReading:
                return server.requests().count(path) >= 2;
            case CancelAt::Downloading:
                return progress > 0;
            case CancelAt::Never:
                break;
            }
            return false;
        };
        if (c.cancelAt != CancelAt::Never) {
            ASSERT_TRUE(test::runUntil(cancelNow, 120000));
            session.cancel();
        }
        ASSERT_TRUE(test::runUntil([&] { return outcomes.size() == ends + 1; }, 120000));
        EXPECT_EQ(states, c.states + QList<State>({Reading, Read}));
        EXPECT_EQ(outcomes[ends - 1].end, c.states.last());
        EXPECT_TRUE(outcomes[ends - 1].error.contains(QLatin1String(c.errorHolds)))
            << outcomes[ends - 1].error.toStdString();
        EXPECT_EQ(pageKept, c.download != 0) << "a read that did not end well leaves no page";
        const QString saved = QString::fromUtf8(test::kPageTitle) + QStringLiteral(".mp4");
        EXPECT_EQ(
            QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            c.states.last() == Done ? QStringList{saved} : QStringList{});
        EXPECT_EQ(session.page().offeredCodes(), QList<int>{22});
        EXPECT_EQ(session.page().info.title, QString::fromUtf8(test::kPageTitle));
        EXPECT_EQ(session.download(5, folder.path()), ImportSession::Refusal::NoStream);
    }
}

} // namespace
} // namespace mirelo
