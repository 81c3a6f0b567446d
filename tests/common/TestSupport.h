#pragma once

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

// Folder of the built application (executables and shipped resources).
QString appDir();
QString sourceDir();

} // namespace mirelo::test
