#pragma once

#include "base/TimeString.h"
#include "convert/JobOrder.h"

#include <optional>

namespace mirelo::test {

// A job as a run would fix it for a row: clip times as the list writes them ("H:MM:SS"; an end
// that is empty or not a time: to the end of the file).
inline JobOrder jobFor(const QString& path, ProfileId profile, const SheetValues& options,
                       const QString& folder, const QString& clipStart = "0:00:00",
                       const QString& clipEnd = {}, std::optional<double> length = {}) {
    JobOrder job;
    job.source.path = path;
    job.source.length = length;
    job.profile = profile;
    job.options = options;
    job.clipStart = parseTimeString(clipStart).value_or(0);
    job.clipEnd = parseTimeString(clipEnd);
    job.outputFolder = folder;
    return job;
}

} // namespace mirelo::test
