#pragma once

#include <QString>

namespace mirelo {

// The fields read from a watch page. One module-wide set (watchPageInfo()) outlives the import
// window and keeps the last values between fetches.
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

WatchPageInfo& watchPageInfo();

// Overwrites the fields of `info` one by one from `page`, in a fixed order. A field that fails to
// decode ends the extraction there: it and the later fields keep their previous values, and the
// result is false with the reason in *error.
bool ParseWatchPage(const QString& page, WatchPageInfo& info, QString* error = nullptr);

} // namespace mirelo
