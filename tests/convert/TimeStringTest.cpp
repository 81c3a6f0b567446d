#include "base/TimeString.h"

#include <gtest/gtest.h>

using namespace mirelo;

TEST(TimeString, ParsesClockTimes) {
    const struct {
        const char* text;
        std::optional<int> seconds;
    } cases[] = {{"0:00:00", 0},      {"0:00:10", 10},   {"1:05:09", 3909}, {"23:59:59", 86399},
                 {"09:00:00", 32400}, {" 0:01:00 ", 60}, {"0:60:00", {}},   {"0:00:60", {}},
                 {"0:0:00", {}},      {"", {}},          {"abc", {}},       {"1:2:3", {}},
                 {"-1:00:00", {}}};
    for (const auto& c : cases)
        EXPECT_EQ(parseTimeString(QLatin1String(c.text)), c.seconds) << c.text;
}

// Lengths of a day or more are read back as hours, up to the longest length taken as real.
TEST(TimeString, ParsesHoursPastADayUpToTheLongestLength) {
    const struct {
        const char* text;
        std::optional<int> seconds;
    } cases[] = {{"24:00:00", 86400},       {"25:00:00", 90000},    {"100:00:00", 360000},
                 {"0025:00:00", 90000},     {"999:59:59", 3599999}, {"1000:00:00", 3600000},
                 {"1000:00:01", {}},        {"9999:59:59", {}},     {"10000:00:00", {}},
                 {"99999999999:00:00", {}}, {"25:60:00", {}}};
    for (const auto& c : cases)
        EXPECT_EQ(parseTimeString(QLatin1String(c.text)), c.seconds) << c.text;
}

TEST(TimeString, FormatsHoursWithoutWrappingPastADay) {
    const struct {
        qint64 seconds;
        const char* text;
    } cases[] = {{0, "0:00:00"},      {10, "0:00:10"},     {3909, "1:05:09"},
                 {86399, "23:59:59"}, {86400, "24:00:00"}, {86401, "24:00:01"},
                 {90000, "25:00:00"}, {90061, "25:01:01"}, {3600000, "1000:00:00"},
                 {-1, "23:59:59"},    {-86400, "0:00:00"}};
    for (const auto& c : cases)
        EXPECT_EQ(formatTimeString(c.seconds), QLatin1String(c.text)) << c.seconds;
}

// What is shown reads back as the same count of seconds, on both sides of a day.
TEST(TimeString, FormattedLengthsReadBack) {
    for (const qint64 s : {qint64(0), qint64(59), qint64(86399), qint64(86400), qint64(90000),
                           qint64(359999), kLongestTimeSeconds})
        EXPECT_EQ(parseTimeString(formatTimeString(s)), std::optional<int>(int(s))) << s;
}
