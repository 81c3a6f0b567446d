#include "player/PreviewPlayer.h"

#include "base/ToolLocator.h"
#include "common/MediaFixtures.h"
#include "player/PlayerKeys.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

using namespace mirelo;

namespace {

TEST(PlayerKeys, KeyCodesBecomeTheBytesThePlayerReads) {
    const struct {
        int code;
        QByteArray bytes;
    } cases[] = {
        {81, "q"}, {32, " "}, {37, "\x1b[D"}, {39, "\x1b[C"}, {65, ""}, {0, ""}, {113, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlayerKeys::playerKeyBytes(c.code), c.bytes) << c.code;
}

// Without a display the player cannot open its video and ends on its own: a player that has ended.
class DisplaylessPlayer : public ::testing::Test {
protected:
    void SetUp() override {
        m_display = qgetenv("DISPLAY");
        qunsetenv("DISPLAY");
        ASSERT_FALSE(locatePlayer().isEmpty()) << "mplayer is needed for this test";
        ASSERT_TRUE(m_dir.isValid());
        m_clip =
            test::makeClip(QDir(m_dir.path()), QStringLiteral("clip.avi"),
                           {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                            QStringLiteral("testsrc=d=2:s=160x120:r=10")});
    }
    void TearDown() override {
        if (!m_display.isEmpty())
            qputenv("DISPLAY", m_display);
    }

    QByteArray m_display;
    QTemporaryDir m_dir;
    QString m_clip;
};

TEST_F(DisplaylessPlayer, KeysReachOnlyARunningPlayer) {
    PreviewPlayer player;
    EXPECT_FALSE(PlayerKeys::send(player, PlayerKeys::KeyQuit)) << "no player started yet";
    EXPECT_EQ(player.playerProcessId(), 0);

    QSignalSpy started(&player, &PreviewPlayer::playerStarted);
    QSignalSpy finished(&player, &PreviewPlayer::playerFinished);
    player.start(424242, m_clip, 1);
    EXPECT_TRUE(player.playerCommandLine().contains(QLatin1String(" -ss 1 -wid 424242 ")));
    EXPECT_TRUE(player.playerCommandLine().endsWith(QLatin1Char('"') + m_clip + QLatin1Char('"')));
    ASSERT_TRUE(started.wait(30000));
    const qint64 id = player.playerProcessId();
    EXPECT_GT(id, 0);
    EXPECT_EQ(started.at(0).at(0).toLongLong(), id);
    EXPECT_FALSE(player.playerArguments().isEmpty());
    EXPECT_EQ(player.playerArguments().constLast(), m_clip);

    ASSERT_TRUE(finished.count() == 1 || finished.wait(30000));
    EXPECT_EQ(finished.at(0).at(0).toLongLong(), id);
    EXPECT_FALSE(player.isPlayerRunning());
    for (int key : {81, 32, 37, 39})
        EXPECT_FALSE(PlayerKeys::send(player, key)) << "sent to an ended player: " << key;
    EXPECT_EQ(player.playerProcessId(), id) << "the id is kept after the player ended";
    EXPECT_EQ(::kill(static_cast<pid_t>(id), 0), -1) << "the ended player was reaped";
}

TEST_F(DisplaylessPlayer, MissingPlayerIsReportedOnceAndKeepsTheOldId) {
    PreviewPlayer player;
    QSignalSpy failed(&player, &PreviewPlayer::startFailed);
    QSignalSpy started(&player, &PreviewPlayer::playerStarted);
    const QString missing = m_dir.filePath(QStringLiteral("no-such-player"));
    player.setPlayerProgram(missing);
    player.start(1, m_clip);
    ASSERT_TRUE(failed.count() == 1 || failed.wait(10000));
    EXPECT_TRUE(failed.at(0).at(0).toString().contains(missing));
    player.start(1, m_clip);
    QTest::qWait(300);
    EXPECT_EQ(failed.count(), 1) << "a missing player is reported once";
    EXPECT_EQ(started.count(), 0);
    EXPECT_EQ(player.playerProcessId(), 0);
    EXPECT_FALSE(player.isStartPending());
}

} // namespace
