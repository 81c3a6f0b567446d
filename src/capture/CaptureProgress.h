#pragma once

#include "convert/EncoderOutput.h"

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

// Reads the encoder's standard error during a capture: its progress report interleaved with its
// error messages.
class CaptureProgressReader {
public:
    // Feeds raw output; returns true when at least one progress block completed.
    bool feed(const QByteArray& bytes);

    const CaptureStatistics& statistics() const { return m_statistics; }
    // The encoder's last message lines, for a failure report.
    QString lastMessages() const { return m_messages.lines().join(QLatin1Char('\n')); }

private:
    // One line; true when it completed a progress block.
    bool takeLine(const QString& line);

    LineSplitter m_lines;
    ProgressParser m_parser;
    CaptureStatistics m_current;
    CaptureStatistics m_statistics;
    LastLines m_messages{6};
};

} // namespace mirelo
