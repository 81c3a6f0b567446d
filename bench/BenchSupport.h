#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace mirelo::bench {

// Runs a program to its end (benchmarks may block); returns the wall time in seconds, or -1.
inline double timedRun(const QString& program, const QStringList& args) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), qPrintable(args.join(' ')));
        return -1;
    }
    return t.elapsed() / 1000.0;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

inline bool makeClip(const QStringList& args) {
    return timedRun(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + args) >= 0;
}

// A minimal HTTP/1.1 server on 127.0.0.1. Each client is served from a thread of its own, so the
// benchmark's event loop carries only the product: a page set for a path, or else a stream of
// `streamBytes` bytes.
class LoopbackServer {
public:
    explicit LoopbackServer(qint64 streamBytes) : m_streamBytes(streamBytes) {}

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
        std::thread([this] { acceptLoop(); }).detach();
        return true;
    }
    QString url(const char* path) const {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(QLatin1String(path));
    }
    // Before the first request that may ask for it.
    void setPage(const QByteArray& path, const QByteArray& body) { m_pages[path] = body; }

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
        const QByteArray path = request.split(' ').value(1); // "GET /path HTTP/1.1"

        if (const auto page = m_pages.constFind(path); page != m_pages.constEnd())
            sendAll(client, answer(*page, page->size()));
        else if (sendAll(client, answer(QByteArray(), m_streamBytes)))
            sendStream(client);
        ::close(client);
    }

    void sendStream(int client) const {
        const QByteArray block(1024 * 1024, 'v');
        for (qint64 left = m_streamBytes; left > 0; left -= block.size())
            if (!sendAll(client, block.left(std::min<qint64>(left, block.size()))))
                return;
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

    qint64 m_streamBytes;
    int m_socket = -1;
    quint16 m_port = 0;
    QHash<QByteArray, QByteArray> m_pages;
};

} // namespace mirelo::bench
