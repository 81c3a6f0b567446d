#include "base/TimeString.h"

#include <QRegularExpression>

namespace mirelo {

std::optional<int> parseTimeString(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^\\s*(\\d{1,4}):(\\d{2}):(\\d{2})\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const int h = m.captured(1).toInt();
    const int min = m.captured(2).toInt();
    const int s = m.captured(3).toInt();
    const int total = h * 3600 + min * 60 + s;
    if (min > 59 || s > 59 || total > kLongestTimeSeconds)
        return std::nullopt;
    return total;
}

QString formatTimeString(qint64 seconds) {
    constexpr qint64 day = 24 * 3600;
    const qint64 t = seconds >= 0 ? seconds : ((seconds % day) + day) % day;
    return QStringLiteral("%1:%2:%3")
        .arg(t / 3600)
        .arg((t / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(t % 60, 2, 10, QLatin1Char('0'));
}

} // namespace mirelo
