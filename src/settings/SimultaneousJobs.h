#pragma once

#include <QString>

#include <optional>

namespace mirelo {

// How many rows a run converts at once.
struct SimultaneousJobs {
    bool automatic = false; // as many as the machine has idle cores and memory for
    int count = 1;          // when not automatic: 1 to the number of cores

    bool operator==(const SimultaneousJobs&) const = default;
};

// "auto", or a whole number from 1 up (more than the cores counts as the cores); nothing else.
std::optional<SimultaneousJobs> parseSimultaneousJobs(const QString& text);
// The stored form: "auto" or the number.
QString simultaneousJobsText(SimultaneousJobs jobs);

} // namespace mirelo
