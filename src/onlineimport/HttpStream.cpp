#include "onlineimport/HttpStream.h"

#include <QSslSocket>
#include <QTcpSocket>

#include <algorithm>
#include <limits>

namespace mirelo {

namespace {

bool isRedirection(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// 1xx answers come before the real one and carry no body.
bool isInterim(int status) {
    return status >= 100 && status < 200;
}

struct SocketFailure {
    QAbstractSocket::SocketError error;
    HttpStream::Failure failure;
};

// clang-format off
const SocketFailure kSocketFailures[] = {
    {QAbstractSocket::HostNotFoundError,           HttpStream::Failure::HostNotFound},
    {QAbstractSocket::ConnectionRefusedError,      HttpStream::Failure::Refused},
    {QAbstractSocket::ProxyConnectionRefusedError, HttpStream::Failure::Refused},
    {QAbstractSocket::RemoteHostClosedError,       HttpStream::Failure::Closed},
    {QAbstractSocket::SslHandshakeFailedError,     HttpStream::Failure::Secure},
};
// clang-format on

} // namespace

HttpStream::HttpStream(qint64 bufferBytes, const QByteArray& userAgent, QObject* parent)
    : QObject(parent), m_bufferBytes(bufferBytes), m_userAgent(userAgent) {}

HttpStream::~HttpStream() {
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void HttpStream::get(const QUrl& url) {
    m_redirects = 0;
    m_finished = false;
    m_failure = Failure::None;
    m_failureText.clear();
    connectTo(url);
}

void HttpStream::abort() {
    fail(Failure::Aborted, QStringLiteral("the request was cancelled"));
}

void HttpStream::connectTo(const QUrl& url) {
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
    }
    m_url = url;
    m_head.clear();
    m_headDone = false;
    m_status = 0;
    m_reason.clear();
    m_headers.clear();
    m_bodyLeft = -1;
    const bool secure = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    if (secure && !QSslSocket::supportsSsl()) {
        fail(Failure::Secure, QStringLiteral("secure connections are not available here"));
        return;
    }
    QSslSocket* ssl = secure ? new QSslSocket(this) : nullptr;
    m_socket = ssl ? ssl : new QTcpSocket(this);
    // The one buffer of the body: full, it holds the server back.
    m_socket->setReadBufferSize(m_bufferBytes);
    connect(m_socket, &QAbstractSocket::stateChanged, this, [this](QAbstractSocket::SocketState s) {
        if (s == QAbstractSocket::ConnectingState)
            Q_EMIT connecting();
    });
    connect(m_socket, &QAbstractSocket::readyRead, this, &HttpStream::onSocketReadyRead);
    connect(m_socket, &QAbstractSocket::disconnected, this, &HttpStream::onDisconnected);
    connect(
        m_socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (e == QAbstractSocket::RemoteHostClosedError)
                return; // the end of a body without a length; onDisconnected decides
            const auto* known = std::find_if(std::begin(kSocketFailures), std::end(kSocketFailures),
                                             [e](const SocketFailure& f) { return f.error == e; });
            fail(known != std::end(kSocketFailures) ? known->failure : Failure::Other,
                 m_socket->errorString());
        });
    const quint16 port = quint16(url.port(secure ? 443 : 80));
    if (ssl) {
        connect(ssl, &QSslSocket::encrypted, this, &HttpStream::sendRequest);
        connect(ssl, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) {
            QStringList texts;
            for (const QSslError& e : errors)
                texts += e.errorString();
            fail(Failure::Secure, texts.join(QStringLiteral("; ")));
        });
        ssl->connectToHostEncrypted(url.host(), port);
    } else {
        connect(m_socket, &QAbstractSocket::connected, this, &HttpStream::sendRequest);
        m_socket->connectToHost(url.host(), port);
    }
}

void HttpStream::sendRequest() {
    QByteArray target =
        m_url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (target.isEmpty())
        target = "/";
    QByteArray host = m_url.host(QUrl::FullyEncoded).toUtf8();
    if (host.contains(':'))
        host = '[' + host + ']';
    if (m_url.port() >= 0)
        host += ':' + QByteArray::number(m_url.port());
    const QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: " + host +
                               "\r\nUser-Agent: " + m_userAgent +
                               "\r\nAccept: */*\r\nConnection: close\r\n\r\n";
    auto sent = std::make_shared<QMetaObject::Connection>();
    *sent = connect(m_socket, &QAbstractSocket::bytesWritten, this, [this, sent] {
        if (m_socket->bytesToWrite() > 0)
            return;
        disconnect(*sent);
        Q_EMIT requestSent();
    });
    m_socket->write(request);
}

void HttpStream::onSocketReadyRead() {
    if (m_finished)
        return;
    if (!m_headDone) {
        if (!readHead())
            return;
        if (isRedirection(m_status) && header("Location")) {
            followRedirect();
            return;
        }
        startBody();
        if (m_finished)
            return;
    }
    if (bytesAvailable() > 0)
        Q_EMIT readyRead();
    checkComplete();
}

// True once a whole head has been read.
bool HttpStream::readHead() {
    while (m_socket->canReadLine()) {
        const QByteArray line = m_socket->readLine(kMaxHeadBytes + 1);
        m_head += line;
        if (m_head.size() > kMaxHeadBytes)
            break;
        if (line != "\r\n" && line != "\n")
            continue;
        if (!parseHead(m_head))
            return false;
        if (!isInterim(m_status))
            return true;
        m_head.clear();
    }
    if (m_head.size() > kMaxHeadBytes || m_socket->bytesAvailable() > kMaxHeadBytes)
        fail(Failure::BadResponse,
             QStringLiteral("the answer's head is larger than %1 KB").arg(kMaxHeadBytes / 1024));
    return false;
}

bool HttpStream::parseHead(const QByteArray& head) {
    const QList<QByteArray> lines = head.trimmed().split('\n');
    const QList<QByteArray> statusLine = lines.value(0).trimmed().split(' ');
    bool isNumber = false;
    m_status = statusLine.value(1).toInt(&isNumber);
    if (!statusLine.value(0).startsWith("HTTP/1.") || !isNumber) {
        fail(Failure::BadResponse, QStringLiteral("the answer is not HTTP"));
        return false;
    }
    m_reason = QString::fromLatin1(statusLine.mid(2).join(' '));
    m_headers.clear();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0)
            m_headers += {lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()};
    }
    return true;
}

std::optional<QByteArray> HttpStream::header(const QByteArray& name) const {
    for (const auto& [key, value] : m_headers)
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    return std::nullopt;
}

bool HttpStream::followRedirect() {
    const QUrl target = m_url.resolved(QUrl::fromEncoded(header("Location").value_or("")));
    const QString scheme = target.scheme().toLower();
    if (++m_redirects > kMaxRedirects)
        fail(Failure::Redirect, QStringLiteral("too many redirections"));
    else if (scheme == QLatin1String("http") && m_url.scheme().toLower() == QLatin1String("https"))
        fail(Failure::Redirect, QStringLiteral("redirected from https to http"));
    else if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        fail(Failure::Redirect, QStringLiteral("redirected to %1").arg(target.toString()));
    else
        connectTo(target);
    return !m_finished;
}

void HttpStream::startBody() {
    m_headDone = true;
    Q_EMIT headersReceived();
    const std::optional<QByteArray> coding = header("Transfer-Encoding");
    if (coding && coding->compare("identity", Qt::CaseInsensitive) != 0) {
        fail(Failure::BadResponse, QStringLiteral("the body comes in pieces (Transfer-Encoding: "
                                                  "%1) without a length")
                                       .arg(QString::fromLatin1(*coding)));
        return;
    }
    if (const std::optional<QByteArray> length = header("Content-Length")) {
        bool isNumber = false;
        m_bodyLeft = length->toLongLong(&isNumber);
        if (!isNumber || m_bodyLeft < 0)
            fail(Failure::BadResponse, QStringLiteral("the body's length is not a number"));
    }
}

qint64 HttpStream::bytesAvailable() const {
    if (!m_socket || !m_headDone)
        return 0;
    const qint64 buffered = m_socket->bytesAvailable();
    return m_bodyLeft < 0 ? buffered : std::min(buffered, m_bodyLeft);
}

qint64 HttpStream::read(char* data, qint64 size) {
    const qint64 want = std::min(size, bytesAvailable());
    if (want <= 0)
        return 0;
    const qint64 n = std::max<qint64>(0, m_socket->read(data, want));
    if (m_bodyLeft >= 0)
        m_bodyLeft -= n;
    checkComplete();
    return n;
}

// A body of known length is complete once its last byte has arrived, read or not.
void HttpStream::checkComplete() {
    if (!m_finished && m_headDone && m_bodyLeft >= 0 && m_socket->bytesAvailable() >= m_bodyLeft)
        finish();
}

void HttpStream::onDisconnected() {
    if (m_finished)
        return;
    if (m_headDone && m_bodyLeft < 0)
        finish(); // a body without a length ends with the connection
    else
        fail(Failure::Closed, QStringLiteral("the server closed the connection"));
}

void HttpStream::fail(Failure failure, const QString& text) {
    if (m_finished)
        return;
    m_failure = failure;
    m_failureText = text;
    if (m_socket) {
        m_socket->disconnect(this);
        // A connection the server closed keeps what did arrive readable.
        if (m_socket->state() != QAbstractSocket::UnconnectedState)
            m_socket->abort();
    }
    finish();
}

// Signalled from the event loop, never from inside a read() or a socket signal.
void HttpStream::finish() {
    m_finished = true;
    QMetaObject::invokeMethod(this, &HttpStream::finished, Qt::QueuedConnection);
}

} // namespace mirelo
