#include "onlineimport/Transfer.h"

#include "base/Product.h"
#include "onlineimport/HttpStream.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <utility>

namespace mirelo {

namespace {

// Status line texts of states 1 to 10.
const char* const kStateTexts[] = {
    "Looking up IP address", "IP address found", "Connecting Host",      "Connected.",
    "Making Request...",     "Request sent.",    "Receiving Response..", "Response received.",
    "Disconnecting...",      "Disconnected.",
};

struct NetworkFailure {
    QNetworkReply::NetworkError error;
    int code;
    const char* info;
};

// Network failures by the codes the status line has always shown for them.
const NetworkFailure kNetworkFailures[] = {
    {QNetworkReply::TimeoutError, kTimeoutCode, "the server did not answer in time"},
    {QNetworkReply::HostNotFoundError, 12007, "the server name could not be resolved"},
    {QNetworkReply::ConnectionRefusedError, 12029, "the server refused the connection"},
    {QNetworkReply::ProxyConnectionRefusedError, 12029, "the proxy refused the connection"},
    {QNetworkReply::RemoteHostClosedError, 12030, "the server closed the connection"},
    {QNetworkReply::OperationCanceledError, 12017, "the request was cancelled"},
    {QNetworkReply::SslHandshakeFailedError, 12157, "the secure connection failed"},
    {QNetworkReply::TooManyRedirectsError, 12156, "too many redirections"},
    {QNetworkReply::InsecureRedirectError, 12156, "redirected from https to http"},
    {QNetworkReply::ProtocolUnknownError, 12006, "only http and https addresses can be fetched"},
};

constexpr int kBusyCode = 35764;
constexpr int kOtherNetworkFailure = 12000;

struct StreamFailure {
    HttpStream::Failure failure;
    int code;
    const char* info; // null: the stream's own text
};

// The same failures of a streamed request, by the same codes.
// clang-format off
const StreamFailure kStreamFailures[] = {
    {HttpStream::Failure::HostNotFound, 12007,               "the server name could not be resolved"},
    {HttpStream::Failure::Refused,      12029,               "the server refused the connection"},
    {HttpStream::Failure::Closed,       12030,               "the server closed the connection"},
    {HttpStream::Failure::Aborted,      12017,               "the request was cancelled"},
    {HttpStream::Failure::Secure,       12157,               nullptr},
    {HttpStream::Failure::Redirect,     12156,               nullptr},
    {HttpStream::Failure::BadResponse,  kOtherNetworkFailure, nullptr},
    {HttpStream::Failure::Other,        kOtherNetworkFailure, nullptr},
};
// clang-format on

// "Mirelo Video Converter/3.50"
QString userAgent() {
    return applicationTitle() + QLatin1Char('/') + productVersion();
}

bool fetchable(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

std::optional<QString> transferStatusText(int state, int responseCode,
                                          const QString& responseInfo) {
    if (state >= kLookingUp && state <= kDisconnected)
        return QString::fromLatin1(kStateTexts[state - 1]);
    if (state == kTransferError)
        return QStringLiteral("Error %1 %2").arg(QString::number(responseCode), responseInfo);
    return std::nullopt;
}

Transfer::Transfer(QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this)), m_timeout(new QTimer(this)) {
    m_manager->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    m_timeout->setSingleShot(true);
    connect(m_timeout, &QTimer::timeout, this, &Transfer::onTimer);
}

Transfer::~Transfer() {
    dropEngines();
}

bool Transfer::execute(const QString& url, TransferBody body) {
    if (m_executing) {
        m_errorString = QStringLiteral("still executing the last request (%1), so %2 cannot be "
                                       "fetched now (error %3)")
                            .arg(m_url, url, QString::number(kBusyCode));
        return false;
    }
    const QUrl address(url);
    if (!fetchable(address)) {
        m_errorString = QStringLiteral("%1 cannot be fetched: only http and https addresses can "
                                       "be (error 12006)")
                            .arg(url);
        return false;
    }
    dropEngines();
    m_url = url;
    m_bodyMode = body;
    m_body.clear();
    m_executing = true;
    m_timedOut = false;
    m_tooLarge = false;
    m_responseCode = 0;
    m_responseInfo.clear();
    m_errorString.clear();
    m_state = 0;
    advanceTo(kLookingUp);
    if (body == TransferBody::Whole)
        startReply(address);
    else
        startStream(address);
    noteActivity();
    m_timeout->start(m_timeoutMs);
    return true;
}

void Transfer::startReply(const QUrl& address) {
    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::socketStartedConnecting, this, [this] {
        noteActivity();
        advanceTo(kConnecting);
    });
    connect(m_reply, &QNetworkReply::requestSent, this, [this] {
        noteActivity();
        advanceTo(kRequestSent);
    });
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &Transfer::onHeaders);
    connect(m_reply, &QNetworkReply::downloadProgress, this, &Transfer::noteActivity);
    connect(m_reply, &QNetworkReply::readyRead, this, &Transfer::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &Transfer::onFinished);
}

void Transfer::startStream(const QUrl& address) {
    m_stream = new HttpStream(kStreamBufferBytes, userAgent().toLatin1(), this);
    connect(m_stream, &HttpStream::connecting, this, [this] {
        noteActivity();
        advanceTo(kConnecting);
    });
    connect(m_stream, &HttpStream::requestSent, this, [this] {
        noteActivity();
        advanceTo(kRequestSent);
    });
    connect(m_stream, &HttpStream::headersReceived, this, &Transfer::onHeaders);
    connect(m_stream, &HttpStream::readyRead, this, &Transfer::onReadyRead);
    connect(m_stream, &HttpStream::finished, this, &Transfer::onFinished);
    m_stream->get(address);
}

// The last request's engine goes; nothing it still signals reaches this transfer.
void Transfer::dropEngines() {
    if (QNetworkReply* reply = std::exchange(m_reply, nullptr)) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
    if (HttpStream* stream = std::exchange(m_stream, nullptr)) {
        stream->disconnect(this);
        stream->deleteLater();
    }
}

bool Transfer::stillExecuting() const {
    return m_executing;
}

void Transfer::abort() {
    if (!m_executing)
        return;
    if (m_reply)
        m_reply->abort();
    if (m_stream)
        m_stream->abort();
}

qint64 Transfer::read(char* data, qint64 size) {
    if (size <= 0)
        return 0;
    if (m_stream)
        return m_stream->read(data, size);
    if (!m_reply || !m_reply->isOpen())
        return 0;
    return std::max<qint64>(0, m_reply->read(data, size));
}

qint64 Transfer::bytesAvailable() const {
    if (m_stream)
        return m_stream->bytesAvailable();
    return m_reply ? m_reply->bytesAvailable() : 0;
}

QByteArray Transfer::takeBody() {
    return std::exchange(m_body, QByteArray());
}

std::optional<QString> Transfer::getHeader(const QString& name) const {
    const QByteArray key = name.toLatin1();
    std::optional<QByteArray> value;
    if (m_stream)
        value = m_stream->header(key);
    else if (m_reply && m_reply->hasRawHeader(key))
        value = m_reply->rawHeader(key);
    return value ? std::optional<QString>(QString::fromLatin1(*value)) : std::nullopt;
}

int Transfer::httpStatus() const {
    if (m_stream)
        return m_stream->status();
    return m_reply ? m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
}

void Transfer::advanceTo(int state) {
    for (int s = m_state + 1; s <= state; ++s)
        Q_EMIT stateChanged(s);
    m_state = std::max(m_state, state);
}

// Restarting the timer on every piece of a fast stream would cost more than the piece; the timer
// instead looks at the time of the last activity when it fires.
void Transfer::noteActivity() {
    m_sinceActivity.start();
}

void Transfer::onTimer() {
    const qint64 quiet = m_sinceActivity.elapsed();
    if (quiet < m_timeoutMs) {
        m_timeout->start(int(m_timeoutMs - quiet));
        return;
    }
    m_timedOut = true;
    abort();
}

void Transfer::onHeaders() {
    noteActivity();
    const int status = httpStatus();
    if (status >= 300 && status < 400)
        return; // a redirection being followed
    advanceTo(kReceiving);
    Q_EMIT headersReceived();
    bool isNumber = false;
    const qint64 announced = getHeader(QStringLiteral("Content-Length"))
                                 .value_or(QString())
                                 .trimmed()
                                 .toLongLong(&isNumber);
    if (m_reply && isNumber && announced > m_bodyLimit) {
        m_tooLarge = true;
        m_reply->abort();
    }
}

void Transfer::onReadyRead() {
    noteActivity();
    if (m_bodyMode == TransferBody::Whole) {
        keepWholeBody();
        if (m_tooLarge)
            return;
    } else if (httpStatus() >= 400) {
        dropErrorBody();
        return;
    }
    Q_EMIT dataArrived();
}

// An error page is not the stream: read and dropped, so that its end can arrive.
void Transfer::dropErrorBody() {
    char scratch[16 * 1024];
    while (read(scratch, sizeof scratch) > 0) {
    }
}

void Transfer::keepWholeBody() {
    if (m_tooLarge || !m_reply->isOpen())
        return;
    m_body += m_reply->readAll();
    if (m_body.size() > m_bodyLimit) {
        m_tooLarge = true;
        m_body.clear();
        m_reply->abort();
    }
}

void Transfer::onFinished() {
    m_timeout->stop();
    m_executing = false;
    if (m_reply)
        keepWholeBody();
    if (m_timedOut) {
        fail(kTimeoutCode, QStringLiteral("the server did not answer for %1 seconds")
                               .arg(QString::number(m_timeoutMs / 1000.0)));
        return;
    }
    if (m_tooLarge) {
        fail(kOtherNetworkFailure,
             QStringLiteral("the answer is larger than %1 MB, more than a page may be")
                 .arg(m_bodyLimit / (1024 * 1024)));
        return;
    }
    if (httpStatus() >= 400) {
        fail(httpStatus(), m_stream ? m_stream->reasonPhrase().trimmed()
                                    : m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute)
                                          .toString()
                                          .trimmed());
        return;
    }
    if (m_stream ? failedStream() : failedReply())
        return;
    advanceTo(kDisconnected);
    Q_EMIT stateChanged(kResponseCompleted);
    Q_EMIT finished(true);
}

bool Transfer::failedReply() {
    const QNetworkReply::NetworkError error = m_reply->error();
    if (error == QNetworkReply::NoError)
        return false;
    const auto* known = std::find_if(std::begin(kNetworkFailures), std::end(kNetworkFailures),
                                     [error](const auto& f) { return f.error == error; });
    if (known != std::end(kNetworkFailures))
        fail(known->code, QLatin1String(known->info));
    else
        fail(kOtherNetworkFailure, m_reply->errorString());
    return true;
}

bool Transfer::failedStream() {
    const HttpStream::Failure failure = m_stream->failure();
    if (failure == HttpStream::Failure::None)
        return false;
    const auto* known = std::find_if(std::begin(kStreamFailures), std::end(kStreamFailures),
                                     [failure](const auto& f) { return f.failure == failure; });
    if (known != std::end(kStreamFailures) && known->info)
        fail(known->code, QLatin1String(known->info));
    else
        fail(known != std::end(kStreamFailures) ? known->code : kOtherNetworkFailure,
             m_stream->failureText());
    return true;
}

void Transfer::fail(int code, const QString& info) {
    m_body.clear();
    m_responseCode = code;
    m_responseInfo = info;
    m_errorString = QStringLiteral("%1 (error %2): %3").arg(info, QString::number(code), m_url);
    m_state = kTransferError;
    Q_EMIT stateChanged(kTransferError);
    Q_EMIT finished(false);
}

} // namespace mirelo
