#pragma once

#include <QString>
#include <QStringList>

namespace mirelo {

struct CaptureStatistics {
    qint64 framesCaptured = 0;
    qint64 framesDropped = 0;
    qint64 elapsedMs = 0;
};

// "1500 frames (3 dropped) - 60.02 sec.", the capture window's statistics line.
QString formatCaptureStatistics(const CaptureStatistics& statistics);

// Reads the encoder's standard error during a capture: its machine-readable progress report
// ("key=value" blocks ended by "progress=...") interleaved with its error messages.
class CaptureProgressReader {
public:
    // Feeds raw output; returns true when at least one progress block completed.
    bool feed(const QByteArray& bytes);

    const CaptureStatistics& statistics() const { return statistics_; }
    // The encoder's last message lines, for a failure report.
    QString lastMessages() const { return messages_.join(QLatin1Char('\n')); }

private:
    bool readLine(const QString& line);

    QByteArray pending_;
    CaptureStatistics block_;
    CaptureStatistics statistics_;
    QStringList messages_;
};

} // namespace mirelo
