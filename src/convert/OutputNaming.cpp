#include "convert/OutputNaming.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <sys/stat.h>

namespace mirelo {

namespace {

constexpr char kTemporaryMark[] = ".mirelo-part";

bool exists(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

bool processAlive(qint64 pid) {
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
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

QString chooseOutputPath(const QString& folder, const QString& stem, const QString& extension,
                         const QString& inputPath, bool overwrite) {
    const QDir dir(folder);
    QString path = dir.filePath(stem + extension);
    while ((!overwrite && exists(path)) || isSameFile(path, inputPath)) {
        const QString taken = QFileInfo(path).fileName().section(QLatin1Char('.'), 0, 0);
        path = dir.filePath(taken + QStringLiteral("_New") + extension);
    }
    return path;
}

QString temporaryOutputPath(const QString& finalPath) {
    const QFileInfo info(finalPath);
    const QString suffix =
        info.fileName().contains(QLatin1Char('.')) ? QLatin1Char('.') + info.suffix() : QString();
    return info.dir().filePath(QStringLiteral(".%1.%2%3%4")
                                   .arg(info.fileName())
                                   .arg(QCoreApplication::applicationPid())
                                   .arg(QLatin1String(kTemporaryMark), suffix));
}

int removeStaleTemporaryOutputs(const QString& folder) {
    static const QRegularExpression re(QStringLiteral("^\\..+\\.(\\d+)\\.mirelo-part(\\.[^.]*)?$"));
    int removed = 0;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({QStringLiteral(".*") + QLatin1String(kTemporaryMark) + QLatin1Char('*')},
                      QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QRegularExpressionMatch m = re.match(name);
        if (!m.hasMatch())
            continue;
        const qint64 pid = m.captured(1).toLongLong();
        if (pid == QCoreApplication::applicationPid() || processAlive(pid))
            continue;
        if (QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}

} // namespace mirelo
