#pragma once

#include "process/OutputLines.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace mirelo {

// One block of the encoder's machine-readable progress report ("-progress pipe:N"). A value the
// block did not carry, or carried as "N/A", is empty.
struct ProgressReport {
    std::optional<double> doneSeconds;   // out_time_us
    std::optional<double> speed;         // media seconds per wall second ("speed=1.5x")
    std::optional<qint64> frames;        // frame
    std::optional<qint64> droppedFrames; // drop_frames
    std::optional<qint64> bytesWritten;  // total_size: the output's bytes so far
    bool end = false;                    // "progress=end"
};

// Reads the encoder's progress report, the one reader for conversions and captures alike: lines of
// "key=value" (the keys lower case), each block ended by a "progress=" line.
class ProgressParser {
public:
    // Feeds raw output; returns the blocks completed by it, in order.
    QList<ProgressReport> feed(const QByteArray& bytes);
    // Feeds one line; returns the block it completed, if it did.
    std::optional<ProgressReport> takeLine(const QString& line);
    // Whether a line belongs to the report (and not to the encoder's messages).
    static bool isReportLine(const QString& line);

private:
    LineSplitter m_lines;
    ProgressReport m_block;
};

// The furthest the encoder's report has gone. Only a block that goes past it shows the encoder
// moving on: a later position, more frames or more bytes written. An encoder that repeats one
// block is as stuck as a silent one.
class ProgressHighWater {
public:
    // True when the block goes past every block before it; the first with any value does.
    bool advancedBy(const ProgressReport& block);

private:
    std::optional<double> m_seconds;
    std::optional<qint64> m_frames;
    std::optional<qint64> m_bytes;
};

// Seconds of a "  Duration: 00:01:02.50, start: ..." line; nullopt for "N/A" or any other line.
std::optional<double> parseDurationLine(const QString& line);

} // namespace mirelo
