#include "capture/CaptureProgress.h"

#include <QRegularExpression>

namespace mirelo {

namespace {

constexpr int kKeptMessageLines = 6;

} // namespace

QString formatCaptureStatistics(const CaptureStatistics& s) {
    return QStringLiteral("%1 frames (%2 dropped) - %3 sec.")
        .arg(s.framesCaptured)
        .arg(s.framesDropped)
        .arg(double(s.elapsedMs) / 1000.0, 0, 'f', 2);
}

bool CaptureProgressReader::feed(const QByteArray& bytes) {
    pending_ += bytes;
    bool completed = false;
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(pending_.left(end)).trimmed();
        pending_.remove(0, end + 1);
        completed = readLine(line) || completed;
    }
    return completed;
}

bool CaptureProgressReader::readLine(const QString& line) {
    static const QRegularExpression keyValue(QStringLiteral("^([a-z0-9_]+)=(.*)$"));
    const auto m = keyValue.match(line);
    if (!m.hasMatch()) {
        if (!line.isEmpty())
            messages_.append(line);
        while (messages_.size() > kKeptMessageLines)
            messages_.removeFirst();
        return false;
    }
    const QString key = m.captured(1);
    bool ok = false;
    const qint64 number = m.captured(2).toLongLong(&ok);
    // Values read "N/A" until the first frame is written; the last known value stands.
    if (key == QLatin1String("frame") && ok)
        block_.framesCaptured = number;
    else if (key == QLatin1String("drop_frames") && ok)
        block_.framesDropped = number;
    else if (key == QLatin1String("out_time_us") && ok)
        block_.elapsedMs = std::max<qint64>(0, number / 1000);
    else if (key == QLatin1String("progress")) {
        statistics_ = block_;
        return true;
    }
    return false;
}

} // namespace mirelo
