#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace mirelo {

// `fileName` with a number for a second, third... copy: "Title (2).mp4". The number goes before the
// last extension; the rest of the name is shortened so that the result fits in 255 bytes.
QString numberedFileName(const QString& fileName, int number);

// Moves the file `sourcePath` into `folder` under `fileName`, or under the first free numbered name
// when that one is taken (by anything: a file, a folder, a symbolic link). Never replaces an
// existing entry and never follows a link at the destination. Both must be on one file system.
// Returns the final path, or nullopt with the reason in *error.
std::optional<QString> moveToFreeName(const QString& sourcePath, const QString& folder,
                                      const QString& fileName, QString* error);

// A new file for `folder`/`fileName`, written under a private temporary name in that folder
// (created exclusively, never through a symbolic link) and moved to a free name by commit(). A
// writer that is destroyed or discarded before commit() leaves nothing behind.
class NewFileWriter {
public:
    // Where commit() puts the file: under a free name (downloads), or in place of whatever has the
    // name (a cache entry); a symbolic link there is replaced, never written through.
    enum class Placement { FreeName, Replace };

    NewFileWriter() = default;
    ~NewFileWriter();
    NewFileWriter(const NewFileWriter&) = delete;
    NewFileWriter& operator=(const NewFileWriter&) = delete;

    // False, with errorString() naming the file, when the temporary file cannot be created.
    bool open(const QString& folder, const QString& fileName);
    bool isOpen() const { return m_fd >= 0; }
    // Writes every byte or fails with the system's reason ("No space left on device").
    bool write(const char* data, qint64 size);
    // Closes the file and gives it its final name (FreeName: see moveToFreeName).
    bool commit(Placement placement = Placement::FreeName);
    void discard();

    // The path asked for, and after commit() the path the file took.
    QString intendedPath() const;
    QString finalPath() const { return m_finalPath; }
    QString errorString() const { return m_error; }

private:
    // `what` with %1 for `subject`; `error` is an errno value, taken before anything could change
    // it.
    bool failWith(const QString& what, const QString& subject, int error);
    void closeFolder();

    int m_folderFd = -1;
    int m_fd = -1;
    QByteArray m_tempName;
    QString m_folder;
    QString m_fileName;
    QString m_finalPath;
    QString m_error;
};

} // namespace mirelo
