#pragma once

#include "platform/CpuLoad.h"

#include <deque>
#include <optional>

namespace mirelo {

// Whether a run set to "auto" may start another row now. The first row always starts. The run
// gains a place for one more job when, measured over half a second or more after its jobs last
// changed, the machine had a core that neither other programs nor this run's jobs kept busy, at
// least 1 GB of memory is available, and it holds fewer places than cores. A job that alone keeps
// every core busy (a multi-threaded encoder) therefore never gets company. A row that ends frees
// its place at once; a place goes again when other programs need the cores. A row replaced by the
// next one at once does not restart the measurement: rows shorter than it would otherwise never
// gain company.
//
// Jobs whose encoders state that they run in one thread hold a core each and no more, so the next
// row need not wait for a measurement of them: it starts when other programs, measured since the
// run began or over the last half second, leave a core idle beside them. Once a measurement has
// taken a place back, the run waits for measurements only.
//
// The time is the samples' own, so a fake source decides everything a test needs.
class AutoJobLimit {
public:
    explicit AutoJobLimit(CpuLoadSource& source) : m_source(source) {}

    // A new run: one place, nothing measured.
    void reset();
    // Takes a sample; true when one more job may start beside `running` ones. Asked with another
    // number of running jobs than the measurement is of, it begins a new one: what was measured
    // says nothing about the jobs now.
    // `oneThreadEach`: every running job's encoders are known to run in one thread.
    bool mayStart(int running, bool oneThreadEach = false);
    int places() const { return m_places; }

    // A starting encoder reads its input before it loads the cores: not measured. Rows take a
    // second or less on short clips, so the measurement must not take longer.
    static constexpr double kSettleSeconds = 0.25;
    static constexpr double kWindowSeconds = 0.5;
    // Free cores from which a core counts as idle: encoders that keep "one core" busy use 1.1 to
    // 1.3 of them, and a multi-threaded one leaves less than this.
    static constexpr double kIdleCore = 0.5;
    static constexpr qint64 kMinimumMemory = qint64(1) << 30;
    // The least time over which other programs' load says anything.
    static constexpr double kOthersSeconds = 0.1;

private:
    // Cores that neither other programs nor this run's jobs used over the window; none while the
    // window is too short.
    std::optional<double> freeCores(int running) const;
    void restartMeasurement(double now);
    // Cores other programs used over the recent samples; none while they span too little time.
    std::optional<double> recentOthers() const;
    bool oneThreadJobsMayGrow(int running, const CpuSample& now);

    CpuLoadSource& m_source;
    std::deque<CpuSample> m_samples;
    std::deque<CpuSample> m_recent;    // since the run began, the last half second or so
    bool m_tookBack = false;           // a measurement took a place back in this run
    std::optional<double> m_changedAt; // sample time of the last change; none: take the next
    int m_measuredRunning = 0;         // the running jobs the measurement is of
    int m_places = 1;
};

} // namespace mirelo
