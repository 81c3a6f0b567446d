#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <optional>

class QTcpSocket;

namespace mirelo {

// One HTTP/1.1 GET whose body is read straight from the socket, in the calling thread, as it
// arrives. The socket's read buffer is the only buffer and has a fixed size: while the reader is
// busy the server is held back by TCP, so a body of any size takes bounded memory. (The network
// access manager's own read-buffer limit does not hold while its reader keeps reading.)
// Redirections are followed unless they lead from https to http. Everything is signalled; nothing
// waits.
class HttpStream : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxRedirects = 20;
    static constexpr qint64 kMaxHeadBytes = 64 * 1024;

    // Why a request failed; each maps to one of the transfer's failure codes.
    enum class Failure {
        None,
        HostNotFound,
        Refused,
        Closed,
        Secure,
        Redirect,
        BadResponse,
        Aborted,
        Other
    };

    HttpStream(qint64 bufferBytes, const QByteArray& userAgent, QObject* parent = nullptr);
    ~HttpStream() override;

    // Starts the request (an http or https address); finished() follows.
    void get(const QUrl& url);
    void abort();

    // Body bytes that have arrived and not been read yet.
    qint64 bytesAvailable() const;
    qint64 read(char* data, qint64 size);

    // Of the final response (after redirections); 0 and nothing before its head arrived.
    int status() const { return m_status; }
    QString reasonPhrase() const { return m_reason; }
    std::optional<QByteArray> header(const QByteArray& name) const;

    Failure failure() const { return m_failure; }
    QString failureText() const { return m_failureText; }

Q_SIGNALS:
    void connecting();
    void requestSent();
    void headersReceived();
    void readyRead();
    // Every byte of the body has arrived (it may still wait to be read), or the request failed.
    void finished();

private:
    void connectTo(const QUrl& url);
    void sendRequest();
    void onSocketReadyRead();
    bool readHead();
    bool parseHead(const QByteArray& head);
    bool followRedirect();
    void startBody();
    void checkComplete();
    void onDisconnected();
    void fail(Failure failure, const QString& text);
    void finish();

    const qint64 m_bufferBytes;
    const QByteArray m_userAgent;
    QPointer<QTcpSocket> m_socket;
    QUrl m_url;
    int m_redirects = 0;
    QByteArray m_head;
    bool m_headDone = false;
    int m_status = 0;
    QString m_reason;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    qint64 m_bodyLeft = -1; // -1: the body ends when the server closes the connection
    bool m_finished = false;
    Failure m_failure = Failure::None;
    QString m_failureText;
};

} // namespace mirelo
