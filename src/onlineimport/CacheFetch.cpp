#include "onlineimport/CacheFetch.h"

#include "onlineimport/NewFileWriter.h"
#include "onlineimport/StreamLinks.h"
#include "onlineimport/Transfer.h"

#include <QDir>
#include <QFileInfo>

namespace mirelo {

namespace {

QString cacheFilePath(const QString& folder, const QString& fileName) {
    const QString safe = downloadFileName(fileName, QString());
    return QDir(folder).filePath(QStringLiteral("Cache/") + safe);
}

// Replaces the cache entry; a link planted under its name is replaced, not written through.
bool store(const QString& path, const QByteArray& bytes) {
    const QFileInfo target(path);
    if (!QDir().mkpath(target.absolutePath()))
        return false;
    NewFileWriter file;
    return file.open(target.absolutePath(), target.fileName()) &&
           file.write(bytes.constData(), bytes.size()) &&
           file.commit(NewFileWriter::Placement::Replace);
}

} // namespace

QString cachedThumbnailPath(const QString& folder, const QString& videoId) {
    return cacheFilePath(folder, videoId + QStringLiteral(".jpg"));
}

bool FetchToCache(Transfer& transfer, const QString& url, const QString& folder,
                  const QString& fileName, QObject* context,
                  std::function<void(const QString& storedPath)> done) {
    if (transfer.stillExecuting() || !transfer.execute(url))
        return false;
    const QString path = cacheFilePath(folder, fileName);
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection =
        QObject::connect(&transfer, &Transfer::finished, context,
                         [&transfer, path, done = std::move(done), connection](bool ok) {
                             QObject::disconnect(*connection);
                             done(ok && store(path, transfer.takeBody()) ? path : QString());
                         });
    return true;
}

} // namespace mirelo
