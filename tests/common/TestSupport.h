#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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

// Folder of the built application (executables and shipped resources).
QString appDir();
QString sourceDir();

} // namespace mirelo::test
