#include "onlineimport/Transfer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

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
    : QObject(parent), manager_(new QNetworkAccessManager(this)), timeout_(new QTimer(this)) {
    manager_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    timeout_->setSingleShot(true);
    connect(timeout_, &QTimer::timeout, this, [this] {
        timedOut_ = true;
        if (reply_)
            reply_->abort();
    });
}

Transfer::~Transfer() {
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
    }
}

bool Transfer::execute(const QString& url) {
    if (executing_) {
        errorString_ = QStringLiteral("still executing the last request (%1), so %2 cannot be "
                                      "fetched now (error %3)")
                           .arg(url_, url, QString::number(kBusyCode));
        return false;
    }
    const QUrl address(url);
    if (!fetchable(address)) {
        errorString_ = QStringLiteral("%1 cannot be fetched: only http and https addresses can "
                                      "be (error 12006)")
                           .arg(url);
        return false;
    }
    if (reply_)
        reply_->deleteLater();
    url_ = url;
    executing_ = true;
    timedOut_ = false;
    responseCode_ = 0;
    responseInfo_.clear();
    errorString_.clear();
    state_ = 0;
    advanceTo(kLookingUp);

    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Mirelo Video Converter/3.50"));
    reply_ = manager_->get(request);
    connect(reply_, &QNetworkReply::socketStartedConnecting, this, [this] {
        restartTimeout();
        advanceTo(kConnecting);
    });
    connect(reply_, &QNetworkReply::requestSent, this, [this] {
        restartTimeout();
        advanceTo(kRequestSent);
    });
    connect(reply_, &QNetworkReply::metaDataChanged, this, [this] {
        restartTimeout();
        const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 300 && status < 400)
            return; // a redirection being followed
        advanceTo(kReceiving);
        Q_EMIT headersReceived();
    });
    connect(reply_, &QNetworkReply::downloadProgress, this, [this] { restartTimeout(); });
    connect(reply_, &QNetworkReply::readyRead, this, [this] {
        restartTimeout();
        Q_EMIT dataArrived();
    });
    connect(reply_, &QNetworkReply::finished, this, &Transfer::onFinished);
    restartTimeout();
    return true;
}

bool Transfer::stillExecuting() const {
    return executing_;
}

void Transfer::abort() {
    if (reply_ && executing_)
        reply_->abort();
}

QByteArray Transfer::getChunk(qint64 size) {
    return reply_ && size > 0 ? reply_->read(size) : QByteArray();
}

QByteArray Transfer::takeBody() {
    return reply_ ? reply_->readAll() : QByteArray();
}

qint64 Transfer::bytesAvailable() const {
    return reply_ ? reply_->bytesAvailable() : 0;
}

std::optional<QString> Transfer::getHeader(const QString& name) const {
    if (!reply_ || !reply_->hasRawHeader(name.toLatin1()))
        return std::nullopt;
    return QString::fromLatin1(reply_->rawHeader(name.toLatin1()));
}

int Transfer::httpStatus() const {
    return reply_ ? reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
}

void Transfer::advanceTo(int state) {
    for (int s = state_ + 1; s <= state; ++s)
        Q_EMIT stateChanged(s);
    state_ = std::max(state_, state);
}

void Transfer::restartTimeout() {
    timeout_->start(timeoutMs_);
}

void Transfer::onFinished() {
    timeout_->stop();
    executing_ = false;
    const QNetworkReply::NetworkError error = reply_->error();
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (timedOut_) {
        fail(kTimeoutCode, QStringLiteral("the server did not answer for %1 seconds")
                               .arg(QString::number(timeoutMs_ / 1000.0)));
    } else if (status >= 400) {
        fail(status,
             reply_->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString().trimmed());
    } else if (error != QNetworkReply::NoError) {
        const auto* known = std::find_if(std::begin(kNetworkFailures), std::end(kNetworkFailures),
                                         [error](const auto& f) { return f.error == error; });
        if (known != std::end(kNetworkFailures))
            fail(known->code, QLatin1String(known->info));
        else
            fail(kOtherNetworkFailure, reply_->errorString());
    } else {
        advanceTo(kDisconnected);
        Q_EMIT stateChanged(kResponseCompleted);
        Q_EMIT finished(true);
    }
}

void Transfer::fail(int code, const QString& info) {
    responseCode_ = code;
    responseInfo_ = info;
    errorString_ = QStringLiteral("%1 (error %2): %3").arg(info, QString::number(code), url_);
    state_ = kTransferError;
    Q_EMIT stateChanged(kTransferError);
    Q_EMIT finished(false);
}

} // namespace mirelo
