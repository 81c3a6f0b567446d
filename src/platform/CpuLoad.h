#pragma once

#include <QtGlobal>

namespace mirelo {

// The machine's CPU counters at one moment. All are running totals since boot, so the difference
// of two samples is what happened between them; the time itself is the machine's, so nothing
// here needs a clock.
struct CpuSample {
    double wallSeconds = 0;        // time since boot, as the CPU counters count it
    double busyCoreSeconds = 0;    // all cores, every state but idle and waiting for the disk
    double ownCoreSeconds = 0;     // this process and its child programs (the encoders)
    qint64 memAvailableBytes = -1; // now, not a total; -1: not known
};

// Where the machine's load comes from: /proc in the product, a fake in tests.
class CpuLoadSource {
public:
    virtual ~CpuLoadSource() = default;
    virtual int cores() const = 0;
    virtual CpuSample sample() = 0;
};

// /proc/stat, /proc/meminfo, and /proc for this process and its children.
class ProcCpuLoad : public CpuLoadSource {
public:
    int cores() const override;
    CpuSample sample() override;
};

} // namespace mirelo
