// The probe's parser of the player's identify lines: whatever the output, a length is shown only
// when it is one a file can have, and what is shown reads back as that length.

#include "FuzzCheck.h"

#include "base/TimeString.h"
#include "probe/MediaInfo.h"

#include <cmath>

using namespace mirelo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const MediaInfo info = parseIdentifyOutput(QString::fromUtf8(fuzz::bytesOf(data, size)));
    const ProbeColumns columns = probeColumns(info);
    FUZZ_CHECK(columns.start == QLatin1String("0:00:00"));
    FUZZ_CHECK(columns.end == columns.videoTime);
    FUZZ_CHECK(info.width >= 0 && info.height >= 0);
    if (info.lengthSeconds) {
        FUZZ_CHECK(std::isfinite(*info.lengthSeconds));
        FUZZ_CHECK(*info.lengthSeconds >= 0 && *info.lengthSeconds <= kLongestTimeSeconds);
    }
    const std::optional<qint64> seconds = info.wholeSeconds();
    FUZZ_CHECK(seconds.has_value() == info.lengthSeconds.has_value());
    FUZZ_CHECK(columns.end.isEmpty() == !seconds);
    if (seconds)
        FUZZ_CHECK(parseTimeString(columns.end) == std::optional<int>(int(*seconds)));
    FUZZ_CHECK(needsAudioLengthPass(info) == (info.hasAudioStream && !info.lengthSeconds));
    return 0;
}
