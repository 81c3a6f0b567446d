#include "convert/RunProgress.h"

#include <gtest/gtest.h>

#include <cmath>

namespace mirelo {
namespace {

// The bars and the time left, from what the running rows' encoders last reported.
TEST(RunProgress, BarsAndTimeLeftFromTheRunningRows) {
    const struct {
        const char* what;
        std::vector<RunningRow> running;
        double later;            // media seconds of the rows not started
        std::optional<int> item; // the item bar
        int overallOfFour;       // the overall bar with two rows finished, four listed
        RunRate rate;
    } cases[] = {
        {"nothing runs", {}, 30, std::nullopt, 50, {0, -1, -1}},
        {"reading its source", {{0, 0, 0, 0}}, 0, std::nullopt, 50, {0, -1, -1}},
        {"one row", {{40, 4, 10, 2}}, 20, 40, 60, {2, 3, 13}},
        {"a row still reading pulls nothing back",
         {{60, 6, 10, 1}, {0, 0, 0, 0}},
         0,
         60,
         65,
         {1, -1, -1}},
        {"two rows: the longest item, all media over their speed",
         {{20, 2, 10, 1}, {80, 8, 10, 3}},
         10,
         50,
         75,
         {4, 8, 5}},
        {"an unknown length leaves the time unknown", {{50, 5, 0, 2}}, 10, 50, 62, {2, -1, -1}},
        {"done past the expected length leaves nothing", {{99, 12, 10, 2}}, 0, 99, 75, {2, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(itemPercent(c.running), c.item);
        EXPECT_EQ(overallPercent(2, c.running, 4), c.overallOfFour);
        const RunRate rate = runRate(c.running, c.later);
        EXPECT_DOUBLE_EQ(rate.speed, c.rate.speed);
        EXPECT_DOUBLE_EQ(rate.itemSecondsLeft, c.rate.itemSecondsLeft);
        EXPECT_DOUBLE_EQ(rate.runSecondsLeft, c.rate.runSecondsLeft);
        EXPECT_FALSE(std::isnan(rate.runSecondsLeft) || std::isinf(rate.runSecondsLeft));
    }
}

TEST(RunProgress, RowsOneAtATimeAndClipLengths) {
    // Six rows, one at a time: each adds its share, ties to even; the bar clamps what passes 100.
    int overall = 0;
    std::vector<int> seen;
    for (int row = 0; row < 6; ++row)
        seen.push_back(overall = overallAfterRow(overall, 6));
    EXPECT_EQ(seen, (std::vector<int>{17, 34, 51, 68, 85, 102}));
    EXPECT_EQ(overallAfterRow(0, 0), 100) << "an emptied list counts as one row";

    EXPECT_EQ(clipSeconds(5, 20, 60), 15);
    EXPECT_EQ(clipSeconds(5, std::nullopt, 60), 55);
    EXPECT_EQ(clipSeconds(std::nullopt, std::nullopt, 60), 60);
    EXPECT_EQ(clipSeconds(5, 5, 60), 55) << "an end at the start is no clip";
    EXPECT_EQ(clipSeconds(70, std::nullopt, 60), 0);
    EXPECT_EQ(clipSeconds(0, std::nullopt, std::nullopt), 0);
}

} // namespace
} // namespace mirelo
