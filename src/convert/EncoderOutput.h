#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace mirelo {

// One block of the encoder's machine-readable progress report ("-progress pipe:1").
struct ProgressReport {
    std::optional<double> doneSeconds; // out_time_us
    std::optional<double> speed;       // media seconds per wall second ("speed=1.5x")
    bool end = false;                  // "progress=end"
};

// Collects the key=value lines the encoder writes and hands back each finished block.
class ProgressParser {
public:
    // Feeds raw output; returns the blocks completed by it, in order.
    QList<ProgressReport> feed(const QByteArray& bytes);

private:
    void takeLine(const QString& line, QList<ProgressReport>& done);

    QByteArray m_pending;
    ProgressReport m_block;
};

// Seconds of a "  Duration: 00:01:02.50, start: ..." line; nullopt for "N/A" or any other line.
std::optional<double> parseDurationLine(const QString& line);

// The last lines of the encoder's log, for the user when a conversion fails.
class LastLines {
public:
    explicit LastLines(int keep = 12) : m_keep(keep) {}
    // Feeds raw output; returns the complete lines it ended.
    QStringList feed(const QByteArray& bytes);
    QStringList lines() const;

private:
    int m_keep;
    QByteArray m_pending;
    QStringList m_lines;
};

} // namespace mirelo
