#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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

// Folder of the built application (executables and shipped resources).
QString appDir();
QString sourceDir();

} // namespace mirelo::test
