#include "sourcelist/SourceFiles.h"

#include "base/ByteNames.h"
#include "profiles/Catalog.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QUrl>

#include <optional>

namespace mirelo {

namespace {

// Trailing characters a dropped file may end in.
const char* const kDropEndings[] = {
    "AVI", "MPG", "WMV", "FLV", "ASF", "MOV",  "MP4",  "3GP",
    "3G2", "SWF", "MKV", "QT",  "RM",  "MPEG", "RMVB", "DIVX",
};

struct FilterText {
    const char* text;
    const char* patterns;
};

const FilterText kOpenDialogFilters[] = {
    {"All supported media files",
     "*.avi;*.wmv;*.wma;*.asf;*.mov;*.mp4;*.3gp;*.3g2;*.rm;*.rmvb;*.flv;*.mkv;*.m2ts;*.m1v;*.mpe;"
     "*.mpg;*.mpeg;*.m2v;*.divx;*.ogm;*.vro;*.dr;*.amv"},
    {"Windows Media files (*.avi;*.wmv;*.wma;*.asf)", "*.avi;*.wmv;*.wma;*.asf"},
    {"Mov/MP4 Files (*.mov;*.mp4;*.3gp;*.3g2)", "*.mov;*.mp4;*.3gp;*.3g2"},
    {"Real Media Files (*.rm;*.rmvb)", "*.rm;*.rmvb"},
    {"Flash Video files (*.flv)", "*.flv"},
    {"Matroska Video files (*.mkv)", "*.mkv"},
    {"Sony High Definition Video File (*.m2ts)", "*.m2ts"},
    {"MPEG-1 Video File (*.m1v;*.mpe;*.mpg;*.mpeg)", "*.m1v;*.mpe;*.mpg;*.mpeg"},
    {"MPEG-2 Video File (*.m2v;*.mpe;*.mpg;*.mpeg)", "*.m2v;*.mpe;*.mpg;*.mpeg"},
    {"Divx Video File (*.divx)", "*.divx"},
    {"Ogg Media File (*.ogm)", "*.ogm"},
    {"DVD-VR Video File(*.vro)", "*.vro"},
    {"Other Video File(*.dr;*.amv)", "*.dr;*.amv"},
    {"All files (*.*)", "*.*"},
};

} // namespace

bool isAcceptedDropPath(const QString& path) {
    for (const char* ending : kDropEndings) {
        if (path.endsWith(QLatin1String(ending), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

std::vector<OpenDialogFilter> openDialogFilters() {
    std::vector<OpenDialogFilter> filters;
    for (const FilterText& f : kOpenDialogFilters)
        filters.push_back({QString::fromLatin1(f.text), QString::fromLatin1(f.patterns)});
    for (const QString& extension : audioProfileExtensions()) {
        const QString pattern = QLatin1Char('*') + extension;
        if (!filters.front().patterns.split(QLatin1Char(';')).contains(pattern))
            filters.front().patterns += QLatin1Char(';') + pattern;
    }
    return filters;
}

QStringList audioProfileExtensions() {
    QStringList extensions;
    for (const CatalogRow& row : catalogRows()) {
        const bool sound = row.layout == CommandLayout::Audio || row.layout == CommandLayout::Wma;
        const QString extension = outputExtension(QString::fromLatin1(row.text)).toLower();
        if (row.kind == RowKind::Profile && sound && !extension.isEmpty() &&
            !extensions.contains(extension))
            extensions << extension;
    }
    return extensions;
}

QString addRefusal(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists())
        return QStringLiteral("no such file");
    if (file.isDir())
        return QStringLiteral("a folder, not a file");
    if (!file.isReadable())
        return QStringLiteral("cannot be read (no permission)");
    return {};
}

namespace {
const QString kAddFilesFolderKey = QStringLiteral("AddFiles/folder");
} // namespace

QString readAddFilesFolder(const QString& file) {
    if (!QFileInfo(file).isFile())
        return {};
    return QSettings(file, QSettings::IniFormat).value(kAddFilesFolderKey).toString();
}

void writeAddFilesFolder(const QString& file, const QString& folder) {
    QSettings store(file, QSettings::IniFormat);
    store.setValue(kAddFilesFolderKey, folder);
}

QString dialogNameFilter(const OpenDialogFilter& filter) {
    const QString patterns = QString(filter.patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
    return filter.text + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

namespace {

// The file an argument that is text names; none for an address of another machine.
std::optional<QString> fileFromArgument(const QString& argument, const QDir& folder) {
    const QUrl url(argument);
    QString path = argument;
    if (QFileInfo::exists(folder.absoluteFilePath(argument)))
        path = argument; // an existing file, whatever its name looks like
    else if (url.isLocalFile())
        path = url.toLocalFile();
    else if (url.scheme().size() > 1)
        return std::nullopt; // a web address or another scheme: not a file on this machine
    return QDir::cleanPath(folder.absoluteFilePath(path));
}

// A name that is not UTF-8 is listed as a link to it; one that cannot be made is a problem.
void listByteName(const QByteArray& path, StandInLinks& standIns, QStringList& files,
                  QStringList* problems) {
    QString error;
    if (const QString link = standIns.add(path, &error); !link.isEmpty())
        files << link;
    else
        *problems << QStringLiteral("%1 cannot be listed: %2").arg(visibleName(path), error);
}

// "file:///a%20b", "file://localhost/a" or "file:/a" as the bytes of the path; nothing for an
// address of another scheme or machine.
std::optional<QByteArray> localPathOf(const QByteArray& address) {
    if (!address.toLower().startsWith("file:"))
        return std::nullopt;
    QByteArray rest = address.mid(5);
    if (rest.startsWith("//")) {
        const qsizetype slash = rest.indexOf('/', 2);
        const QByteArray host = rest.mid(2, slash < 0 ? -1 : slash - 2).toLower();
        if (slash < 0 || (!host.isEmpty() && host != "localhost"))
            return std::nullopt;
        rest = rest.mid(slash);
    }
    return QByteArray::fromPercentEncoding(rest);
}

} // namespace

QStringList filesFromCommandLine(const QList<QByteArray>& arguments, const QString& workingFolder,
                                 StandInLinks& standIns, QStringList* problems) {
    QStringList files;
    const QDir folder(workingFolder);
    bool optionsEnded = false;
    for (const QByteArray& argument : arguments) {
        if (!optionsEnded && argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument.isEmpty() || (!optionsEnded && argument.startsWith('-')))
            continue;
        if (isUtf8(argument)) {
            if (const std::optional<QString> file =
                    fileFromArgument(QString::fromUtf8(argument), folder))
                files << *file;
            continue;
        }
        // Not an address either: addresses escape such bytes.
        const QByteArray path = argument.startsWith('/')
                                    ? argument
                                    : QFile::encodeName(folder.absolutePath()) + '/' + argument;
        listByteName(path, standIns, files, problems);
    }
    return files;
}

QStringList filesFromUriList(const QByteArray& uriList, StandInLinks& standIns,
                             QStringList* problems) {
    QStringList files;
    for (const QByteArray& line : uriList.split('\n')) {
        const QByteArray address = line.trimmed();
        if (address.isEmpty() || address.startsWith('#'))
            continue;
        const std::optional<QByteArray> path = localPathOf(address);
        if (!path || path->isEmpty())
            continue;
        if (isUtf8(*path))
            files << QString::fromUtf8(*path);
        else
            listByteName(*path, standIns, files, problems);
    }
    return files;
}

} // namespace mirelo
