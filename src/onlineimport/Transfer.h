#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace mirelo {

// The life cycle of a request, as the status line numbers it.
enum TransferState {
    kLookingUp = 1,
    kHostFound = 2,
    kConnecting = 3,
    kConnected = 4,
    kRequesting = 5,
    kRequestSent = 6,
    kReceiving = 7,
    kResponseReceived = 8,
    kDisconnecting = 9,
    kDisconnected = 10,
    kTransferError = 11,
    kResponseCompleted = 12,
};

// The status line text of a state (state 11 names the failure); nullopt leaves the line unchanged.
std::optional<QString> transferStatusText(int state, int responseCode, const QString& responseInfo);

// The failure code of a time-out, carried in the failure's description.
constexpr int kTimeoutCode = 12002;

// One HTTP(S) GET at a time over QNetworkAccessManager. The body is buffered as it arrives and
// taken piece by piece (getChunk) or whole (takeBody). Everything is signalled; nothing waits.
class Transfer : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 60000;

    explicit Transfer(QObject* parent = nullptr);
    ~Transfer() override;

    // Time without any sign of life from the server after which the request fails with 12002.
    void setTimeoutMs(int ms) { timeoutMs_ = ms; }
    int timeoutMs() const { return timeoutMs_; }

    // Starts a GET. False, with errorString() set, when a request is still executing or the
    // address is not http or https; otherwise finished() follows.
    bool execute(const QString& url);
    bool stillExecuting() const;
    // Stops the running request; finished(false) follows.
    void abort();

    // The next piece of the buffered body, at most `size` bytes; empty when nothing is buffered.
    QByteArray getChunk(qint64 size);
    QByteArray takeBody();
    qint64 bytesAvailable() const;
    // A response header as text; nullopt when the response has none of that name.
    std::optional<QString> getHeader(const QString& name) const;
    // The HTTP status of the response; 0 before one arrived.
    int httpStatus() const;

    // The last failure: its code (a network code such as 12002, or the HTTP status), its text, and
    // a description naming the address.
    int responseCode() const { return responseCode_; }
    QString responseInfo() const { return responseInfo_; }
    QString errorString() const { return errorString_; }
    QString url() const { return url_; }

Q_SIGNALS:
    void stateChanged(int state);
    void headersReceived();
    void dataArrived();
    void finished(bool ok);

private:
    void advanceTo(int state);
    void restartTimeout();
    void onFinished();
    void fail(int code, const QString& info);

    QNetworkAccessManager* manager_;
    QTimer* timeout_;
    QPointer<QNetworkReply> reply_;
    QString url_;
    int timeoutMs_ = kDefaultTimeoutMs;
    int state_ = 0;
    bool executing_ = false;
    bool timedOut_ = false;
    int responseCode_ = 0;
    QString responseInfo_;
    QString errorString_;
};

} // namespace mirelo
