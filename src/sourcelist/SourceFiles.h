#pragma once

#include <QString>
#include <QStringList>

#include <span>

namespace mirelo {

// True when a dropped file may enter the source list. Only the path's trailing characters count,
// compared case-insensitively and without requiring a dot (so "uniform" passes for its "rm").
bool isAcceptedDropPath(const QString& path);

// One entry of the open dialog's filter list.
struct OpenDialogFilter {
    const char* text;     // shown to the user
    const char* patterns; // separated by ';'
};

// The open dialog's filters in order; the first is preselected.
std::span<const OpenDialogFilter> openDialogFilters();

// A filter in the dialog's "text (pattern pattern ...)" form.
QString dialogNameFilter(const OpenDialogFilter& filter);

// The files a file manager's "Open with" (or a terminal) hands the desktop program, after its
// name: paths relative to workingFolder or absolute, and file:// addresses. Arguments starting
// with "-" are options, not files, until a "--"; other addresses are left out.
QStringList filesFromCommandLine(const QStringList& arguments, const QString& workingFolder);

} // namespace mirelo
