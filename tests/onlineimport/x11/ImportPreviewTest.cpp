#include "../../tools/MediaFixtures.h"

#include "onlineimport/ui/EmbeddedStreamPlayer.h"
#include "onlineimport/ui/Formyutobe.h"
#include "tools/PreviewPlayer.h"

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

bool showsPicture(const QWidget* surface) {
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(surface->winId()).toImage();
    qint64 vivid = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            vivid += c.hsvSaturation() > 150 && c.value() > 150 ? 1 : 0;
        }
    return vivid * 4 > image.width() * image.height() / 5;
}

// The preview panel plays a stream inside the import window and the player ends with the panel.
TEST(ImportPreview, StreamPlaysInsideThePanelAndStopsWithIt) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString clip =
        test::makeClip(QDir(dir.path()), QStringLiteral("stream.avi"),
                       {"-f", "lavfi", "-i", "testsrc=d=30:s=320x240:r=25", "-c:v", "mpeg4"});
    Formyutobe window;
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
    window.LoadFLVPlayer(clip);
    ASSERT_TRUE(started.wait(30000));
    const qint64 id = player.playerProcessId();
    EXPECT_EQ(preview->file(), clip);
    EXPECT_TRUE(window.previewSurface()->toolTip().startsWith(QStringLiteral("Preview of ")));
    EXPECT_TRUE(QTest::qWaitFor([&] { return showsPicture(window.previewSurface()); }, 10000))
        << "no picture in the preview panel";

    preview.reset();
    ASSERT_TRUE(finished.count() == 1 || finished.wait(3 * PreviewPlayer::kStopGraceMs));
    EXPECT_EQ(finished.at(0).at(0).toLongLong(), id);
    EXPECT_EQ(::kill(static_cast<pid_t>(id), 0), -1);
}

} // namespace
