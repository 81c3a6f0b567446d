#include "common/MediaFixtures.h"
#include "common/VideoPixels.h"

#include "app/MainWindow.h"
#include "app/PreviewFrame.h"
#include "player/PreviewPlayer.h"
#include "settings/AppPaths.h"
#include "sourcelist/SourceListModel.h"
#include "sourcelist/ui/SourceListView.h"
#include "ui/VideoSurface.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <csignal>

using namespace mirelo;

namespace {

// The main window shown, with a 30-second clip listed, probed and selected.
class MainWindowPreview : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    void showWithAListedClip(MainWindow& window) {
        const QString clip =
            test::makeClip(QDir(dir.path()), QStringLiteral("main window.avi"),
                           {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                            QStringLiteral("testsrc=d=30:s=320x240:r=25"), QStringLiteral("-c:v"),
                            QStringLiteral("mpeg4")});
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        QSignalSpy probed(window.sourceListModel(), &SourceListModel::rowProbed);
        window.sourceListModel()->addMediaFile(clip);
        ASSERT_TRUE(probed.count() == 1 || probed.wait(30000));
        SourceListView* list = window.sourceList();
        list->setCurrentIndex(list->model()->index(0, 0));
    }

    QTemporaryDir dir;
};

// The desktop program's own window: a listed file plays inside its preview area, and closing the
// window leaves no player behind.
TEST_F(MainWindowPreview, SelectedRowPlaysInsideTheWindowUntilItCloses) {
    MainWindow window(AppPaths::inFolder(dir.path()));
    ASSERT_NO_FATAL_FAILURE(showWithAListedClip(window));

    PreviewPlayer& player = PreviewPlayer::shared();
    QSignalSpy started(&player, &PreviewPlayer::playerStarted);
    QSignalSpy finished(&player, &PreviewPlayer::playerFinished);
    Q_EMIT window.playRequested();
    ASSERT_TRUE(started.wait(30000));
    const qint64 id = player.playerProcessId();
    const QWidget* video = window.preview()->videoSurface();
    EXPECT_TRUE(QTest::qWaitFor([&] { return test::showsTestPattern(video); }, 10000))
        << "no video inside the preview area";
    EXPECT_EQ(window.preview()->totalTimeLabel()->text(), QStringLiteral("Total time:0:00:30"));

    window.close();
    ASSERT_TRUE(finished.count() == 1 || finished.wait(3 * PreviewPlayer::kStopGraceMs));
    EXPECT_EQ(finished.at(0).at(0).toLongLong(), id);
    EXPECT_EQ(player.runningPlayerCount(), 0);
    EXPECT_EQ(::kill(static_cast<pid_t>(id), 0), -1);
}

// Stop returns the preview to its idle state at once: the player's last frame goes, the slider
// and the clock go back to the start.
TEST_F(MainWindowPreview, StopClearsThePictureTheSliderAndTheClock) {
    MainWindow window(AppPaths::inFolder(dir.path()));
    ASSERT_NO_FATAL_FAILURE(showWithAListedClip(window));

    PreviewPlayer& player = PreviewPlayer::shared();
    QSignalSpy started(&player, &PreviewPlayer::playerStarted);
    Q_EMIT window.playRequested();
    ASSERT_TRUE(started.wait(30000));
    const QWidget* video = window.preview()->videoSurface();
    ASSERT_TRUE(QTest::qWaitFor([&] { return test::showsTestPattern(video); }, 10000));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return window.preview()->currentTimeLabel()->text() != QStringLiteral("0:00:00"); },
        5000));

    QTest::mouseClick(window.preview()->stopButton(), Qt::LeftButton);
    EXPECT_EQ(window.preview()->positionSlider()->value(), 0);
    EXPECT_EQ(window.preview()->currentTimeLabel()->text(), QStringLiteral("0:00:00"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !test::showsTestPattern(video); }, 5000))
        << "the last frame stays in the preview area";
    window.close();
}

} // namespace
