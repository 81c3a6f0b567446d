#include "common/TestSupport.h"

#include <QProcess>

namespace mirelo::test {

CliResult runCli(const QStringList& args, int timeoutMs) {
    return runCliIn(QProcessEnvironment::systemEnvironment(), args, timeoutMs);
}

CliResult runCliIn(const QProcessEnvironment& environment, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(QStringLiteral(MIRELO_CLI_PATH), args);
    CliResult r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QString appDir() {
    return QStringLiteral(MIRELO_APP_DIR);
}
QString sourceDir() {
    return QStringLiteral(MIRELO_SOURCE_DIR);
}

} // namespace mirelo::test
