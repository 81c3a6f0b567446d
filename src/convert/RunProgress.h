#pragma once

#include <optional>
#include <vector>

namespace mirelo {

// Speed and time left, from the encoder's progress reports and the rows' lengths.
// With several rows at once: the speed is theirs together, the item's time left is the longest
// of the running rows', and the run's is all media seconds left over that speed.
struct RunRate {
    double speed = 0;            // media seconds per second; 0: not known
    double itemSecondsLeft = -1; // -1: not known
    double runSecondsLeft = -1;
};

// A row converting now, with what its encoder last reported.
struct RunningRow {
    int percent = 0;     // 0: its encoder has not started yet
    double done = 0;     // media seconds written
    double expected = 0; // media seconds it will write; 0: not known yet
    double speed = 0;    // media seconds per second; 0: not known
};

// The item bar: the mean of the percents of the rows whose encoder runs. A row still reading its
// source has no percent yet and would pull the bar back below its starting value; none when no
// encoder runs.
std::optional<int> itemPercent(const std::vector<RunningRow>& running);

// The overall bar while several rows convert at once: finished rows and the running rows'
// fractions, as a share of the list's rows.
int overallPercent(int finishedRows, const std::vector<RunningRow>& running, int listRows);

// One row at a time, the overall bar moves only as rows end: each adds its share of the list as
// it stands now, ties to even (six rows: 17, 34, ..., 102; the bar clamps it).
int overallAfterRow(int overall, int listRows);

// The run's rate; laterSeconds: the media seconds of the rows not started yet.
RunRate runRate(const std::vector<RunningRow>& running, double laterSeconds);

// The media seconds a row will write: its clip, or the rest of the file from the clip's start.
double clipSeconds(std::optional<int> start, std::optional<int> end, std::optional<int> length);

} // namespace mirelo
