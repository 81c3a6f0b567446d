#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

namespace mirelo {

class StandInLinks;

// True when a dropped file may enter the source list. Only the path's trailing characters count,
// compared case-insensitively and without requiring a dot (so "uniform" passes for its "rm").
bool isAcceptedDropPath(const QString& path);

// One entry of the open dialog's filter list.
struct OpenDialogFilter {
    QString text;     // shown to the user
    QString patterns; // separated by ';'
};

// The open dialog's filters in order; the first is preselected. Its patterns take in the sound
// files the audio profiles write, so a file converted to sound can be converted again.
std::vector<OpenDialogFilter> openDialogFilters();

// The extensions (".mp3") of the files the audio profiles write, in the profiles' order.
QStringList audioProfileExtensions();

// Why a file chosen or typed in the open dialog cannot be listed ("no such file"...); empty when
// it can.
QString addRefusal(const QString& path);

// The folder "Add Files" opened in last, kept in `file` (window.dat); empty when none is kept.
QString readAddFilesFolder(const QString& file);
void writeAddFilesFolder(const QString& file, const QString& folder);

// A filter in the dialog's "text (pattern pattern ...)" form.
QString dialogNameFilter(const OpenDialogFilter& filter);

// The files a file manager's "Open with" (or a terminal) hands the desktop program, after its
// name, as the raw bytes of its argument vector: paths relative to workingFolder or absolute, and
// file:// addresses. Arguments starting with "-" are options, not files, until a "--"; other
// addresses are left out. A path that is not UTF-8 cannot travel as text: it becomes a link
// `standIns` makes to it, or, when that fails, a line in *problems naming it.
QStringList filesFromCommandLine(const QList<QByteArray>& arguments, const QString& workingFolder,
                                 StandInLinks& standIns, QStringList* problems);

// The files of a drop's address list ("text/uri-list": one address a line, "#" lines are
// comments). Only file: addresses on this machine count; their %-escapes are the name's bytes, so
// a name that is not UTF-8 reaches the list through a stand-in link as on the command line.
QStringList filesFromUriList(const QByteArray& uriList, StandInLinks& standIns,
                             QStringList* problems);

} // namespace mirelo
