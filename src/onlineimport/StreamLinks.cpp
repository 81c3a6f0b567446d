#include "onlineimport/StreamLinks.h"

#include "onlineimport/TextOps.h"

#include <cmath>

namespace mirelo {

namespace {

const StreamFormat kStreamFormats[] = {
    {22, "mp4Link", "getMp4", "Get MP4", ".mp4", false},
    {34, "hdLowLink", "getHDH", "Get HD Low", "_Full_HD.flv", true},
    {35, "hdHighLink", "getHDL", "Get HD High", "_HD.flv", true},
    {5, "flvLink", "getFlv", "Get FLV", ".flv", true},
};

constexpr int kMaxNameBytes = 255;

bool refusedInFileName(QChar c) {
    return c.category() == QChar::Other_Control || QStringView(u"/\\:*?\"<>|").contains(c);
}

} // namespace

std::span<const StreamFormat> streamFormats() {
    return kStreamFormats;
}

const StreamFormat* streamFormat(int code) {
    for (const StreamFormat& f : kStreamFormats)
        if (f.code == code)
            return &f;
    return nullptr;
}

QString GetStreamMap(const QString& page) {
    return RegexFirstGroup(page, QStringLiteral("\"fmt_url_map\": \"([^\"]+)"));
}

QList<int> readStreamLinks(const QString& page, StreamLinks& links, QString* error) {
    QList<int> stored;
    const std::optional<QString> map = URLDecode(GetStreamMap(page));
    if (!map) {
        if (error)
            *error = QStringLiteral("the stream map is not a valid encoded address text");
        return stored;
    }
    if (map->isEmpty())
        return stored;
    for (const QString& entry : map->split(QLatin1Char(','))) {
        const qsizetype bar = entry.indexOf(QLatin1Char('|'));
        bool isNumber = false;
        const int code = bar < 0 ? 0 : entry.left(bar).trimmed().toShort(&isNumber);
        if (!isNumber) {
            if (error)
                *error = QStringLiteral("stream map entry \"%1\" has no format code").arg(entry);
            break;
        }
        if (!streamFormat(code))
            continue;
        links[code] = entry.mid(bar + 1);
        stored += code;
    }
    return stored;
}

QString downloadFileName(const QString& title, const QString& suffix) {
    QString base;
    for (const QChar c : title)
        if (!refusedInFileName(c))
            base += c;
    base = base.trimmed();
    if (base.isEmpty() || base == QLatin1String(".") || base == QLatin1String(".."))
        base = QStringLiteral("video");
    const qsizetype room = kMaxNameBytes - suffix.toUtf8().size();
    while (base.toUtf8().size() > room)
        base.chop(base.size() >= 2 && base.back().isLowSurrogate() ? 2 : 1);
    return base + suffix;
}

int downloadPercent(qint64 done, qint64 total) {
    if (total <= 0)
        return 100;
    return int(std::nearbyint(100.0 / double(total) * double(done)));
}

} // namespace mirelo
