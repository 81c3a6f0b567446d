#include "onlineimport/CacheFetch.h"

#include "onlineimport/StreamLinks.h"
#include "onlineimport/Transfer.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace mirelo {

namespace {

QString cacheFilePath(const QString& folder, const QString& fileName) {
    const QString safe = downloadFileName(fileName, QString());
    return QDir(folder).filePath(QStringLiteral("Cache/") + safe);
}

bool store(const QString& path, const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
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
