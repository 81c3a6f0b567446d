#include "convert/OutputNaming.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

namespace mirelo {

namespace {

bool exists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

} // namespace

QString inputStem(const QString& inputPath) {
    QString name = QFileInfo(inputPath).fileName();
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    return name.section(QLatin1Char('.'), 0, 0);
}

bool isSameFile(const QString& a, const QString& b) {
    struct stat sa {
    }, sb{};
    if (::stat(QFile::encodeName(a).constData(), &sa) != 0 ||
        ::stat(QFile::encodeName(b).constData(), &sb) != 0)
        return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

QString OutputReservations::key(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString chooseOutputPath(const QString& folder, const QString& stem, const QString& extension,
                         const QString& inputPath, bool overwrite,
                         const OutputReservations* reserved) {
    const QDir dir(folder);
    QString path = dir.filePath(stem + extension);
    while ((!overwrite && exists(path)) || (reserved && reserved->contains(path)) ||
           isSameFile(path, inputPath)) {
        const QString taken = QFileInfo(path).fileName().section(QLatin1Char('.'), 0, 0);
        path = dir.filePath(taken + QStringLiteral("_New") + extension);
    }
    return path;
}

} // namespace mirelo
