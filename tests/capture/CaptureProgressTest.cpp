#include "capture/CaptureProgress.h"

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

TEST(CaptureStatisticsLine, FramesDroppedAndSecondsWithTwoDecimals) {
    struct Case {
        CaptureStatistics statistics;
        const char* expected;
    };
    const Case cases[] = {
        {{0, 0, 0}, "0 frames (0 dropped) - 0.00 sec."},
        {{1500, 3, 60020}, "1500 frames (3 dropped) - 60.02 sec."},
        {{12, 0, 999}, "12 frames (0 dropped) - 1.00 sec."},
        {{250, 1, 10000}, "250 frames (1 dropped) - 10.00 sec."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatCaptureStatistics(c.statistics), QLatin1String(c.expected));
}

// Standard error of a recording: progress blocks with error messages in between, the first block
// before any frame was written.
const char* const kRecordedOutput = "frame=0\nfps=0.00\ndrop_frames=0\nout_time_us=N/A\n"
                                    "progress=continue\n"
                                    "[video4linux2,v4l2 @ 0x55] Dequeued v4l2 buffer contains "
                                    "corrupted data (0 bytes).\n"
                                    "frame=37\nfps=25.01\ndup_frames=0\ndrop_frames=2\n"
                                    "out_time_us=1480000\nout_time=00:00:01.480000\n"
                                    "progress=continue\n"
                                    "frame=51\ndrop_frames=2\nout_time_us=2040000\nprogress=end\n";

TEST(CaptureProgressReader, StatisticsOfCompletedBlocksOnlyAcrossSplitReads) {
    const QByteArray all(kRecordedOutput);
    CaptureProgressReader reader;
    // Split inside the second block: its values must not show before its "progress=" line.
    const qsizetype cut = all.indexOf("out_time_us=1480000") + 5;
    EXPECT_TRUE(reader.feed(all.left(cut)));
    EXPECT_EQ(reader.statistics().framesCaptured, 0);
    EXPECT_EQ(reader.statistics().elapsedMs, 0);
    const qsizetype secondEnd = all.indexOf("frame=51");
    EXPECT_TRUE(reader.feed(all.mid(cut, secondEnd - cut)));
    EXPECT_EQ(reader.statistics().framesCaptured, 37);
    EXPECT_EQ(reader.statistics().framesDropped, 2);
    EXPECT_EQ(reader.statistics().elapsedMs, 1480);
    EXPECT_FALSE(reader.feed(QByteArray("frame=51\ndrop_")));
    EXPECT_TRUE(reader.feed(all.mid(secondEnd + 14)));
    EXPECT_EQ(reader.statistics().framesCaptured, 51);
    EXPECT_EQ(reader.statistics().elapsedMs, 2040);
    EXPECT_TRUE(reader.lastMessages().contains("corrupted data"));
    EXPECT_FALSE(reader.lastMessages().contains("frame="));
}

TEST(CaptureProgressReader, KeepsOnlyTheLastMessageLines) {
    CaptureProgressReader reader;
    for (int i = 1; i <= 20; ++i)
        reader.feed(QStringLiteral("message %1\n").arg(i).toUtf8());
    const QStringList kept = reader.lastMessages().split('\n');
    EXPECT_LE(kept.size(), 10);
    EXPECT_EQ(kept.last(), "message 20");
    EXPECT_FALSE(kept.contains("message 1"));
}

} // namespace
