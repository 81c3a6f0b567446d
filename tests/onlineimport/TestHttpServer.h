#pragma once

// A small HTTP/1.1 server on 127.0.0.1 for the import tests. It runs on its own thread, so it
// keeps answering while a test blocks on a child process (mirelo-cli).

#include <QByteArray>
#include <QFile>
#include <QHostAddress>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QString>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <memory>
#include <optional>

namespace mirelo::test {

class TestHttpServer {
public:
    struct Response {
        QByteArray body;
        QByteArray contentType = "text/html; charset=utf-8";
        int status = 200;
        std::optional<qint64> declaredLength; // a Content-Length other than the body's size
        bool omitLength = false;              // no Content-Length at all
        bool hang = false;                    // read the request, never answer
        qint64 generated = -1; // a body of this many pattern bytes (see patternByte), made as sent
        QByteArray extraHead;  // more header lines, each ending in "\r\n"
    };

    // Byte `offset` of a generated body.
    static char patternByte(qint64 offset) { return char(offset % kPatternPeriod); }

    static Response ok(const QByteArray& body,
                       const QByteArray& type = "text/html; charset=utf-8") {
        Response r;
        r.body = body;
        r.contentType = type;
        return r;
    }
    // Announces `declared` bytes, sends the body, and closes the connection.
    static Response announcing(const QByteArray& body, qint64 declared) {
        Response r = ok(body, "video/x-flv");
        r.declaredLength = declared;
        return r;
    }
    static Response withoutLength(const QByteArray& body) {
        Response r = ok(body, "video/x-flv");
        r.omitLength = true;
        return r;
    }
    static Response status(int code, const QByteArray& body) {
        Response r = ok(body);
        r.status = code;
        return r;
    }
    // A stream too large to hold: written as the connection drains, never all in memory.
    static Response generatedStream(qint64 size) {
        Response r = ok(QByteArray(), "video/mp4");
        r.generated = size;
        return r;
    }
    // Sends the client on to `location` with `code`.
    static Response redirect(const QByteArray& location, int code = 302) {
        Response r = status(code, "moved");
        r.extraHead = "Location: " + location + "\r\n";
        return r;
    }
    static Response hanging() {
        Response r;
        r.hang = true;
        return r;
    }

    // With `secure`, the server speaks https with the test certificate (see trustTestCertificate).
    explicit TestHttpServer(bool secure = false) : secure_(secure) {
        thread_.start();
        context_ = new QObject;
        context_->moveToThread(&thread_);
        QMetaObject::invokeMethod(
            context_, [this] { listen(); }, Qt::BlockingQueuedConnection);
    }

    ~TestHttpServer() {
        QMetaObject::invokeMethod(
            context_, [this] { delete server_; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
        delete context_;
    }

    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    void route(const QString& path, const Response& response) {
        QMutexLocker lock(&mutex_);
        routes_[path] = response;
    }

    QString url(const QString& path) const {
        return QStringLiteral("%1://127.0.0.1:%2%3")
            .arg(QLatin1String(secure_ ? "https" : "http"), QString::number(port_), path);
    }

    // Makes this process trust the certificate of secure test servers (for 127.0.0.1 only).
    static void trustTestCertificate() {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.addCaCertificates(QSslCertificate::fromPath(certificatePath()));
        QSslConfiguration::setDefaultConfiguration(config);
    }
    quint16 port() const { return port_; }

    // Paths asked for so far, in order.
    QStringList requests() const {
        QMutexLocker lock(&mutex_);
        return requests_;
    }

    // Bytes of generated bodies the operating system has taken so far.
    qint64 generatedBytesSent() const { return generatedSent_.load(); }

    // A port on 127.0.0.1 that nothing listens on: connections are refused.
    static quint16 closedPort() {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return port;
    }

private:
    static QString certificatePath() {
        return QStringLiteral(MIRELO_SOURCE_DIR "/tests/onlineimport/data/localhost-cert.pem");
    }

    void listen() {
        const auto serveAll = [this] {
            while (QTcpSocket* socket = server_->nextPendingConnection())
                serve(socket);
        };
        if (secure_) {
            auto* server = new QSslServer;
            QSslConfiguration config = QSslConfiguration::defaultConfiguration();
            config.setLocalCertificate(QSslCertificate::fromPath(certificatePath()).value(0));
            QFile key(
                QStringLiteral(MIRELO_SOURCE_DIR "/tests/onlineimport/data/localhost-key.pem"));
            key.open(QIODevice::ReadOnly);
            config.setPrivateKey(QSslKey(&key, QSsl::Rsa));
            config.setPeerVerifyMode(QSslSocket::VerifyNone);
            server->setSslConfiguration(config);
            QObject::connect(server, &QTcpServer::pendingConnectionAvailable, server, serveAll);
            server_ = server;
        } else {
            server_ = new QTcpServer;
            QObject::connect(server_, &QTcpServer::newConnection, server_, serveAll);
        }
        server_->listen(QHostAddress::LocalHost, 0);
        port_ = server_->serverPort();
    }

    void serve(QTcpSocket* socket) {
        auto received = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, received] {
            *received += socket->readAll();
            const qsizetype end = received->indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QList<QByteArray> line = received->left(received->indexOf("\r\n")).split(' ');
            received->clear();
            answer(socket, line.size() >= 2 ? QString::fromLatin1(line[1]) : QString());
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    void answer(QTcpSocket* socket, const QString& path) {
        Response r;
        {
            QMutexLocker lock(&mutex_);
            requests_ += path;
            const auto it = routes_.find(path);
            if (it == routes_.end()) {
                r.status = 404;
                r.body = "not here";
            } else {
                r = *it;
            }
        }
        if (r.hang)
            return;
        if (r.generated >= 0) {
            r.declaredLength = r.declaredLength.value_or(r.generated);
            sendGenerated(socket, r);
            return;
        }
        socket->write(head(r) + r.body);
        socket->disconnectFromHost();
    }

    static QByteArray head(const Response& r) {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) +
                          (r.status == 200  ? " OK"
                           : r.status < 400 ? " Found"
                                            : " Not Found") +
                          "\r\n";
        head += "Content-Type: " + r.contentType + "\r\n";
        if (!r.omitLength)
            head +=
                "Content-Length: " + QByteArray::number(r.declaredLength.value_or(r.body.size())) +
                "\r\n";
        head += r.extraHead + "Connection: close\r\n\r\n";
        return head;
    }

    // Writes the head, then the body a block at a time whenever the socket has drained.
    void sendGenerated(QTcpSocket* socket, const Response& r) {
        socket->write(head(r));
        auto left = std::make_shared<qint64>(r.generated);
        auto topUp = [this, socket, left](qint64 written) {
            generatedSent_ += written; // the head's few bytes included
            while (*left > 0 && socket->bytesToWrite() < kBlock) {
                const qint64 n = std::min<qint64>(*left, kBlock);
                socket->write(block_.constData(), n);
                *left -= n;
            }
            if (*left == 0 && socket->bytesToWrite() == 0)
                socket->disconnectFromHost();
        };
        QObject::connect(socket, &QTcpSocket::bytesWritten, socket, topUp);
        topUp(0);
    }

    static constexpr qint64 kPatternPeriod = 251;
    // A whole number of pattern periods, so that every block starts at offset 0 of the pattern.
    static constexpr qint64 kBlock = kPatternPeriod * 4177;
    const QByteArray block_ = [] {
        QByteArray b(kBlock, Qt::Uninitialized);
        for (qint64 i = 0; i < kBlock; ++i)
            b[i] = patternByte(i);
        return b;
    }();
    std::atomic<qint64> generatedSent_{0};

    const bool secure_;
    QThread thread_;
    QObject* context_ = nullptr;
    QTcpServer* server_ = nullptr; // lives on thread_; sockets are its children
    quint16 port_ = 0;
    mutable QMutex mutex_;
    QMap<QString, Response> routes_;
    QStringList requests_;
};

} // namespace mirelo::test
