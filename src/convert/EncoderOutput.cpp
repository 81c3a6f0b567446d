#include "convert/EncoderOutput.h"

#include "convert/TimeString.h"

#include <QRegularExpression>

#include <cmath>

namespace mirelo {

namespace {

// Splits off the complete lines of a byte stream; "\r" ends a line as "\n" does.
QStringList completeLines(QByteArray& pending, const QByteArray& bytes) {
    pending += bytes;
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < pending.size(); ++i) {
        if (pending[i] != '\n' && pending[i] != '\r')
            continue;
        if (i > start)
            lines += QString::fromUtf8(pending.mid(start, i - start));
        start = i + 1;
    }
    pending.remove(0, start);
    return lines;
}

} // namespace

QList<ProgressReport> ProgressParser::feed(const QByteArray& bytes) {
    QList<ProgressReport> done;
    for (const QString& line : completeLines(m_pending, bytes))
        takeLine(line, done);
    return done;
}

void ProgressParser::takeLine(const QString& line, QList<ProgressReport>& done) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return;
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
    } else if (key == QLatin1String("progress")) {
        m_block.end = value == QLatin1String("end");
        done += m_block;
        m_block = {};
    }
}

std::optional<double> parseDurationLine(const QString& line) {
    static const QRegularExpression re(
        QStringLiteral("^\\s*Duration:\\s*(\\d+):(\\d{2}):(\\d{2}(?:\\.\\d+)?)"));
    const QRegularExpressionMatch m = re.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    return m.captured(1).toInt() * 3600.0 + m.captured(2).toInt() * 60.0 + m.captured(3).toDouble();
}

QStringList LastLines::feed(const QByteArray& bytes) {
    const QStringList lines = completeLines(m_pending, bytes);
    m_lines += lines;
    if (m_lines.size() > m_keep)
        m_lines.remove(0, m_lines.size() - m_keep);
    return lines;
}

QStringList LastLines::lines() const {
    QStringList all = m_lines;
    if (!m_pending.isEmpty())
        all += QString::fromUtf8(m_pending);
    return all.mid(qMax<qsizetype>(0, all.size() - m_keep));
}

} // namespace mirelo
