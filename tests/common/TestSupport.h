#pragma once

#include <QByteArray>
#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <sys/types.h>
#include <utility>

namespace mirelo::test {

struct CliResult {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the built mirelo-cli with the arguments and waits for it (tests only).
CliResult runCli(const QStringList& args, int timeoutMs = 120000);
// The same in the given environment.
CliResult runCliIn(const QProcessEnvironment& environment, const QStringList& args,
                   int timeoutMs = 120000);
// Any program the same way (a copy of mirelo-cli elsewhere, for one).
CliResult runProgram(const QString& program, const QStringList& args,
                     const QProcessEnvironment& environment, int timeoutMs = 120000);

// Writes a file, making its folder; the test fails when it cannot.
void writeFile(const QString& path, const QByteArray& bytes);
// A file's bytes; empty when it cannot be read.
QByteArray readFile(const QString& path);

// QTemporaryDir cannot remove names that are not UTF-8 (Qt decodes them): this empties the folder
// by bytes, without following links. Declare one after the QTemporaryDir it cleans.
class ByteNamesCleaner {
public:
    explicit ByteNamesCleaner(QString folder) : m_folder(std::move(folder)) {}
    ~ByteNamesCleaner();
    ByteNamesCleaner(const ByteNamesCleaner&) = delete;
    ByteNamesCleaner& operator=(const ByteNamesCleaner&) = delete;

private:
    QString m_folder;
};

// A program run with its raw argument vector: QProcess passes arguments as UTF-8 text, and names
// that are not UTF-8 need their bytes. Output goes to files in `logs`; TMPDIR is `tmp`, so that a
// private folder the program makes there is seen; `settings` ("NAME=value") replace or add to the
// rest of the environment.
struct ByteRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class ByteProcess {
public:
    ByteProcess(QList<QByteArray> argv, const QString& logs, const QString& tmp,
                const QStringList& settings = {});
    pid_t pid() const { return m_pid; }
    ByteRun wait();

private:
    QString m_out;
    QString m_err;
    pid_t m_pid = -1;
};

// The bytes of a file named by bytes; empty when it cannot be read.
QByteArray readBytePath(const QByteArray& path);
// The names in a folder, as bytes, sorted.
QList<QByteArray> namesIn(const QByteArray& folder);
// ffprobe's duration of a file named by bytes; 0 when it cannot read it. Its output goes to `logs`.
double probedSecondsOf(const QByteArray& path, const QString& logs);

// Folder of the built application (executables and shipped resources).
QString appDir();
QString sourceDir();

} // namespace mirelo::test
