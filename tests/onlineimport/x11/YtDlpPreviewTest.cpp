#include "common/MediaFixtures.h"
#include "common/VideoPixels.h"

#include "onlineimport/Html5PageFixture.h"
#include "onlineimport/TestHttpServer.h"
#include "onlineimport/ui/EmbeddedStreamPlayer.h"
#include "onlineimport/ui/ImportWindow.h"
#include "player/PreviewPlayer.h"

#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace mirelo;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A page of today's kind, read by yt-dlp: "Preview" plays its best source from the server in the
// panel, with the real player.
TEST(YtDlpPreview, TheBestSourcePlaysFromTheServerInsideThePanel) {
    MIRELO_REQUIRE_YTDLP();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString clip =
        test::makeClip(QDir(dir.path()), QStringLiteral("stream.avi"),
                       {"-f", "lavfi", "-i", "testsrc=d=30:s=320x240:r=25", "-c:v", "mpeg4"});
    test::TestHttpServer server;
    test::serveHtml5Page(server);
    server.route(QStringLiteral("/big.mp4"),
                 test::TestHttpServer::ok(fileBytes(clip), "video/x-msvideo"));

    AppSettings settings(QDir(dir.path()).filePath(QStringLiteral("settings.dat")), dir.path());
    ImportWindow window;
    window.setSettings(settings);
    window.setStorageFolder(dir.path());
    auto preview =
        std::make_unique<EmbeddedStreamPlayer>(PreviewPlayer::shared(), window.previewSurface());
    window.setPreviewPlayer(preview.get());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    QSignalSpy read(&window, &ImportWindow::directLinkFinished);
    window.findChild<QLineEdit*>(QStringLiteral("pageAddress"))
        ->setText(server.url(QStringLiteral("/video.html")));
    window.findChild<QPushButton*>(QStringLiteral("getDirectLink"))->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !read.isEmpty(); }, 120000));

    PreviewPlayer& player = PreviewPlayer::shared();
    QSignalSpy started(&player, &PreviewPlayer::playerStarted);
    QSignalSpy finished(&player, &PreviewPlayer::playerFinished);
    window.findChild<QPushButton*>(QStringLiteral("previewStream"))->click();
    ASSERT_TRUE(started.wait(30000));
    const qint64 id = player.playerProcessId();
    EXPECT_EQ(preview->address(), server.url(QStringLiteral("/big.mp4")));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return test::showsTestPattern(window.previewSurface()); }, 20000))
        << "no picture in the preview panel";

    preview.reset();
    ASSERT_TRUE(finished.count() == 1 || finished.wait(3 * PreviewPlayer::kStopGraceMs));
    EXPECT_EQ(finished.at(0).at(0).toLongLong(), id);
}

} // namespace
