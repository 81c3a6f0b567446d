#pragma once

#include <QString>

#include <optional>

namespace mirelo {

// Clip times and lengths are held as time strings "H:MM:SS" (hours without a leading zero).
// Hours go past 23 for lengths of a day or more ("25:00:00"): wrapping round as a clock does
// would lose the length.

// The longest length taken as real (1000 hours). A probe reporting more is taken as unknown, and
// no time string reads as more.
inline constexpr qint64 kLongestTimeSeconds = 1000 * 3600;

// Seconds of "H:MM:SS" (also "HH:MM:SS", and more hour digits up to kLongestTimeSeconds); nullopt
// for text that is not such a time.
std::optional<int> parseTimeString(const QString& text);

// "H:MM:SS" of a count of seconds, hours not wrapping. A negative count (an end before its start)
// is shown as the clock shows it: back from midnight.
QString formatTimeString(qint64 seconds);

} // namespace mirelo
