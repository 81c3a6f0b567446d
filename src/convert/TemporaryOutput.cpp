#include "convert/TemporaryOutput.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirelo {

namespace {

constexpr char kFolderPrefix[] = ".mirelo-";
constexpr char kFolderTemplate[] = ".mirelo-XXXXXX";

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Empties a folder of ours and removes it. Entries are unlinked by name inside the opened folder:
// a link is removed, never followed.
bool removeFolder(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    const int listing = ::dup(fd); // closedir() closes it
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir && listing >= 0)
        ::close(listing);
    if (dir) {
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            if (::unlinkat(fd, name, 0) != 0 && errno == EISDIR)
                ::unlinkat(fd, name, AT_REMOVEDIR);
        }
        ::closedir(dir);
    }
    ::close(fd);
    return ::rmdir(path.constData()) == 0;
}

// Takes the folder's lock without waiting; the lock ends with the process that holds it.
int lockFolder(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

QString temporaryOutputPath(const QString& finalPath) {
    const QFileInfo info(finalPath);
    const QString suffix =
        info.fileName().contains(QLatin1Char('.')) ? QLatin1Char('.') + info.suffix() : QString();
    return info.dir().filePath(QLatin1String(kFolderTemplate) + QStringLiteral("/out") + suffix);
}

TemporaryOutput::~TemporaryOutput() {
    remove();
}

bool TemporaryOutput::create(const QString& plannedPath, QString* error) {
    remove();
    const QFileInfo planned(plannedPath);
    // A run that starts at this very moment may take a folder not locked yet for a stale one:
    // then it is made again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        QByteArray folder = QFile::encodeName(planned.path());
        if (::mkdtemp(folder.data()) == nullptr) { // mode 0700, a name nobody can guess
            if (error)
                *error = QStringLiteral("No temporary folder can be made in %1: %2")
                             .arg(QFileInfo(planned.path()).path(), systemError());
            return false;
        }
        m_lock = lockFolder(folder);
        if (m_lock >= 0) {
            m_folder = QFile::decodeName(folder);
            m_file = QDir(m_folder).filePath(planned.fileName());
            return true;
        }
        ::rmdir(folder.constData());
    }
    if (error)
        *error = QStringLiteral("No temporary folder can be kept in %1.")
                     .arg(QFileInfo(planned.path()).path());
    return false;
}

void TemporaryOutput::remove() {
    if (m_folder.isEmpty())
        return;
    removeFolder(QFile::encodeName(m_folder));
    if (m_lock >= 0)
        ::close(m_lock);
    m_lock = -1;
    m_folder.clear();
    m_file.clear();
}

MoveOutcome moveOutput(const QString& from, const QString& to, bool replace, QString* error) {
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    // rename() replaces a link at the target; it never writes through it.
    if (replace ? ::rename(source.constData(), target.constData()) == 0
                : ::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(),
                              RENAME_NOREPLACE) == 0)
        return MoveOutcome::Moved;
    if (!replace && (errno == EINVAL || errno == ENOSYS)) {
        // A file system without the no-replace rename: a new hard link fails on a taken name.
        if (::link(source.constData(), target.constData()) == 0) {
            ::unlink(source.constData());
            return MoveOutcome::Moved;
        }
    }
    if (errno == EEXIST)
        return MoveOutcome::NameTaken;
    if (error)
        *error = systemError();
    return MoveOutcome::Failed;
}

int removeStaleTemporaryOutputs(const QString& folder) {
    int removed = 0;
    const QDir dir(folder);
    const QStringList names =
        dir.entryList({QLatin1String(kFolderPrefix) + QLatin1Char('*')},
                      QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (name.size() != int(sizeof kFolderTemplate) - 1)
            continue;
        const QByteArray path = QFile::encodeName(dir.filePath(name));
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
            continue;
        const int lock = lockFolder(path); // fails while a running conversion holds it
        if (lock < 0)
            continue;
        if (removeFolder(path))
            ++removed;
        ::close(lock);
    }
    return removed;
}

} // namespace mirelo
