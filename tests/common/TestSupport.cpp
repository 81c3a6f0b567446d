#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <ftw.h>
#include <unistd.h>

namespace mirelo::test {

CliResult runCli(const QStringList& args, int timeoutMs) {
    return runCliIn(QProcessEnvironment::systemEnvironment(), args, timeoutMs);
}

CliResult runCliIn(const QProcessEnvironment& environment, const QStringList& args, int timeoutMs) {
    return runProgram(QStringLiteral(MIRELO_CLI_PATH), args, environment, timeoutMs);
}

CliResult runProgram(const QString& program, const QStringList& args,
                     const QProcessEnvironment& environment, int timeoutMs) {
    QProcess p;
    p.setProcessEnvironment(environment);
    p.start(program, args);
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

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size()) << path.toStdString();
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

ByteNamesCleaner::~ByteNamesCleaner() {
    // Children before their folder; the root itself stays for its QTemporaryDir.
    ::nftw(
        QFile::encodeName(m_folder).constData(),
        [](const char* path, const struct stat*, int type, struct FTW* at) {
            if (at->level > 0)
                type == FTW_DP ? ::rmdir(path) : ::unlink(path);
            return 0;
        },
        16, FTW_DEPTH | FTW_PHYS);
}

QString appDir() {
    return QStringLiteral(MIRELO_APP_DIR);
}
QString sourceDir() {
    return QStringLiteral(MIRELO_SOURCE_DIR);
}

} // namespace mirelo::test
