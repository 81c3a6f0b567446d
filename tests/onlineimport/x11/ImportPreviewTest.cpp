#include "common/MediaFixtures.h"
#include "common/VideoPixels.h"

#include "onlineimport/ui/EmbeddedStreamPlayer.h"
#include "onlineimport/ui/ImportWindow.h"
#include "player/PreviewPlayer.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace mirelo;

namespace {

// The preview panel plays a stream inside the import window and the player ends with the panel.
TEST(ImportPreview, StreamPlaysInsideThePanelAndStopsWithIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString clip =
        test::makeClip(QDir(dir.path()), QStringLiteral("stream.avi"),
                       {"-f", "lavfi", "-i", "testsrc=d=30:s=320x240:r=25", "-c:v", "mpeg4"});
    ImportWindow window;
    auto preview =
        std::make_unique<EmbeddedStreamPlayer>(PreviewPlayer::shared(), window.previewSurface());
    window.setPreviewPlayer(preview.get());
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    PreviewPlayer& player = PreviewPlayer::shared();
    QSignalSpy started(&player, &PreviewPlayer::playerStarted);
    QSignalSpy finished(&player, &PreviewPlayer::playerFinished);
    // The panel shows where "Preview" puts it; the test plays a local file instead of a stream.
    QWidget* panel = window.findChild<QWidget*>(QStringLiteral("frmPR"));
    ASSERT_NE(panel, nullptr);
    panel->move(20, 30);
    panel->show(); // at rest it is hidden
    panel->raise();
    window.playInPreview(clip);
    ASSERT_TRUE(started.wait(30000));
    const qint64 id = player.playerProcessId();
    EXPECT_EQ(preview->address(), clip);
    EXPECT_TRUE(window.previewSurface()->toolTip().startsWith(QStringLiteral("Preview of ")));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return test::showsTestPattern(window.previewSurface()); }, 10000))
        << "no picture in the preview panel";

    preview.reset();
    ASSERT_TRUE(finished.count() == 1 || finished.wait(3 * PreviewPlayer::kStopGraceMs));
    EXPECT_EQ(finished.at(0).at(0).toLongLong(), id);
    EXPECT_EQ(::kill(static_cast<pid_t>(id), 0), -1);
}

} // namespace
