#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <span>

namespace mirelo {

// One stream format a watch page can offer: its code in the stream map, the button that fetches it
// and the suffix of the file it is saved as.
struct StreamFormat {
    int code;
    const char* buttonName; // the object name of its button
    const char* caption;
    const char* fileSuffix;
    bool asksDownloadOrPlay; // false: the button always downloads
};

std::span<const StreamFormat> streamFormats();
const StreamFormat* streamFormat(int code);

// The direct link of each format found, by code. Links keep their own escapes: they are decoded
// once more when used.
using StreamLinks = QMap<int, QString>;

// The raw (still encoded) stream map of a watch page; empty when it has none.
QString GetStreamMap(const QString& page);

// Reads the page's stream map into `links`: entries "CODE|LINK" separated by ",", codes compared
// as numbers, a later entry of a code replacing an earlier one, unknown codes and empty entries
// skipped. An entry without "|", with a code that is not a number or with a bad %-escape is
// skipped with a warning in *warnings; the entries around it still count. Returns the codes
// stored, in order.
QList<int> readStreamLinks(const QString& page, StreamLinks& links,
                           QStringList* warnings = nullptr);

// The download's file name: the title without path separators, control characters, characters
// file systems refuse and leading dots (no hidden files), followed by the suffix; at most 255
// bytes. A title with nothing left gives way to `fallback` (e.g. the video id), then to "video":
// the name is never empty, "." or "..".
QString downloadFileName(const QString& title, const QString& suffix,
                         const QString& fallback = QString());

// The percentage shown after `done` of `total` bytes: rounded to the nearest, halves to even.
int downloadPercent(qint64 done, qint64 total);

} // namespace mirelo
