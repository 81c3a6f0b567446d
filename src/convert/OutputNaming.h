#pragma once

#include <QByteArray>
#include <QPair>
#include <QSet>
#include <QString>

namespace mirelo {

// The input's file name up to its first "." ("clip.part1.avi" gives "clip"). A name without a "."
// is its own stem; leading dots of a hidden file's name do not count.
QString inputStem(const QString& inputPath);

// True when both paths name the same file (links and doubled separators included).
bool isSameFile(const QString& a, const QString& b);

// The output names a run has given to its rows, and its rows' sources. An output the run has
// produced or is producing is never replaced by a later row of the same run, whatever the
// existing-file policy: two files with one stem (show.part1.avi, show.part2.avi) would otherwise
// end as one output. Nor does an output ever take the name of a source of the run, converted or
// not, or of a hard or symbolic link to one: v.avi's output must not replace v.mp4 before v.mp4 is
// converted.
class OutputReservations {
public:
    bool contains(const QString& path) const { return m_paths.contains(key(path)); }
    void addSource(const QString& path);
    // True when the path names a source of the run, or a file that is one (a link to it).
    bool isSource(const QString& path) const;
    void reserve(const QString& path) { m_paths.insert(key(path)); }
    void release(const QString& path) { m_paths.remove(key(path)); }
    // The absolute byte paths of outputs named by bytes that are not UTF-8.
    QSet<QByteArray>& byteNames() { return m_byteNames; }
    void clear() {
        m_paths.clear();
        m_byteNames.clear();
        m_sourcePaths.clear();
        m_sourceFiles.clear();
    }

private:
    static QString key(const QString& path);
    QSet<QString> m_paths;
    QSet<QByteArray> m_byteNames;
    QSet<QString> m_sourcePaths;
    QSet<QPair<quint64, quint64>> m_sourceFiles; // device and inode
};

// The output path of a job. Under the keep policy, while the name is taken, the taken name is cut
// before its first "." and "_New" is added (a.mp4, a_New.mp4, a_New_New.mp4, ...). Under the
// overwrite policy the name is kept, except that the source itself is never a target. A name the
// run has reserved, and the name of any source of the run, count as taken under both policies. A
// name longer than the file system takes (255 bytes) is shortened at the end of its stem, by whole
// characters.
QString chooseOutputPath(const QString& folder, const QString& stem, const QString& extension,
                         const QString& inputPath, bool overwrite,
                         const OutputReservations* reserved = nullptr);

} // namespace mirelo
