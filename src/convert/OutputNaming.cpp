#include "convert/OutputNaming.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

#include <sys/stat.h>

namespace mirelo {

namespace {

bool exists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

// The longest file name Linux file systems take, in bytes.
constexpr qsizetype kMaxNameBytes = 255;

// `base` + `ending`, the base shortened by whole characters until the name fits: a name the
// file system refuses would fail the row after its encoder's work.
QString fittedName(QString base, const QString& ending) {
    while (!base.isEmpty() && QFile::encodeName(base + ending).size() > kMaxNameBytes)
        base.chop(base.size() > 1 && base.back().isLowSurrogate() ? 2 : 1);
    return base + ending;
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

namespace {

std::optional<QPair<quint64, quint64>> fileIdentity(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return QPair<quint64, quint64>(quint64(st.st_dev), quint64(st.st_ino));
}

} // namespace

void OutputReservations::addSource(const QString& path) {
    m_sourcePaths.insert(key(path));
    if (const auto identity = fileIdentity(path))
        m_sourceFiles.insert(*identity);
}

bool OutputReservations::isSource(const QString& path) const {
    if (m_sourcePaths.contains(key(path)))
        return true;
    const auto identity = fileIdentity(path);
    return identity && m_sourceFiles.contains(*identity);
}

QString OutputReservations::key(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

QString chooseOutputPath(const QString& folder, const QString& stem, const QString& extension,
                         const QString& inputPath, bool overwrite,
                         const OutputReservations* reserved) {
    const QDir dir(folder);
    const QString cut = stem.section(QLatin1Char('.'), 0, 0);
    QString path = dir.filePath(fittedName(stem, extension));
    for (QString added = QStringLiteral("_New");
         (!overwrite && exists(path)) ||
         (reserved && (reserved->contains(path) || reserved->isSource(path))) ||
         isSameFile(path, inputPath);
         added += QStringLiteral("_New"))
        path = dir.filePath(fittedName(cut, added + extension));
    return path;
}

} // namespace mirelo
