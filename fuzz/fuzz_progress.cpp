// The encoder's "-progress" report parser and the log tail: however the output is cut into reads,
// the same blocks come out, and every time and speed in them is a finite, usable number.

#include "FuzzCheck.h"

#include "base/TimeString.h"
#include "convert/EncoderOutput.h"

#include <cmath>

using namespace mirelo;

namespace {

bool sameReports(const QList<ProgressReport>& a, const QList<ProgressReport>& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i].doneSeconds != b[i].doneSeconds || a[i].speed != b[i].speed ||
            a[i].end != b[i].end)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray output = fuzz::bytesOf(data, size);
    const qsizetype cut = size == 0 ? 0 : qsizetype(data[0]) % qsizetype(size + 1);

    ProgressParser whole;
    const QList<ProgressReport> once = whole.feed(output);
    ProgressParser pieces;
    QList<ProgressReport> inTwo = pieces.feed(output.left(cut));
    inTwo += pieces.feed(output.mid(cut));
    FUZZ_CHECK(sameReports(once, inTwo));
    for (const ProgressReport& r : once) {
        if (r.doneSeconds)
            FUZZ_CHECK(*r.doneSeconds >= 0 && *r.doneSeconds <= kLongestTimeSeconds);
        if (r.speed)
            FUZZ_CHECK(std::isfinite(*r.speed) && *r.speed > 0);
    }

    LastLines tail(6);
    const QStringList lines = tail.feed(output);
    FUZZ_CHECK(tail.lines().size() <= 6);
    for (const QString& line : lines) {
        if (const std::optional<double> d = parseDurationLine(line))
            FUZZ_CHECK(std::isfinite(*d) && *d >= 0);
    }
    return 0;
}
