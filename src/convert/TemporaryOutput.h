#pragma once

#include <QString>

namespace mirelo {

// Where the encoder writes until its row ends "OK": "out.EXT" in a private folder
// ".mirelo-XXXXXX" of the output folder. The folder is made with an unpredictable name, only its
// owner may enter it, so nobody can plant a link where the encoder writes; and its short name
// works for any output name that fits the file system.
//
// The planned path, with the folder's name still "XXXXXX"; the job makes the folder as it starts.
QString temporaryOutputPath(const QString& finalPath);

// The private folder of one conversion. It stays locked while it exists, so that a later run can
// tell a folder a crashed run left from one in use; it is removed, with what the encoder wrote,
// in every outcome (remove(), or the destructor).
class TemporaryOutput {
public:
    TemporaryOutput() = default;
    ~TemporaryOutput();
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    // Makes the folder the planned path names. False, with a message naming the folder, when the
    // output folder does not take it.
    bool create(const QString& plannedPath, QString* error);
    // The file the encoder writes; empty before create().
    QString filePath() const { return m_file; }
    void remove();

private:
    QString m_folder;
    QString m_file;
    int m_lock = -1;
};

enum class MoveOutcome { Moved, NameTaken, Failed };

// Gives a finished output its final name without ever writing through a link: a link at the
// final name is replaced (replace) or counts as a taken name (keep). NameTaken: under the keep
// policy the name exists; Failed: with the system's reason in *error.
MoveOutcome moveOutput(const QString& from, const QString& to, bool replace, QString* error);

// Removes the private folders that a crashed or killed run left in an output folder (never one
// in use by a running conversion, never one of another user). Returns how many were removed.
int removeStaleTemporaryOutputs(const QString& folder);

} // namespace mirelo
