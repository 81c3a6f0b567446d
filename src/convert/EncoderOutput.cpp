#include "convert/EncoderOutput.h"

#include "base/TimeString.h"

#include <QRegularExpression>

#include <cmath>

namespace mirelo {

namespace {

// Keeps a count the report gives when it is one: a whole number of at least 0.
void keepCount(const QString& value, std::optional<qint64>& count) {
    bool ok = false;
    const qint64 n = value.toLongLong(&ok);
    if (ok && n >= 0)
        count = n;
}

// Raises the mark to the value when it is past it (or the mark is not set); true when it did.
template <typename T> bool raise(std::optional<T>& mark, const std::optional<T>& value) {
    if (!value || (mark && *value <= *mark))
        return false;
    mark = value;
    return true;
}

} // namespace

QList<ProgressReport> ProgressParser::feed(const QByteArray& bytes) {
    QList<ProgressReport> done;
    for (const QString& line : m_lines.feed(bytes))
        if (const std::optional<ProgressReport> block = takeLine(line))
            done += *block;
    return done;
}

bool ProgressParser::isReportLine(const QString& line) {
    static const QRegularExpression keyValue(QStringLiteral("^\\s*[a-z0-9_]+="));
    return keyValue.match(line).hasMatch();
}

std::optional<ProgressReport> ProgressParser::takeLine(const QString& line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return std::nullopt;
    const QString key = line.left(eq).trimmed();
    const QString value = line.mid(eq + 1).trimmed();
    bool ok = false;
    // "inf", "nan" and times past the longest length are read as numbers too; none is a time
    // or a speed the progress can use.
    if (key == QLatin1String("out_time_us")) {
        const double seconds = value.toDouble(&ok) / 1e6;
        if (ok && seconds >= 0 && seconds <= double(kLongestTimeSeconds))
            m_block.doneSeconds = seconds;
    } else if (key == QLatin1String("speed")) {
        const double s = QString(value).remove(QLatin1Char('x')).toDouble(&ok);
        if (ok && s > 0 && std::isfinite(s))
            m_block.speed = s;
    } else if (key == QLatin1String("frame")) {
        keepCount(value, m_block.frames);
    } else if (key == QLatin1String("drop_frames")) {
        keepCount(value, m_block.droppedFrames);
    } else if (key == QLatin1String("total_size")) {
        keepCount(value, m_block.bytesWritten);
    } else if (key == QLatin1String("progress")) {
        ProgressReport done = m_block;
        done.end = value == QLatin1String("end");
        m_block = {};
        return done;
    }
    return std::nullopt;
}

bool ProgressHighWater::advancedBy(const ProgressReport& block) {
    // Every mark is raised, not only the first that moves.
    const bool later = raise(m_seconds, block.doneSeconds);
    const bool moreFrames = raise(m_frames, block.frames);
    const bool moreBytes = raise(m_bytes, block.bytesWritten);
    return later || moreFrames || moreBytes;
}

std::optional<double> parseDurationLine(const QString& line) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*Duration:\\s*(\\d+):(\\d{2}):(\\d{2}(?:\\.\\d+)?)"));
    const QRegularExpressionMatch m = re.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toInt() * 3600.0 + m.captured(2).toInt() * 60.0 + m.captured(3).toDouble();
}

} // namespace mirelo
