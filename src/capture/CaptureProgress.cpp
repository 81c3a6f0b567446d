#include "capture/CaptureProgress.h"

#include <algorithm>

namespace mirelo {

QString formatCaptureStatistics(const CaptureStatistics& s) {
    return QStringLiteral("%1 frames (%2 dropped) - %3 sec.")
        .arg(s.framesCaptured)
        .arg(s.framesDropped)
        .arg(double(s.elapsedMs) / 1000.0, 0, 'f', 2);
}

bool CaptureProgressReader::feed(const QByteArray& bytes) {
    bool completed = false;
    for (const QString& line : m_lines.feed(bytes))
        completed = takeLine(line) || completed;
    return completed;
}

bool CaptureProgressReader::takeLine(const QString& line) {
    if (!ProgressParser::isReportLine(line)) {
        const QString message = line.trimmed();
        if (!message.isEmpty())
            m_messages.add(message);
        return false;
    }
    const std::optional<ProgressReport> block = m_parser.takeLine(line);
    if (!block)
        return false;
    // Values read "N/A" until the first frame is written; the last known value stands.
    if (block->frames)
        m_current.framesCaptured = *block->frames;
    if (block->droppedFrames)
        m_current.framesDropped = *block->droppedFrames;
    if (block->doneSeconds)
        m_current.elapsedMs = std::max<qint64>(0, qint64(*block->doneSeconds * 1000.0 + 0.5));
    m_statistics = m_current;
    return true;
}

} // namespace mirelo
