#include "player/ui/PreviewControls.h"
#include "player/PreviewPlayer.h"

#include <QLabel>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>

using namespace mirelo;

namespace {

// One preview's widgets on the offscreen platform. The player gets no display, so whatever it
// starts ends on its own; these tests are about the clock, the slider and the labels.
class PreviewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_display = qgetenv("DISPLAY");
        qunsetenv("DISPLAY");
        host = std::make_unique<QWidget>();
        w.video = new QWidget(host.get());
        w.video->resize(245, 157);
        for (QAbstractButton** b :
             {&w.play, &w.pause, &w.stop, &w.back, &w.forward, &w.firstFrame, &w.lastFrames})
            *b = new QToolButton(host.get());
        w.position = new QSlider(Qt::Horizontal, host.get());
        w.position->resize(200, 20);
        w.currentTime = new QLabel(QStringLiteral("0:00:00"), host.get());
        w.totalTime = new QLabel(QStringLiteral("Total time: 0:00:00"), host.get());
        w.clock = new QTimer(host.get());
        controls = std::make_unique<PreviewControls>(player, w);
        controls->setPlaySource([this] { return item; });
    }
    void TearDown() override {
        controls.reset();
        host.reset();
        if (!m_display.isEmpty())
            qputenv("DISPLAY", m_display);
    }

    void playFile(const QString& videoTime) {
        item = PlayItem{QStringLiteral("/media/clip one.avi"), videoTime};
        QTest::mouseClick(w.play, Qt::LeftButton);
    }
    PreviewTransport& transport() { return controls->transport(); }
    void releaseSliderAt(int value) {
        w.position->setValue(value);
        QTest::mouseRelease(w.position, Qt::LeftButton);
    }

    QByteArray m_display;
    PreviewPlayer player;
    std::unique_ptr<QWidget> host;
    PreviewWidgets w;
    std::unique_ptr<PreviewControls> controls;
    std::optional<PlayItem> item;
};

TEST_F(PreviewFixture, PlayWithNothingToPlayDoesNothing) {
    QTest::mouseClick(w.play, Qt::LeftButton);
    EXPECT_TRUE(player.playerCommandLine().isEmpty());
    EXPECT_FALSE(w.clock->isActive());
    EXPECT_EQ(w.totalTime->text(), QStringLiteral("Total time: 0:00:00"));
}

TEST_F(PreviewFixture, PlaySetsLengthLabelAndClock) {
    player.setPlayPosition(17);
    playFile(QStringLiteral("0:01:23"));
    EXPECT_EQ(w.totalTime->text(), QStringLiteral("Total time:0:01:23"));
    EXPECT_EQ(player.playLength(), 83);
    EXPECT_EQ(player.playPosition(), 0);
    EXPECT_TRUE(w.clock->isActive());
    EXPECT_EQ(w.clock->interval(), 1000);
    EXPECT_EQ(transport().currentFile(), QStringLiteral("/media/clip one.avi"));
    const QString wid = QString::number(w.video->winId());
    EXPECT_TRUE(
        player.playerCommandLine().contains(QStringLiteral(" -wid ") + wid + QLatin1Char(' ')));
    EXPECT_FALSE(player.playerCommandLine().contains(QLatin1String(" -ss ")));

    // A row whose "Video Time" is not a time keeps the previous length.
    playFile(QStringLiteral("unknown"));
    EXPECT_EQ(player.playLength(), 83);
    EXPECT_EQ(w.totalTime->text(), QStringLiteral("Total time:unknown"));
}

TEST_F(PreviewFixture, ClockTicksMoveSliderAndLabelAndStopAtTheEnd) {
    const struct {
        const char* name;
        const char* videoTime;
        int startPosition;
        int ticks;
        int slider; // expected slider value (it starts at 7)
        const char* label;
        bool running;
    } cases[] = {
        {"zero length: slider untouched, one tick", "0:00:00", 0, 1, 7, "0:00:01", false},
        {"half way of 100 s", "0:01:40", 49, 1, 50, "0:00:50", true},
        {"rounds to the nearest percent", "0:00:30", 0, 1, 3, "0:00:01", true},
        {"reaching the length stops the clock", "0:00:03", 0, 3, 100, "0:00:03", false},
        {"over an hour", "1:00:00", 1799, 1, 50, "0:30:00", true},
    };
    for (const auto& c : cases) {
        w.position->setValue(7);
        playFile(QLatin1String(c.videoTime));
        player.setPlayPosition(c.startPosition);
        for (int i = 0; i < c.ticks && w.clock->isActive(); ++i)
            transport().tick();
        EXPECT_EQ(w.position->value(), c.slider) << c.name;
        EXPECT_EQ(w.currentTime->text(), QLatin1String(c.label)) << c.name;
        EXPECT_EQ(w.clock->isActive(), c.running) << c.name;
    }
}

TEST_F(PreviewFixture, TheTimerDrivesTheClock) {
    playFile(QStringLiteral("0:00:02"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.clock->isActive(); }, 5000));
    EXPECT_EQ(player.playPosition(), 2);
    EXPECT_EQ(w.position->value(), 100);
    EXPECT_EQ(w.currentTime->text(), QStringLiteral("0:00:02"));
}

TEST_F(PreviewFixture, SliderReleaseRestartsAtThePositionOrStopsAtTheEnd) {
    const struct {
        const char* name;
        int value;
        bool clockBefore;
        const char* label;
        const char* offset; // in the new command line; null: no restart
        bool clockAfter;
    } cases[] = {
        {"middle of 100 s", 50, true, "0:00:50", " -ss 50 ", true},
        {"a stopped clock stays stopped", 25, false, "0:00:25", " -ss 25 ", false},
        {"start of the file", 0, true, "0:00:00", " -ss 0 ", true},
        {"the end stops the clock, no restart", 100, true, "0:01:40", nullptr, false},
    };
    for (const auto& c : cases) {
        playFile(QStringLiteral("0:01:40"));
        if (!c.clockBefore)
            transport().stopClock();
        const QString before = player.playerCommandLine();
        releaseSliderAt(c.value);
        EXPECT_EQ(w.currentTime->text(), QLatin1String(c.label)) << c.name;
        EXPECT_EQ(player.playPosition(), c.value) << c.name; // 100 s: percent = seconds
        if (c.offset) {
            EXPECT_TRUE(player.playerCommandLine().contains(QLatin1String(c.offset)))
                << c.name << ": " << player.playerCommandLine().toStdString();
        } else {
            EXPECT_EQ(player.playerCommandLine(), before) << c.name;
        }
        EXPECT_EQ(w.clock->isActive(), c.clockAfter) << c.name;
    }
    // Rounding of the position: 7% of 30 s is 2.1 s.
    playFile(QStringLiteral("0:00:30"));
    releaseSliderAt(7);
    EXPECT_EQ(player.playPosition(), 2);
    EXPECT_TRUE(player.playerCommandLine().contains(QLatin1String(" -ss 2 ")));
}

TEST_F(PreviewFixture, PauseStopFirstAndLastFrames) {
    playFile(QStringLiteral("0:01:23"));
    transport().tick();
    transport().tick();
    QTest::mouseClick(w.pause, Qt::LeftButton);
    EXPECT_FALSE(w.clock->isActive());
    QTest::mouseClick(w.pause, Qt::LeftButton);
    EXPECT_TRUE(w.clock->isActive()) << "pausing twice resumes";
    transport().tick();
    EXPECT_EQ(w.currentTime->text(), QStringLiteral("0:00:03")) << "the clock continues";

    QTest::mouseClick(w.back, Qt::LeftButton);
    QTest::mouseClick(w.forward, Qt::LeftButton);
    EXPECT_EQ(player.playPosition(), 3) << "seeking does not move the clock";

    w.position->setValue(60);
    QTest::mouseClick(w.stop, Qt::LeftButton);
    EXPECT_EQ(w.currentTime->text(), QStringLiteral("0:00:00")) << "Stop returns to idle";
    EXPECT_EQ(w.position->value(), 0);
    EXPECT_EQ(player.playPosition(), 0);
    EXPECT_FALSE(w.clock->isActive());

    QTest::mouseClick(w.lastFrames, Qt::LeftButton);
    EXPECT_TRUE(player.playerCommandLine().contains(QLatin1String(" -ss 83 ")));
    EXPECT_EQ(player.playPosition(), 83);
    EXPECT_TRUE(w.clock->isActive());
    transport().tick();
    EXPECT_EQ(w.position->value(), 100);
    EXPECT_FALSE(w.clock->isActive());

    QTest::mouseClick(w.firstFrame, Qt::LeftButton);
    EXPECT_FALSE(player.playerCommandLine().contains(QLatin1String(" -ss ")));
    EXPECT_TRUE(player.playerCommandLine().endsWith(QLatin1String("\"/media/clip one.avi\"")));
    EXPECT_EQ(player.playPosition(), 0);
    EXPECT_EQ(player.playLength(), 83);
    EXPECT_EQ(w.totalTime->text(), QStringLiteral("Total time:0:01:23"));
    EXPECT_TRUE(w.clock->isActive());
}

TEST_F(PreviewFixture, AnotherPreviewTakingThePlayerStopsThisClock) {
    playFile(QStringLiteral("0:01:00"));
    ASSERT_TRUE(w.clock->isActive());
    PreviewTransport other(player);
    other.setVideoWindow([] { return quint64{777}; });
    other.play(QStringLiteral("/media/other.avi"), QStringLiteral("0:00:10"));
    EXPECT_FALSE(w.clock->isActive());
    EXPECT_TRUE(other.isClockRunning());
}

// A click on the slider's groove seeks to where it lands; the keys keep their 5% steps.
TEST_F(PreviewFixture, AClickOnTheSliderSeeksWhereItLands) {
    host->resize(400, 60);
    w.position->setGeometry(10, 10, 300, 24);
    host->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
    for (const int percent : {75, 10, 50, 95, 30}) {
        playFile(QStringLiteral("0:01:40")); // 100 s: a percent is a second
        const QPoint at(w.position->width() * percent / 100, w.position->height() / 2);
        QTest::mouseClick(w.position, Qt::LeftButton, {}, at);
        EXPECT_NEAR(w.position->value(), percent, 3) << percent;
        EXPECT_EQ(player.playPosition(), w.position->value()) << percent;
        EXPECT_TRUE(player.playerCommandLine().contains(
            QStringLiteral(" -ss %1 ").arg(w.position->value())))
            << player.playerCommandLine().toStdString();
    }
    w.position->setPageStep(5);
    w.position->setValue(40);
    w.position->setFocus();
    QTest::keyClick(w.position, Qt::Key_PageUp);
    EXPECT_EQ(w.position->value(), 45);
}

TEST_F(PreviewFixture, PlayFromAStartOffset) {
    item = PlayItem{QStringLiteral("/media/clip one.avi"), QStringLiteral("0:01:40"), 30};
    QTest::mouseClick(w.play, Qt::LeftButton);
    EXPECT_TRUE(player.playerCommandLine().contains(QLatin1String(" -ss 30 ")));
    EXPECT_EQ(player.playPosition(), 30);
    EXPECT_EQ(w.currentTime->text(), QStringLiteral("0:00:30"));
    EXPECT_EQ(w.position->value(), 30);
    transport().tick();
    EXPECT_EQ(w.currentTime->text(), QStringLiteral("0:00:31"));
}

} // namespace
