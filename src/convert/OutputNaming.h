#pragma once

#include <QString>

namespace mirelo {

// The input's file name up to its first "." ("clip.part1.avi" gives "clip"). A name without a "."
// is its own stem; leading dots of a hidden file's name do not count.
QString inputStem(const QString& inputPath);

// True when both paths name the same file (links and doubled separators included).
bool isSameFile(const QString& a, const QString& b);

// The output path of a job. Under the keep policy, while the name is taken, the taken name is cut
// before its first "." and "_New" is added (a.mp4, a_New.mp4, a_New_New.mp4, ...). Under the
// overwrite policy the name is kept, except that the source itself is never a target.
QString chooseOutputPath(const QString& folder, const QString& stem, const QString& extension,
                         const QString& inputPath, bool overwrite);

} // namespace mirelo
