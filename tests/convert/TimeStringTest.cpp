#include "convert/TimeString.h"

#include <gtest/gtest.h>

using namespace mirelo;

TEST(TimeString, ParsesClockTimes) {
    const struct {
        const char* text;
        std::optional<int> seconds;
    } cases[] = {{"0:00:00", 0},     {"0:00:10", 10},  {"1:05:09", 3909}, {"23:59:59", 86399},
                 {"09:00:00", 32400}, {" 0:01:00 ", 60}, {"24:00:00", {}},  {"0:60:00", {}},
                 {"0:00:60", {}},    {"0:0:00", {}},    {"", {}},          {"abc", {}},
                 {"1:2:3", {}},      {"-1:00:00", {}},  {"100:00:00", {}}};
    for (const auto& c : cases)
        EXPECT_EQ(parseTimeString(QLatin1String(c.text)), c.seconds) << c.text;
}

TEST(TimeString, FormatsAndWrapsPastADay) {
    const struct {
        qint64 seconds;
        const char* text;
    } cases[] = {{0, "0:00:00"},       {10, "0:00:10"},         {3909, "1:05:09"},
                 {86399, "23:59:59"},  {86400, "0:00:00"},      {90061, "1:01:01"},
                 {-1, "23:59:59"}};
    for (const auto& c : cases)
        EXPECT_EQ(formatTimeString(c.seconds), QLatin1String(c.text)) << c.seconds;
}
