#include "base/ByteNames.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mirelo {

namespace {

constexpr qsizetype kMaxLinkName = NAME_MAX;

QString systemError(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// Length of the UTF-8 sequence starting at `at`, or 0 when the bytes there do not form one
// (overlong forms, surrogates and code points past U+10FFFF do not).
qsizetype utf8SequenceAt(const QByteArray& bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80)
        return 1;
    const qsizetype length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || at + length > bytes.size())
        return 0;
    // The second byte's range is narrower after these leads.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    if (byte(1) < low || byte(1) > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    return length;
}

QByteArray absolutePath(const QByteArray& path) {
    if (path.startsWith('/'))
        return path;
    char cwd[PATH_MAX];
    if (!::getcwd(cwd, sizeof cwd))
        return path;
    return QByteArray(cwd) + '/' + path;
}

QByteArray fileNameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// The visible name, cut to fit in a file name: what follows the stem goes first, since only the
// stem names the output. A stem that is UTF-8 fits as it is.
QString linkName(const QByteArray& fileName) {
    QString name = visibleName(fileName);
    const QString stem = visibleName(byteStem(fileName));
    qsizetype stemEnd = name.indexOf(stem) + stem.size();
    while (name.toUtf8().size() > kMaxLinkName) {
        qsizetype at = name.size() > stemEnd ? name.size() - 1 : stemEnd - 1;
        if (at > 0 && name[at].isLowSurrogate())
            --at;
        name.remove(at, name[at].isHighSurrogate() ? 2 : 1);
        stemEnd = std::min(stemEnd, name.size());
    }
    return name;
}

bool sameEntry(int dirFd, const QByteArray& name, const QByteArray& other) {
    struct stat a {
    }, b{};
    return ::fstatat(dirFd, name.constData(), &a, AT_SYMLINK_NOFOLLOW) == 0 &&
           ::lstat(other.constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isFolder(int dirFd, const QByteArray& name) {
    struct stat st {};
    return ::fstatat(dirFd, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

// rename() that never replaces; file systems without RENAME_NOREPLACE get link() and unlink().
int renameNoReplace(const QByteArray& from, int dirFd, const QByteArray& name) {
    if (::renameat2(AT_FDCWD, from.constData(), dirFd, name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return -1;
    if (::linkat(AT_FDCWD, from.constData(), dirFd, name.constData(), 0) != 0)
        return -1;
    ::unlink(from.constData());
    return 0;
}

class DirectoryFd {
public:
    explicit DirectoryFd(const QByteArray& path)
        : m_fd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~DirectoryFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    DirectoryFd(const DirectoryFd&) = delete;
    DirectoryFd& operator=(const DirectoryFd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

bool isUtf8(const QByteArray& bytes) {
    for (qsizetype i = 0; i < bytes.size();) {
        const qsizetype length = utf8SequenceAt(bytes, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

QString visibleName(const QByteArray& bytes) {
    QString visible;
    for (qsizetype i = 0; i < bytes.size();) {
        if (const qsizetype length = utf8SequenceAt(bytes, i)) {
            visible += QString::fromUtf8(bytes.mid(i, length));
            i += length;
            continue;
        }
        visible += QStringLiteral("\\x%1").arg(static_cast<unsigned char>(bytes[i]), 2, 16,
                                               QLatin1Char('0'));
        ++i;
    }
    return visible;
}

QByteArray byteStem(const QByteArray& fileName) {
    qsizetype start = 0;
    while (start < fileName.size() && fileName[start] == '.')
        ++start;
    const QByteArray name = fileName.mid(start);
    const qsizetype dot = name.indexOf('.');
    return dot < 0 ? name : name.left(dot);
}

StandInLinks::~StandInLinks() {
    remove();
}

bool StandInLinks::makeFolder(QString* error) {
    if (!m_folder.isEmpty())
        return true;
    QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/mirelo-names-XXXXXX";
    if (!::mkdtemp(pattern.data())) {
        *error = QStringLiteral("cannot make a private folder in %1: %2")
                     .arg(QDir::tempPath(), systemError(errno));
        return false;
    }
    m_folder = pattern;
    return true;
}

// Each link has a folder of its own: two inputs may have one name.
QString StandInLinks::add(const QByteArray& path, QString* error) {
    if (!makeFolder(error))
        return {};
    const QByteArray target = absolutePath(path);
    const QByteArray holder = m_folder + '/' + QByteArray::number(qsizetype(m_links.size()) + 1);
    const QByteArray link = holder + '/' + linkName(fileNameOf(target)).toUtf8();
    if (::mkdir(holder.constData(), 0700) != 0 ||
        ::symlink(target.constData(), link.constData()) != 0) {
        *error = QStringLiteral("cannot make a link to %1 in %2: %3")
                     .arg(visibleName(target), folder(), systemError(errno));
        ::rmdir(holder.constData());
        return {};
    }
    m_links.emplace_back(QString::fromUtf8(link), target);
    return m_links.back().first;
}

const QByteArray* StandInLinks::target(const QString& path) const {
    for (const auto& [link, target] : m_links)
        if (link == path)
            return &target;
    return nullptr;
}

QString StandInLinks::visible(const QString& path) const {
    const QByteArray* bytes = target(path);
    return bytes ? visibleName(*bytes) : path;
}

QString StandInLinks::visibleText(QString text) const {
    for (const auto& [link, target] : m_links)
        text.replace(link, visibleName(target));
    return text;
}

QByteArray StandInLinks::originalBytes(const QString& text) const {
    QByteArray bytes = text.toUtf8();
    for (const auto& [link, target] : m_links)
        bytes.replace(link.toUtf8(), target);
    return bytes;
}

// Only what this object made goes: the links themselves, their folders, the private folder.
void StandInLinks::remove() {
    for (const auto& [link, target] : m_links) {
        const QByteArray bytes = link.toUtf8();
        ::unlink(bytes.constData());
        ::rmdir(bytes.left(bytes.lastIndexOf('/')).constData());
    }
    m_links.clear();
    if (!m_folder.isEmpty())
        ::rmdir(m_folder.constData());
    m_folder.clear();
}

ByteOutput moveToByteName(const QString& produced, const QString& folder, const QByteArray& stem,
                          const QString& extension, const QByteArray& input, bool overwrite,
                          QSet<QByteArray>& runOutputs) {
    const QByteArray from = QFile::encodeName(produced);
    const QByteArray dir = QFile::encodeName(QDir(folder).absolutePath());
    const DirectoryFd dirFd(dir);
    if (dirFd.get() < 0)
        return {{},
                QStringLiteral("cannot open the output folder %1: %2")
                    .arg(QString::fromUtf8(dir), systemError(errno))};
    for (QByteArray name = stem;; name += "_New") {
        const QByteArray candidate = name + extension.toUtf8();
        const QByteArray full = dir + '/' + candidate;
        if (runOutputs.contains(full) || sameEntry(dirFd.get(), candidate, input))
            continue;
        if (renameNoReplace(from, dirFd.get(), candidate) != 0) {
            if (errno != EEXIST)
                return {{},
                        QStringLiteral("cannot rename %1 to %2: %3")
                            .arg(produced, visibleName(full), systemError(errno))};
            // rename() replaces a link itself, never what it points at.
            if (!overwrite || isFolder(dirFd.get(), candidate) ||
                ::renameat(AT_FDCWD, from.constData(), dirFd.get(), candidate.constData()) != 0)
                continue;
        }
        runOutputs.insert(full);
        return {full, {}};
    }
}

} // namespace mirelo
