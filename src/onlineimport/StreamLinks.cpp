#include "onlineimport/StreamLinks.h"

#include "onlineimport/TextOps.h"

#include <algorithm>
#include <cmath>

namespace mirelo {

namespace {

const StreamFormat kStreamFormats[] = {
    {22, "getMp4", "Get MP4", ".mp4", false},
    {34, "getHdLow", "Get HD Low", "_Full_HD.flv", true},
    {35, "getHdHigh", "Get HD High", "_HD.flv", true},
    {5, "getFlv", "Get FLV", ".flv", true},
};

constexpr qsizetype kMaxNameBytes = 255;

bool refusedInFileName(QChar c) {
    return c.category() == QChar::Other_Control || QStringView(u"/\\:*?\"<>|").contains(c);
}

// The part of `text` a file name can hold; leading dots would hide the file.
QString fileNameStem(const QString& text) {
    QString stem;
    stem.reserve(text.size());
    for (const QChar c : text)
        if (!refusedInFileName(c))
            stem += c;
    qsizetype start = 0;
    while (start < stem.size() && (stem[start] == QLatin1Char('.') || stem[start].isSpace()))
        ++start;
    return stem.mid(start).trimmed();
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

QList<int> readStreamLinks(const QString& page, StreamLinks& links, QStringList* warnings) {
    QList<int> stored;
    const LenientDecoding map = URLDecodeLenient(GetStreamMap(page));
    const auto warn = [warnings](const QString& entry, const char* fault) {
        if (warnings)
            *warnings += QStringLiteral("stream map entry \"%1\" %2; it is skipped")
                             .arg(elidedText(entry), QLatin1String(fault));
    };
    qsizetype entryStart = 0;
    for (const QString& entry : map.text.split(QLatin1Char(','))) {
        const qsizetype entryEnd = entryStart + entry.size();
        const bool badEscape =
            std::any_of(map.badEscapes.begin(), map.badEscapes.end(),
                        [&](qsizetype at) { return at >= entryStart && at < entryEnd; });
        entryStart = entryEnd + 1;
        if (entry.trimmed().isEmpty())
            continue;
        const qsizetype bar = entry.indexOf(QLatin1Char('|'));
        bool isNumber = false;
        const int code = bar < 0 ? 0 : entry.left(bar).trimmed().toShort(&isNumber);
        if (badEscape || !isNumber) {
            warn(entry, badEscape ? "has a bad %-escape" : "has no format code");
            continue;
        }
        if (!streamFormat(code))
            continue;
        links[code] = entry.mid(bar + 1);
        stored += code;
    }
    return stored;
}

QString downloadFileName(const QString& title, const QString& suffix, const QString& fallback) {
    QString base = fileNameStem(title);
    if (base.isEmpty())
        base = fileNameStem(fallback);
    if (base.isEmpty())
        base = QStringLiteral("video");
    return leftUtf8Bytes(base, kMaxNameBytes - suffix.toUtf8().size()) + suffix;
}

int downloadPercent(qint64 done, qint64 total) {
    if (total <= 0)
        return 100;
    return int(std::nearbyint(100.0 / double(total) * double(done)));
}

} // namespace mirelo
