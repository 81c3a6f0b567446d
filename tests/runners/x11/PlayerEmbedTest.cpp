#include "common/MediaFixtures.h"
#include "common/VideoPixels.h"

#include "base/ToolLocator.h"
#include "player/PlayerKeys.h"
#include "player/PreviewPlayer.h"
#include "player/ui/PreviewControls.h"
#include "ui/VideoSurface.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

using namespace mirelo;

namespace {

constexpr int kQuitWithinMs = 8000;

// The real player embedded into a real native widget on an X display (Xvfb under ./test.sh).
class PlayerEmbed : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<QTemporaryDir>();
        const QDir dir(s_dir->path());
        for (int seconds : {12, 30}) {
            s_clips[seconds] = test::makeClip(
                dir, QStringLiteral("testsrc %1.avi").arg(seconds),
                {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                 QStringLiteral("testsrc=d=%1:s=320x240:r=25").arg(seconds), QStringLiteral("-c:v"),
                 QStringLiteral("mpeg4"), QStringLiteral("-q:v"), QStringLiteral("4")});
        }
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        ASSERT_FALSE(locatePlayer().isEmpty()) << "mplayer is needed for this test";
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        auto* video = new VideoSurface(window.get());
        video->setFixedSize(320, 240);
        w.video = video;
        layout->addWidget(video);
        for (QAbstractButton** b :
             {&w.play, &w.pause, &w.stop, &w.back, &w.forward, &w.firstFrame, &w.lastFrames}) {
            *b = new QToolButton(window.get());
            layout->addWidget(*b);
        }
        w.position = new QSlider(Qt::Horizontal, window.get());
        w.currentTime = new QLabel(window.get());
        w.totalTime = new QLabel(window.get());
        w.clock = new QTimer(window.get());
        layout->addWidget(w.position);
        controls = std::make_unique<PreviewControls>(player, w);
        // Long enough that a player ending within it was ended by its quit key, not terminated.
        player.setStopGrace(kQuitWithinMs);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        started = std::make_unique<QSignalSpy>(&player, &PreviewPlayer::playerStarted);
        finished = std::make_unique<QSignalSpy>(&player, &PreviewPlayer::playerFinished);
    }
    void TearDown() override {
        controls.reset();
        player.shutDown();
        window.reset();
        for (qint64 id : ids)
            EXPECT_EQ(::kill(static_cast<pid_t>(id), 0), -1) << "player " << id << " is left";
    }

    void play(int seconds) {
        controls->setPlaySource([seconds] {
            return PlayItem{s_clips[seconds], QStringLiteral("0:00:%1").arg(seconds)};
        });
        click(w.play);
    }
    void click(QAbstractButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
    // Waits for the next player to run and returns its id.
    qint64 nextPlayer() {
        const qsizetype before = started->count();
        EXPECT_TRUE(QTest::qWaitFor([&] { return started->count() > before; }, 30000));
        const qint64 id = player.playerProcessId();
        ids.push_back(id);
        return id;
    }
    bool hasEnded(qint64 id, int withinMs) {
        return QTest::qWaitFor(
            [&] {
                for (const QList<QVariant>& args : *finished) {
                    if (args.at(0).toLongLong() == id)
                        return true;
                }
                return false;
            },
            withinMs);
    }
    QImage grabVideo() const {
        return QGuiApplication::primaryScreen()->grabWindow(w.video->winId()).toImage();
    }
    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline std::map<int, QString> s_clips;
    PreviewPlayer player;
    std::unique_ptr<QWidget> window;
    PreviewWidgets w;
    std::unique_ptr<PreviewControls> controls;
    std::unique_ptr<QSignalSpy> started;
    std::unique_ptr<QSignalSpy> finished;
    std::vector<qint64> ids;
};

TEST_F(PlayerEmbed, VideoIsDrawnIntoTheWidgetAndPauseFreezesIt) {
    EXPECT_LT(test::vividShare(grabVideo()), 0.01) << "the empty surface shows no test pattern";
    play(30);
    const qint64 id = nextPlayer();
    EXPECT_FALSE(player.playerArguments().contains(QStringLiteral("-priority")) &&
                 player.playerCommandLine().isEmpty());
    EXPECT_TRUE(
        player.playerCommandLine().contains(QStringLiteral(" -wid %1 ").arg(w.video->winId())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return test::vividShare(grabVideo()) > 0.2; }, 10000))
        << "no video in the widget";
    const QImage a = grabVideo();
    QTest::qWait(700);
    EXPECT_NE(grabVideo(), a) << "the picture moves while playing";

    click(w.pause);
    EXPECT_FALSE(w.clock->isActive());
    // The player takes the key at its next frame; a loaded machine can make that a while.
    // Paused means the picture stays the same over several grabs: a single equal pair can also be
    // a player stalled for a moment on a busy machine.
    QImage paused = grabVideo();
    int stillGrabs = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QTest::qWait(500);
            const QImage before = std::exchange(paused, grabVideo());
            stillGrabs = before == paused ? stillGrabs + 1 : 0;
            return stillGrabs >= 4;
        },
        15000))
        << "the picture does not stand still while paused";
    click(w.pause);
    EXPECT_TRUE(w.clock->isActive());
    QTest::qWait(800);
    EXPECT_NE(grabVideo(), paused) << "the picture moves again after the second pause";
    EXPECT_TRUE(player.isPlayerRunning());
    EXPECT_EQ(player.playerProcessId(), id);
}

TEST_F(PlayerEmbed, ForwardAndBackSeekInThePlayer) {
    auto showsVideo = [&] {
        return QTest::qWaitFor([&] { return test::vividShare(grabVideo()) > 0.2; }, 10000);
    };
    // 12 s: one step forward lands near the end and the player ends within a few seconds.
    play(12);
    const qint64 forwardOnly = nextPlayer();
    ASSERT_TRUE(showsVideo());
    click(w.forward);
    EXPECT_TRUE(hasEnded(forwardOnly, 8000)) << "Forward did not seek";

    // Forward then Back: back near the start, the player still runs well after that time.
    play(12);
    const qint64 forwardBack = nextPlayer();
    ASSERT_TRUE(showsVideo());
    click(w.forward);
    QTest::qWait(400);
    click(w.back);
    EXPECT_FALSE(hasEnded(forwardBack, 4000)) << "Back did not seek";
    EXPECT_TRUE(player.isPlayerRunning());
}

TEST_F(PlayerEmbed, RestartsQuitThePreviousPlayer) {
    // A player reads its keys only once it plays; one still starting ends by the staged stop.
    const int stopped = kQuitWithinMs;
    auto showsVideo = [&] {
        return QTest::qWaitFor([&] { return test::vividShare(grabVideo()) > 0.2; }, 10000);
    };
    play(30);
    const qint64 first = nextPlayer();
    ASSERT_TRUE(showsVideo());
    play(30); // Play while a preview runs
    const qint64 second = nextPlayer();
    EXPECT_NE(second, first);
    EXPECT_TRUE(hasEnded(first, stopped));

    ASSERT_TRUE(showsVideo());
    click(w.firstFrame);
    const qint64 third = nextPlayer();
    EXPECT_TRUE(hasEnded(second, stopped));
    EXPECT_FALSE(player.playerCommandLine().contains(QLatin1String(" -ss ")));

    ASSERT_TRUE(showsVideo());
    w.position->setValue(50);
    QTest::mouseRelease(w.position, Qt::LeftButton);
    const qint64 fourth = nextPlayer();
    EXPECT_TRUE(player.playerCommandLine().contains(QLatin1String(" -ss 15 ")));
    EXPECT_TRUE(hasEnded(third, stopped));
    EXPECT_EQ(player.runningPlayerCount(), 1);
    ASSERT_TRUE(showsVideo());

    // The quit key through the key sender ends the player well before any terminate.
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(PlayerKeys::send(player, PlayerKeys::KeyQuit));
    EXPECT_TRUE(hasEnded(fourth, kQuitWithinMs - 500));
    EXPECT_LT(clock.elapsed(), kQuitWithinMs);
    EXPECT_EQ(player.runningPlayerCount(), 0);
    EXPECT_FALSE(PlayerKeys::send(player, PlayerKeys::KeyPause)) << "nothing to send to";
    EXPECT_EQ(player.playerProcessId(), fourth);
}

TEST_F(PlayerEmbed, StopAllLeavesNoPlayer) {
    play(30);
    const qint64 id = nextPlayer();
    click(w.pause); // a paused player quits too
    QTest::qWait(300);
    player.stopAll();
    EXPECT_TRUE(hasEnded(id, kQuitWithinMs));
    EXPECT_EQ(player.runningPlayerCount(), 0);
}

} // namespace
