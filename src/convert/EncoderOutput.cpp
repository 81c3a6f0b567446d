#include "convert/EncoderOutput.h"

#include "base/TimeString.h"

#include <QRegularExpression>

#include <cmath>

namespace mirelo {

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
        const qint64 n = value.toLongLong(&ok);
        if (ok && n >= 0)
            m_block.frames = n;
    } else if (key == QLatin1String("drop_frames")) {
        const qint64 n = value.toLongLong(&ok);
        if (ok && n >= 0)
            m_block.droppedFrames = n;
    } else if (key == QLatin1String("progress")) {
        ProgressReport done = m_block;
        done.end = value == QLatin1String("end");
        m_block = {};
        return done;
    }
    return std::nullopt;
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
