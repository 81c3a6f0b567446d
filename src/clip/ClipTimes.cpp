#include "clip/ClipTimes.h"

#include "base/TimeString.h"

namespace mirelo {

int clipSeconds(const QString& time) {
    return parseTimeString(time).value_or(0);
}

std::optional<QString> clipLengthText(const QString& start, const QString& end) {
    const std::optional<int> from = parseTimeString(start);
    const std::optional<int> to = parseTimeString(end);
    if (!from || !to)
        return std::nullopt;
    // A time of day would wrap an end before the start round to "23:59:55": no length is shown.
    return *to > *from ? formatTimeString(*to - *from) : QString();
}

bool clipTimesAcceptable(const QString& start, const QString& end) {
    const std::optional<int> from = parseTimeString(start);
    const std::optional<int> to = parseTimeString(end);
    return from && to && *from < *to;
}

bool clipEndWithinFile(const QString& end, const QString& videoTime) {
    const std::optional<int> length = parseTimeString(videoTime);
    if (!length || *length <= 0)
        return true;
    const std::optional<int> to = parseTimeString(end);
    return to && *to <= *length;
}

} // namespace mirelo
