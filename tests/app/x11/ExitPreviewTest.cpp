// Exit while the real player draws into the main window's preview: the player quits, Timer1
// stops, the window unloads and the program ends.

#include "common/MediaFixtures.h"
#include "common/TestSupport.h"

#include "app/ExitCommand.h"
#include "app/MainCommands.h"
#include "app/MainWindow.h"
#include "app/PreviewFrame.h"
#include "base/ToolLocator.h"
#include "player/PreviewPlayer.h"
#include "ui/VideoSurface.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace mirelo {
namespace {

TEST(ExitWithPreview, QuitsThePlayerStopsTheClockUnloadsAndEnds) {
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    ASSERT_FALSE(locatePlayer().isEmpty()) << "mplayer is needed for this test";
    QTemporaryDir dir;
    const QString clip = test::makeVideoClip(QDir(dir.path()), QStringLiteral("long clip.avi"), 30);

    MainWindow form({test::appDir(), dir.filePath(QStringLiteral("settings.dat")),
                     test::appDir() + QStringLiteral("/skins/frmmain.skn")});
    int ended = 0;
    ExitSteps steps = exitStepsFor(form);
    steps.endProgram = [&ended] { ++ended; };
    form.commands()->setExitSteps(steps);
    QSignalSpy unloaded(&form, &MainWindow::closing);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    PreviewPlayer& player = PreviewPlayer::shared();
    QSignalSpy started(&player, &PreviewPlayer::playerStarted);
    QSignalSpy finished(&player, &PreviewPlayer::playerFinished);
    player.start(form.preview()->videoSurface()->winId(), clip);
    form.previewClock()->start();
    ASSERT_TRUE(started.count() > 0 || started.wait(30000));
    const qint64 id = player.playerProcessId();
    ASSERT_GT(id, 0);
    ASSERT_TRUE(player.isPlayerRunning());

    form.commands()->trigger(MainCommands::Command::Exit);
    EXPECT_FALSE(form.previewClock()->isActive());
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(ended, 1);
    // The quit key ends a 30-second clip long before the staged stop's first grace is over.
    EXPECT_TRUE(finished.count() > 0 || finished.wait(PreviewPlayer::kStopGraceMs - 200));
    EXPECT_FALSE(player.isPlayerRunning());
    QTRY_VERIFY_WITH_TIMEOUT(::kill(static_cast<pid_t>(id), 0) == -1, 10000);
}

} // namespace
} // namespace mirelo
