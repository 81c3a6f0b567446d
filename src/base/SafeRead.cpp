#include "base/SafeRead.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirelo {

namespace {

QString systemError(const char* what) {
    return QStringLiteral("%1 (%2)").arg(QLatin1String(what),
                                         QString::fromLocal8Bit(std::strerror(errno)));
}

QString tooLarge(qint64 largest) {
    constexpr qint64 kMegabyte = 1024 * 1024;
    return largest % kMegabyte == 0
               ? QStringLiteral("is larger than %1 MB").arg(largest / kMegabyte)
               : QStringLiteral("is larger than %1 bytes").arg(largest);
}

// Reads at most one byte past the limit, so a file growing without end (or one that lies about
// its size) cannot hold the reader.
SmallFileRead readBounded(int fd, qint64 largest) {
    SmallFileRead read;
    QByteArray data;
    char buffer[64 * 1024];
    while (data.size() <= largest) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            read.problem = systemError("cannot be read");
            return read;
        }
        if (n == 0) {
            read.bytes = data;
            return read;
        }
        data.append(buffer, n);
    }
    read.problem = tooLarge(largest);
    return read;
}

} // namespace

SmallFileRead readSmallRegularFile(const QString& path, qint64 largest) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        SmallFileRead read;
        read.missing = errno == ENOENT || errno == ENOTDIR;
        if (!read.missing)
            read.problem = systemError("cannot be opened");
        return read;
    }
    SmallFileRead read;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        read.problem = QStringLiteral("is not a regular file");
    else if (st.st_size > largest)
        read.problem = tooLarge(largest);
    else
        read = readBounded(fd, largest);
    ::close(fd);
    return read;
}

bool clearNonRegularFile(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::lstat(name.constData(), &st) != 0 || S_ISREG(st.st_mode) || S_ISDIR(st.st_mode))
        return true;
    return ::unlink(name.constData()) == 0;
}

} // namespace mirelo
