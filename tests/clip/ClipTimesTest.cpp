#include "clip/ClipTimes.h"

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

TEST(ClipTimes, LengthAndAcceptanceCompareTimesNotText) {
    const struct {
        const char* start;
        const char* end;
        std::optional<QString> length;
        bool acceptable;
    } cases[] = {
        {"0:00:00", "0:02:00", QStringLiteral("0:02:00"), true},
        {"0:00:30", "0:01:30", QStringLiteral("0:01:00"), true},
        {"9:00:00", "10:00:00", QStringLiteral("1:00:00"), true}, // "9" > "1" as text
        {"0:01:00", "0:01:00", QString(), false},
        {"0:01:01", "0:01:00", QString(), false}, // no "23:59:59": it is no length
        {"0:1:00", "0:02:00", std::nullopt, false},
        {"abc", "0:02:00", std::nullopt, false},
        {"0:00:00", "", std::nullopt, false},
        {"0:00:00", "0:00:60", std::nullopt, false},
        {" 0:00:10 ", "0:00:20", QStringLiteral("0:00:10"), true},
        // A clip of a file a day or more long: times past 23 hours are times too.
        {"0:00:00", "25:00:00", QStringLiteral("25:00:00"), true},
        {"23:59:59", "24:00:01", QStringLiteral("0:00:02"), true},
        {"24:30:00", "100:00:00", QStringLiteral("75:30:00"), true},
        {"25:00:00", "24:00:00", QString(), false},
    };
    for (const auto& c : cases) {
        const QString start = QLatin1String(c.start);
        const QString end = QLatin1String(c.end);
        EXPECT_EQ(clipLengthText(start, end), c.length) << c.start << " " << c.end;
        EXPECT_EQ(clipTimesAcceptable(start, end), c.acceptable) << c.start << " " << c.end;
    }
    EXPECT_EQ(clipSeconds(QStringLiteral("1:02:03")), 3723);
    EXPECT_EQ(clipSeconds(QStringLiteral("none")), 0);
    EXPECT_EQ(clipSeconds(QStringLiteral("25:00:00")), 90000); // a slider's range
}

TEST(ClipTimes, TheEndMustLieWithinAFileOfKnownLength) {
    const struct {
        const char* end;
        const char* videoTime;
        bool within;
    } cases[] = {
        {"0:02:00", "0:02:00", true},   {"0:01:59", "0:02:00", true}, {"0:02:01", "0:02:00", false},
        {"10:00:00", "9:59:59", false}, {"0:05:00", "0:00:00", true}, {"0:05:00", "", true},
        {"0:05:00", "unknown", true},   {"soon", "0:02:00", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(clipEndWithinFile(QLatin1String(c.end), QLatin1String(c.videoTime)), c.within)
            << c.end << " in " << c.videoTime;
}

} // namespace
