#include "convert/AutoJobLimit.h"

#include <algorithm>

namespace mirelo {

namespace {

// Cores busy with other programs and with this run, on average between the first and the last
// sample; none while they span less than `seconds`.
struct Load {
    double others;
    double own;
};

std::optional<Load> loadOver(const std::deque<CpuSample>& samples, double seconds) {
    if (samples.size() < 2)
        return std::nullopt;
    const CpuSample& first = samples.front();
    const CpuSample& last = samples.back();
    const double wall = last.wallSeconds - first.wallSeconds;
    if (wall < seconds)
        return std::nullopt;
    const double busy = (last.busyCoreSeconds - first.busyCoreSeconds) / wall;
    const double own = std::max(0.0, (last.ownCoreSeconds - first.ownCoreSeconds) / wall);
    return Load{std::max(0.0, busy - own), own};
}

// Drops the samples a newer one can replace: what is left spans the window or a little more.
void keepWindow(std::deque<CpuSample>& samples) {
    while (samples.size() > 2 &&
           samples.back().wallSeconds - samples[1].wallSeconds >= AutoJobLimit::kWindowSeconds)
        samples.pop_front();
}

} // namespace

void AutoJobLimit::reset() {
    m_places = 1;
    m_measuredRunning = 0;
    m_samples.clear();
    m_changedAt.reset();
    m_tookBack = false;
    m_recent = {m_source.sample()};
}

std::optional<double> AutoJobLimit::recentOthers() const {
    const std::optional<Load> load = loadOver(m_recent, kOthersSeconds);
    return load ? std::optional<double>(load->others) : std::nullopt;
}

bool AutoJobLimit::oneThreadJobsMayGrow(int running, const CpuSample& now) {
    const int cores = std::max(1, m_source.cores());
    if (m_tookBack || running < m_places || m_places >= cores ||
        now.memAvailableBytes < kMinimumMemory)
        return false;
    const std::optional<double> others = recentOthers();
    if (!others || cores - *others - running < kIdleCore)
        return false;
    ++m_places;
    return true;
}

void AutoJobLimit::restartMeasurement(double now) {
    m_samples.clear();
    m_changedAt = now;
}

std::optional<double> AutoJobLimit::freeCores(int running) const {
    const std::optional<Load> load = loadOver(m_samples, kWindowSeconds);
    if (!load)
        return std::nullopt;
    // Each job of the run holds a core even while it waits for the disk.
    return m_source.cores() - load->others - std::max(double(running), load->own);
}

bool AutoJobLimit::mayStart(int running, bool oneThreadEach) {
    if (running <= 0)
        return true;
    const CpuSample now = m_source.sample();
    m_recent.push_back(now);
    keepWindow(m_recent);
    if (oneThreadEach && oneThreadJobsMayGrow(running, now))
        return true;
    const int cores = std::max(1, m_source.cores());
    const bool enoughMemory = now.memAvailableBytes >= kMinimumMemory;
    // A place a row has just left: the next takes it, and the measurement goes on.
    if (running < std::min(m_places, cores) && enoughMemory)
        return true;
    if (running != m_measuredRunning) {
        m_measuredRunning = running;
        if (!m_samples.empty()) // a measurement of other jobs; one not begun yet goes on
            restartMeasurement(now.wallSeconds);
    }
    if (!m_changedAt)
        m_changedAt = now.wallSeconds;
    if (now.wallSeconds >= *m_changedAt + kSettleSeconds)
        m_samples.push_back(now);
    keepWindow(m_samples);
    if (!enoughMemory)
        return false;
    if (const std::optional<double> free = freeCores(running)) {
        if (*free >= kIdleCore && running >= m_places && m_places < cores) {
            ++m_places;
        } else if (*free < -kIdleCore && m_places > 1) {
            --m_places;
            m_tookBack = true;
            restartMeasurement(now.wallSeconds);
        }
    }
    return running < std::min(m_places, cores);
}

} // namespace mirelo
