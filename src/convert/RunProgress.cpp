#include "convert/RunProgress.h"

#include <algorithm>
#include <cmath>

namespace mirelo {

std::optional<int> itemPercent(const std::vector<RunningRow>& running) {
    int sum = 0, encoding = 0;
    for (const RunningRow& r : running) {
        if (r.percent <= 0)
            continue;
        sum += r.percent;
        ++encoding;
    }
    if (encoding == 0)
        return std::nullopt;
    return sum / encoding;
}

int overallPercent(int finishedRows, const std::vector<RunningRow>& running, int listRows) {
    double rows = finishedRows;
    for (const RunningRow& r : running)
        rows += r.percent / 100.0;
    return static_cast<int>(std::nearbyint(100.0 * rows / std::max(1, listRows)));
}

int overallAfterRow(int overall, int listRows) {
    return static_cast<int>(
        std::nearbyint(overall + 100.0 / static_cast<double>(std::max(1, listRows))));
}

RunRate runRate(const std::vector<RunningRow>& running, double laterSeconds) {
    double speedSum = 0, mediaLeft = 0, itemLeft = 0;
    bool known = !running.empty();
    for (const RunningRow& r : running) {
        speedSum += std::max(0.0, r.speed);
        if (r.expected <= 0 || r.speed <= 0) {
            known = false;
            continue;
        }
        const double left = std::max(0.0, r.expected - r.done);
        mediaLeft += left;
        itemLeft = std::max(itemLeft, left / r.speed);
    }
    RunRate rate;
    rate.speed = speedSum;
    rate.itemSecondsLeft = known ? itemLeft : -1;
    rate.runSecondsLeft = known ? (mediaLeft + laterSeconds) / speedSum : -1;
    return rate;
}

double clipSeconds(std::optional<int> start, std::optional<int> end, std::optional<int> length) {
    const int from = start.value_or(0);
    if (end > from)
        return *end - from;
    return std::max(0, length.value_or(0) - from);
}

} // namespace mirelo
