#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace mirelo {

class Transfer;

// Fetches `url` through `transfer` and stores it as `folder`/Cache/`fileName` (the folder is
// created when missing; the name is made safe first). Returns false at once, doing nothing, when
// the transfer is still executing or the address cannot be fetched; otherwise `done` is called
// later on `context`'s thread with the stored file's path, empty after any failure.
bool FetchToCache(Transfer& transfer, const QString& url, const QString& folder,
                  const QString& fileName, QObject* context,
                  std::function<void(const QString& storedPath)> done);

// The file a thumbnail of `videoId` is kept in.
QString cachedThumbnailPath(const QString& folder, const QString& videoId);

} // namespace mirelo
