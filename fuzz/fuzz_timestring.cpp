// The time parsers: a time string read is a length in range that shows as a string reading back
// the same; clip times are accepted exactly when both are times and the start comes first; the
// encoder's duration line gives a finite, non-negative length.

#include "FuzzCheck.h"

#include "base/TimeString.h"
#include "clip/ClipTimes.h"
#include "convert/EncoderOutput.h"

#include <cmath>
#include <cstring>

using namespace mirelo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(fuzz::bytesOf(data, size));
    if (const std::optional<int> s = parseTimeString(text)) {
        FUZZ_CHECK(*s >= 0 && *s <= kLongestTimeSeconds);
        FUZZ_CHECK(parseTimeString(formatTimeString(*s)) == s);
    }
    if (size >= sizeof(qint64)) {
        qint64 n = 0;
        std::memcpy(&n, data, sizeof n);
        const QString shown = formatTimeString(n);
        if (n >= 0 && n <= kLongestTimeSeconds)
            FUZZ_CHECK(parseTimeString(shown) == std::optional<int>(int(n)));
    }

    const qsizetype bar = text.indexOf(QLatin1Char('|'));
    const QString start = bar < 0 ? text : text.left(bar);
    const QString end = bar < 0 ? QString() : text.mid(bar + 1);
    const std::optional<int> from = parseTimeString(start);
    const std::optional<int> to = parseTimeString(end);
    FUZZ_CHECK(clipTimesAcceptable(start, end) == (from && to && *from < *to));
    FUZZ_CHECK(clipLengthText(start, end).has_value() == (from && to));
    FUZZ_CHECK(clipSeconds(start) == from.value_or(0));

    if (const std::optional<double> d = parseDurationLine(text))
        FUZZ_CHECK(std::isfinite(*d) && *d >= 0);
    return 0;
}
