#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

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

ByteProcess::ByteProcess(QList<QByteArray> argv, const QString& logs, const QString& tmp,
                         const QStringList& settings)
    : m_out(logs + QStringLiteral("/out")), m_err(logs + QStringLiteral("/err")) {
    std::vector<char*> args;
    for (QByteArray& a : argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), tmp);
    for (const QString& setting : settings)
        environment.insert(setting.section(QLatin1Char('='), 0, 0),
                           setting.section(QLatin1Char('='), 1));
    QList<QByteArray> env;
    for (const QString& entry : environment.toStringList())
        env += entry.toUtf8();
    std::vector<char*> envp;
    for (QByteArray& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray out = QFile::encodeName(m_out), err = QFile::encodeName(m_err);
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    if (::posix_spawnp(&m_pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&actions);
}

ByteRun ByteProcess::wait() {
    ByteRun r;
    int status = 0;
    if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid)
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = readFile(m_out);
    r.err = readFile(m_err);
    return r;
}

QByteArray readBytePath(const QByteArray& path) {
    QByteArray bytes;
    if (FILE* f = std::fopen(path.constData(), "rb")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
            bytes.append(buffer, qsizetype(n));
        std::fclose(f);
    }
    return bytes;
}

QList<QByteArray> namesIn(const QByteArray& folder) {
    QList<QByteArray> names;
    if (DIR* d = ::opendir(folder.constData())) {
        while (const dirent* e = ::readdir(d))
            if (qstrcmp(e->d_name, ".") != 0 && qstrcmp(e->d_name, "..") != 0)
                names += QByteArray(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

double probedSecondsOf(const QByteArray& path, const QString& logs) {
    ByteProcess ffprobe(
        {"ffprobe", "-v", "error", "-show_entries", "format=duration", "-of", "csv=p=0", path},
        logs, QDir::tempPath());
    return ffprobe.wait().out.trimmed().toDouble();
}

QString appDir() {
    return QStringLiteral(MIRELO_APP_DIR);
}
QString sourceDir() {
    return QStringLiteral(MIRELO_SOURCE_DIR);
}

} // namespace mirelo::test
