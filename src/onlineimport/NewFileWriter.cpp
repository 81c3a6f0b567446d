#include "onlineimport/NewFileWriter.h"

#include "onlineimport/TextOps.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace mirelo {

namespace {

constexpr qsizetype kMaxNameBytes = 255;
constexpr int kMaxNumber = 9999;
constexpr int kTempNameAttempts = 100;

// EEXIST is only ever left over when every numbered name was tried.
QString failureText(int error) {
    return error == EEXIST ? QStringLiteral("every numbered name is taken")
                           : QString::fromLocal8Bit(std::strerror(error));
}

int openFolder(const QString& folder) {
    return ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// Hidden and unpredictable, so that nobody can plant a link under it beforehand.
QByteArray randomTempName() {
    const quint64 r = QRandomGenerator::system()->generate64();
    return ".mirelo-" + QByteArray::number(r, 36) + ".part";
}

// Moves without ever replacing: EEXIST when the name is taken, whatever takes it.
int renameNoReplace(int fromFolder, const QByteArray& from, int toFolder, const QByteArray& to) {
    if (::renameat2(fromFolder, from.constData(), toFolder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without RENAME_NOREPLACE: a hard link fails on any existing name too.
    if (::linkat(fromFolder, from.constData(), toFolder, to.constData(), 0) != 0)
        return errno;
    ::unlinkat(fromFolder, from.constData(), 0);
    return 0;
}

// Moves `from` to `fileName` or its first free numbered form; the final name, or the error.
std::optional<QString> placeUnderFreeName(int fromFolder, const QByteArray& from, int toFolder,
                                          const QString& fileName, int* error) {
    for (int number = 1; number <= kMaxNumber; ++number) {
        const QString name = number == 1 ? fileName : numberedFileName(fileName, number);
        *error = renameNoReplace(fromFolder, from, toFolder, QFile::encodeName(name));
        if (*error == 0)
            return name;
        if (*error != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

QString numberedFileName(const QString& fileName, int number) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype stemEnd = dot > 0 ? dot : fileName.size();
    const QString tail = QStringLiteral(" (%1)").arg(number) + fileName.mid(stemEnd);
    const qsizetype room = std::max<qsizetype>(0, kMaxNameBytes - tail.toUtf8().size());
    return leftUtf8Bytes(fileName.left(stemEnd), room) + tail;
}

std::optional<QString> moveToFreeName(const QString& sourcePath, const QString& folder,
                                      const QString& fileName, QString* error) {
    const int folderFd = openFolder(folder);
    if (folderFd < 0) {
        const int failure = errno;
        *error = QStringLiteral("cannot open the folder %1: %2").arg(folder, failureText(failure));
        return std::nullopt;
    }
    int failure = 0;
    const std::optional<QString> name =
        placeUnderFreeName(AT_FDCWD, QFile::encodeName(sourcePath), folderFd, fileName, &failure);
    ::close(folderFd);
    if (!name) {
        *error = QStringLiteral("cannot save %1 as %2: %3")
                     .arg(sourcePath, QDir(folder).filePath(fileName), failureText(failure));
        return std::nullopt;
    }
    return QDir(folder).filePath(*name);
}

NewFileWriter::~NewFileWriter() {
    discard();
}

bool NewFileWriter::open(const QString& folder, const QString& fileName) {
    discard();
    m_folder = folder;
    m_fileName = fileName;
    m_finalPath.clear();
    m_error.clear();
    m_folderFd = openFolder(folder);
    if (m_folderFd < 0)
        return failWith(QStringLiteral("cannot open the folder %1"), folder, errno);
    for (int attempt = 0; attempt < kTempNameAttempts && m_fd < 0; ++attempt) {
        m_tempName = randomTempName();
        m_fd = ::openat(m_folderFd, m_tempName.constData(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0)
        return failWith(QStringLiteral("cannot create %1"), intendedPath(), errno);
    return true;
}

bool NewFileWriter::write(const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t n = ::write(m_fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failWith(QStringLiteral("cannot write %1"), intendedPath(),
                            n < 0 ? errno : ENOSPC);
        data += n;
        size -= n;
    }
    return true;
}

bool NewFileWriter::commit(Placement placement) {
    if (::close(std::exchange(m_fd, -1)) != 0)
        return failWith(QStringLiteral("cannot write %1"), intendedPath(), errno);
    int failure = 0;
    std::optional<QString> name;
    if (placement == Placement::FreeName)
        name = placeUnderFreeName(m_folderFd, m_tempName, m_folderFd, m_fileName, &failure);
    else if (::renameat(m_folderFd, m_tempName.constData(), m_folderFd,
                        QFile::encodeName(m_fileName).constData()) == 0)
        name = m_fileName;
    else
        failure = errno;
    if (!name)
        return failWith(QStringLiteral("cannot save %1"), intendedPath(), failure);
    m_tempName.clear();
    m_finalPath = QDir(m_folder).filePath(*name);
    closeFolder();
    return true;
}

void NewFileWriter::discard() {
    if (m_fd >= 0)
        ::close(std::exchange(m_fd, -1));
    if (m_folderFd >= 0 && !m_tempName.isEmpty())
        ::unlinkat(m_folderFd, m_tempName.constData(), 0);
    m_tempName.clear();
    closeFolder();
}

QString NewFileWriter::intendedPath() const {
    return QDir(m_folder).filePath(m_fileName);
}

bool NewFileWriter::failWith(const QString& what, const QString& subject, int error) {
    m_error = what.arg(subject) + QStringLiteral(": ") + failureText(error);
    discard();
    return false;
}

void NewFileWriter::closeFolder() {
    if (m_folderFd >= 0)
        ::close(std::exchange(m_folderFd, -1));
}

} // namespace mirelo
