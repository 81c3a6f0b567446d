#pragma once

// File names are bytes on Linux, and Qt decodes them as UTF-8, replacing what does not decode.
// A name that is not UTF-8 therefore cannot travel as a QString: it reaches the programs through
// a stand-in link with a UTF-8 name, and an output named after it is moved to its byte name.

#include <QByteArray>
#include <QSet>
#include <QString>

#include <utility>
#include <vector>

namespace mirelo {

bool isUtf8(const QByteArray& bytes);

// The name for messages: what decodes as UTF-8 as it is, every other byte as "\xNN".
QString visibleName(const QByteArray& bytes);

// The byte name's stem as outputs take it: leading dots dropped, then up to the first ".".
QByteArray byteStem(const QByteArray& fileName);

// A private folder of links with UTF-8 names, each pointing at a file named by bytes. The links
// and the folder go when the object does (or on remove()); what they point at is never touched.
class StandInLinks {
public:
    StandInLinks() = default;
    ~StandInLinks();
    StandInLinks(const StandInLinks&) = delete;
    StandInLinks& operator=(const StandInLinks&) = delete;

    // A path that opens the file `path` names (relative to the working folder), or an empty
    // string with the reason in *error.
    QString add(const QByteArray& path, QString* error);
    bool isStandIn(const QString& path) const { return target(path) != nullptr; }
    // The absolute byte path behind a stand-in; nullptr for any other path.
    const QByteArray* target(const QString& path) const;
    // The path as the user should read it: a stand-in shows its target's visible name.
    QString visible(const QString& path) const;
    // The text with every stand-in path in it shown as visible() shows it.
    QString visibleText(QString text) const;
    // The text as UTF-8 with every stand-in path in it put back as the bytes it stands for.
    QByteArray originalBytes(const QString& text) const;
    QString folder() const { return QString::fromUtf8(m_folder); }
    void remove();

private:
    bool makeFolder(QString* error);

    QByteArray m_folder;
    std::vector<std::pair<QString, QByteArray>> m_links; // stand-in, absolute target
};

struct ByteOutput {
    QByteArray path; // where the output now is; empty on failure
    QString error;
};

// Moves the finished output `produced` to folder/stem + extension, never following a link there.
// While that name is taken (under the keep policy), is the input itself, or is one of
// `runOutputs` (what this run has produced), "_New" is added to the stem. Under the overwrite
// policy an existing file (or link) is replaced, but never a folder. The name taken is added to
// `runOutputs`.
ByteOutput moveToByteName(const QString& produced, const QString& folder, const QByteArray& stem,
                          const QString& extension, const QByteArray& input, bool overwrite,
                          QSet<QByteArray>& runOutputs);

} // namespace mirelo
