// Downloading a 400 MB stream from a server on 127.0.0.1: mirelo-cli import --download against
// curl, same server, same run, in alternating order. Also the peak memory (VmHWM) of each.

#include "BenchSupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace mirelo::bench;

namespace {

constexpr qint64 kStreamBytes = 400LL * 1024 * 1024;
constexpr int kRounds = 5;

// A minimal HTTP/1.1 server: the watch page at /watch, the stream at anything else.
class StreamServer {
public:
    bool listen() {
        m_socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (m_socket < 0 || ::bind(m_socket, (sockaddr*)&address, size) != 0 ||
            ::listen(m_socket, 8) != 0 || ::getsockname(m_socket, (sockaddr*)&address, &size) != 0)
            return false;
        m_port = ntohs(address.sin_port);
        m_block = QByteArray(1024 * 1024, 'v');
        std::thread([this] { acceptLoop(); }).detach();
        return true;
    }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QLatin1String(path));
    }

private:
    void acceptLoop() {
        for (int client; (client = ::accept4(m_socket, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;)
            std::thread([this, client] { serve(client); }).detach();
    }

    void serve(int client) {
        QByteArray request;
        char buffer[4096];
        while (!request.contains("\r\n\r\n")) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request.append(buffer, n);
        }
        if (request.startsWith("GET /watch "))
            sendAll(client, answer(page(), page().size()));
        else if (sendAll(client, answer(QByteArray(), kStreamBytes)))
            for (qint64 left = kStreamBytes; left > 0; left -= m_block.size())
                if (!sendAll(client, m_block.left(std::min<qint64>(left, m_block.size()))))
                    break;
        ::close(client);
    }

    QByteArray page() const {
        const QByteArray link = QUrl::toPercentEncoding(url("/stream"));
        const QByteArray map = QUrl::toPercentEncoding(QString::fromLatin1("22|" + link));
        return "\"fmt_url_map\": \"" + map +
               "\", 'VIDEO_ID': 'bench', 'VIDEO_TITLE': 'download bench',\n";
    }

    static QByteArray answer(const QByteArray& body, qint64 length) {
        return "HTTP/1.1 200 OK\r\nContent-Type: video/mp4\r\nContent-Length: " +
               QByteArray::number(length) + "\r\nConnection: close\r\n\r\n" + body;
    }

    static bool sendAll(int client, const QByteArray& bytes) {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n =
                ::send(client, bytes.constData() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            done += n;
        }
        return true;
    }

    int m_socket = -1;
    quint16 m_port = 0;
    QByteArray m_block;
};

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
    StreamServer server;
    QTemporaryDir dir;
    if (!server.listen() || !dir.isValid()) {
        std::fprintf(stderr, "bench: cannot listen on 127.0.0.1 or create a folder\n");
        return 1;
    }
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
