// Downloading a 400 MB stream from a server on 127.0.0.1: mirelo-cli import --download against
// curl, same server, same run, in alternating order. Also the peak memory (VmHWM) of each.

#include "BenchSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace mirelo::bench;

namespace {

constexpr qint64 kStreamBytes = 400LL * 1024 * 1024;
constexpr int kRounds = 5;

// The watch page the import reads, pointing at the server's stream.
QByteArray watchPage(const LoopbackServer& server) {
    const QByteArray link = QUrl::toPercentEncoding(server.url("/stream"));
    const QByteArray map = QUrl::toPercentEncoding(QString::fromLatin1("22|" + link));
    return "\"fmt_url_map\": \"" + map +
           "\", 'VIDEO_ID': 'bench', 'VIDEO_TITLE': 'download bench',\n";
}

struct Run {
    double seconds = -1;
    long peakKb = 0; // the child's VmHWM
};

long vmHwmKb(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/status", int(pid));
    std::FILE* status = std::fopen(path, "r");
    if (!status)
        return 0;
    long kb = 0;
    char line[256];
    while (std::fgets(line, sizeof line, status))
        if (std::sscanf(line, "VmHWM: %ld kB", &kb) == 1)
            break;
    std::fclose(status);
    return kb;
}

// Runs a program to its end, timing it and reading its peak resident memory. The peak is read
// from /proc while it runs: the kernel's figure at the end (ru_maxrss) also counts the memory of
// this process, which a spawned child starts out sharing.
Run measure(const QStringList& command) {
    std::vector<QByteArray> bytes;
    for (const QString& a : command)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Run run;
    if (spawned != 0) {
        std::fprintf(stderr, "bench: cannot run %s\n", qPrintable(command.join(' ')));
        return run;
    }
    std::atomic<bool> ended{false};
    std::atomic<long> peakKb{0};
    std::thread poller([&] {
        while (!ended) {
            peakKb = std::max(peakKb.load(), vmHwmKb(pid));
            ::usleep(2000);
        }
    });
    int status = 0;
    const bool waited = ::waitpid(pid, &status, 0) == pid;
    ended = true;
    poller.join();
    if (!waited || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "bench: %s failed\n", qPrintable(command.join(' ')));
        return run;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKb = peakKb;
    return run;
}

bool sizeIs(const QString& path, qint64 size) {
    const bool ok = QFile(path).size() == size;
    if (!ok)
        std::fprintf(stderr, "bench: %s is not %lld bytes\n", qPrintable(path), size);
    QFile::remove(path);
    return ok;
}

} // namespace

int main() {
    const QString curl = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (curl.isEmpty()) {
        std::fprintf(stderr, "bench: the reference program \"curl\" was not found on PATH\n");
        return 1;
    }
    LoopbackServer server(kStreamBytes);
    QTemporaryDir dir;
    if (!server.listen() || !dir.isValid()) {
        std::fprintf(stderr, "bench: cannot listen on 127.0.0.1 or create a folder\n");
        return 1;
    }
    server.setPage("/watch", watchPage(server));
    const QString curlFile = QDir(dir.path()).filePath(QStringLiteral("curl.mp4"));
    const QString cliFile = QDir(dir.path()).filePath(QStringLiteral("download bench.mp4"));
    const QStringList curlCommand = {curl, "-s", "-f", "-o", curlFile, server.url("/stream")};
    const QStringList cliCommand = {
        MIRELO_CLI_PATH, "import", server.url("/watch"), "--download", "22", "--dest", dir.path()};

    std::printf("download a %lld MB stream from 127.0.0.1, %d rounds in alternating order\n",
                kStreamBytes >> 20, kRounds);
    std::vector<double> curlTimes, cliTimes, ratios;
    long curlPeak = 0, cliPeak = 0;
    for (int round = 0; round < kRounds; ++round) {
        Run curlRun, cliRun;
        if (round % 2 == 0) {
            curlRun = measure(curlCommand);
            cliRun = measure(cliCommand);
        } else {
            cliRun = measure(cliCommand);
            curlRun = measure(curlCommand);
        }
        if (curlRun.seconds < 0 || cliRun.seconds < 0 || !sizeIs(curlFile, kStreamBytes) ||
            !sizeIs(cliFile, kStreamBytes))
            return 1;
        curlTimes.push_back(curlRun.seconds);
        cliTimes.push_back(cliRun.seconds);
        ratios.push_back(cliRun.seconds / curlRun.seconds);
        curlPeak = std::max(curlPeak, curlRun.peakKb);
        cliPeak = std::max(cliPeak, cliRun.peakKb);
        std::printf("round %d: curl %.2f s, mirelo-cli %.2f s (peak %.1f MB), ratio %.2f\n",
                    round + 1, curlRun.seconds, cliRun.seconds, cliRun.peakKb / 1024.0,
                    ratios.back());
    }
    const double ratio = median(ratios);
    std::printf("curl:       median %.2f s (%.0f MB/s), peak memory (VmHWM) %.1f MB\n",
                median(curlTimes), (kStreamBytes >> 20) / median(curlTimes), curlPeak / 1024.0);
    std::printf("mirelo-cli: median %.2f s (%.0f MB/s), peak memory (VmHWM) %.1f MB\n",
                median(cliTimes), (kStreamBytes >> 20) / median(cliTimes), cliPeak / 1024.0);
    std::printf("ratio mirelo-cli / curl (median of rounds): %.2f (target <= 1.10)\n", ratio);
    std::printf("peak memory of mirelo-cli: %.1f MB (target < 64 MB)\n", cliPeak / 1024.0);
    return 0;
}
