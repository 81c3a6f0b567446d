#pragma once

#include <QString>
#include <QStringList>

namespace mirelo {

// The fields read from a watch page.
struct WatchPageInfo {
    QString videoId;
    QString title;
    QString author;
    QString published;
    QString category;
    QString description;
    QString thumbnailUrl;
    QString lengthSeconds;
    QString rating;
};

// Overwrites the fields of `info` one by one from `page`. A field whose start marker the page
// lacks is empty (never a slice of the page). A field that fails to decode is empty, with a
// warning in *warnings naming it; the other fields are read all the same. True when every field
// decoded.
bool ParseWatchPage(const QString& page, WatchPageInfo& info, QStringList* warnings = nullptr);

// Whether the page is in the layout ParseWatchPage and the stream map reader were written for:
// it has the title marker or the stream map. Such a page is read by them; any other page of an
// http or https address goes to yt-dlp.
bool isClassicWatchPage(const QString& page);

} // namespace mirelo
