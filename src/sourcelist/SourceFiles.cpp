#include "sourcelist/SourceFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace mirelo {

namespace {

// Trailing characters a dropped file may end in.
const char* const kDropEndings[] = {
    "AVI", "MPG", "WMV", "FLV", "ASF", "MOV",  "MP4",  "3GP",
    "3G2", "SWF", "MKV", "QT",  "RM",  "MPEG", "RMVB", "DIVX",
};

const OpenDialogFilter kOpenDialogFilters[] = {
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

std::span<const OpenDialogFilter> openDialogFilters() {
    return kOpenDialogFilters;
}

QString dialogNameFilter(const OpenDialogFilter& filter) {
    const QString patterns =
        QString::fromLatin1(filter.patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
    return QString::fromLatin1(filter.text) + QStringLiteral(" (") + patterns + QLatin1Char(')');
}

QStringList filesFromCommandLine(const QStringList& arguments, const QString& workingFolder) {
    QStringList files;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (argument.isEmpty() || (!optionsEnded && argument.startsWith(QLatin1Char('-'))))
            continue;
        const QDir folder(workingFolder);
        const QUrl url(argument);
        QString path = argument;
        if (QFileInfo::exists(folder.absoluteFilePath(argument)))
            path = argument; // an existing file, whatever its name looks like
        else if (url.isLocalFile())
            path = url.toLocalFile();
        else if (url.scheme().size() > 1)
            continue; // a web address or another scheme: not a file on this machine
        files << QDir::cleanPath(folder.absoluteFilePath(path));
    }
    return files;
}

} // namespace mirelo
