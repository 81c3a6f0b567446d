#pragma once

#include <QString>

#include <optional>

namespace mirelo {

// Clip times and lengths are held as time-of-day strings "H:MM:SS" (hours without a leading zero).

// Seconds of "H:MM:SS" (also "HH:MM:SS"); nullopt for text that is not such a time.
std::optional<int> parseTimeString(const QString& text);

// "H:MM:SS" of a count of seconds from midnight; 24 hours or more wrap round, as a clock does.
QString formatTimeString(qint64 seconds);

} // namespace mirelo
