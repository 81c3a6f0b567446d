#pragma once

#include <QString>

#include <optional>

namespace mirelo {

// ClipTimes: what the clip editor is opened with, the row's "Start", "End" and "Video Time".
struct ClipTimes {
    QString start;
    QString end;
    QString videoTime;
};

// Seconds of a time string, 0 for text that is not a time (a slider's range, a slider's value).
int clipSeconds(const QString& time);

// The clip length the clip editor shows: the time string of end minus start, empty when the end
// does not come after the start; nullopt when either text is not a time.
std::optional<QString> clipLengthText(const QString& start, const QString& end);

// "OK" accepts only two times with the start before the end, compared as times.
bool clipTimesAcceptable(const QString& start, const QString& end);

// The end lies within the file: not past its "Video Time". A file of unknown length (a video
// time that is not a time, or 0) takes any end.
bool clipEndWithinFile(const QString& end, const QString& videoTime);

} // namespace mirelo
