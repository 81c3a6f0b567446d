#include "settings/SimultaneousJobs.h"

#include "base/CoreCount.h"

#include <algorithm>

namespace mirelo {

namespace {
const QLatin1String kAuto("auto");
} // namespace

std::optional<SimultaneousJobs> parseSimultaneousJobs(const QString& text) {
    const QString value = text.trimmed();
    if (value.compare(kAuto, Qt::CaseInsensitive) == 0)
        return SimultaneousJobs{true, coreCount()};
    bool ok = false;
    const int count = value.toInt(&ok);
    if (!ok || count < 1)
        return std::nullopt;
    return SimultaneousJobs{false, std::min(count, coreCount())};
}

QString simultaneousJobsText(SimultaneousJobs jobs) {
    return jobs.automatic ? QString(kAuto) : QString::number(jobs.count);
}

} // namespace mirelo
