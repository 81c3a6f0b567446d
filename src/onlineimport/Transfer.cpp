#include "onlineimport/Transfer.h"

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
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
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
    if (m_reply)
        m_reply->deleteLater();
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

    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Mirelo Video Converter/3.50"));
    m_reply = m_manager->get(request);
    if (body == TransferBody::Streamed)
        m_reply->setReadBufferSize(kStreamBufferBytes);
    connectReply();
    noteActivity();
    m_timeout->start(m_timeoutMs);
    return true;
}

void Transfer::connectReply() {
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

bool Transfer::stillExecuting() const {
    return m_executing;
}

void Transfer::abort() {
    if (m_reply && m_executing)
        m_reply->abort();
}

qint64 Transfer::read(char* data, qint64 size) {
    if (!m_reply || !m_reply->isOpen() || size <= 0)
        return 0;
    return std::max<qint64>(0, m_reply->read(data, size));
}

qint64 Transfer::bytesAvailable() const {
    return m_reply ? m_reply->bytesAvailable() : 0;
}

QByteArray Transfer::takeBody() {
    return std::exchange(m_body, QByteArray());
}

std::optional<QString> Transfer::getHeader(const QString& name) const {
    if (!m_reply || !m_reply->hasRawHeader(name.toLatin1()))
        return std::nullopt;
    return QString::fromLatin1(m_reply->rawHeader(name.toLatin1()));
}

int Transfer::httpStatus() const {
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
    if (m_reply)
        m_reply->abort();
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
    if (m_bodyMode == TransferBody::Whole && isNumber && announced > m_bodyLimit) {
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
        m_reply->skip(m_reply->bytesAvailable()); // an error page is not the stream
        return;
    }
    Q_EMIT dataArrived();
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
    if (m_bodyMode == TransferBody::Whole)
        keepWholeBody();
    const QNetworkReply::NetworkError error = m_reply->error();
    const int status = httpStatus();
    if (m_timedOut) {
        fail(kTimeoutCode, QStringLiteral("the server did not answer for %1 seconds")
                               .arg(QString::number(m_timeoutMs / 1000.0)));
    } else if (m_tooLarge) {
        fail(kOtherNetworkFailure,
             QStringLiteral("the answer is larger than %1 MB, more than a page may be")
                 .arg(m_bodyLimit / (1024 * 1024)));
    } else if (status >= 400) {
        fail(status,
             m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().trimmed());
    } else if (error != QNetworkReply::NoError) {
        const auto* known = std::find_if(std::begin(kNetworkFailures), std::end(kNetworkFailures),
                                         [error](const auto& f) { return f.error == error; });
        if (known != std::end(kNetworkFailures))
            fail(known->code, QLatin1String(known->info));
        else
            fail(kOtherNetworkFailure, m_reply->errorString());
    } else {
        advanceTo(kDisconnected);
        Q_EMIT stateChanged(kResponseCompleted);
        Q_EMIT finished(true);
    }
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
