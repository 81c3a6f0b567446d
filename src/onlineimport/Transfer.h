#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace mirelo {

class HttpStream;

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

// How a response body is taken: kept whole up to a size limit (pages, pictures), or streamed to a
// reader that takes it as it arrives, with at most kStreamBufferBytes waiting in memory (the
// server is not read faster than the reader takes).
enum class TransferBody { Whole, Streamed };

// One HTTP(S) GET at a time: whole bodies over QNetworkAccessManager, streamed ones over an
// HttpStream, whose memory stays bounded. Everything is signalled; nothing waits.
class Transfer : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 60000;
    static constexpr qint64 kDefaultBodyLimit = 8 * 1024 * 1024;
    static constexpr qint64 kStreamBufferBytes = 1024 * 1024;

    explicit Transfer(QObject* parent = nullptr);
    ~Transfer() override;

    // Time without any sign of life from the server after which the request fails with 12002.
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }
    int timeoutMs() const { return m_timeoutMs; }
    // The largest whole body; a larger one fails the request, naming the address.
    void setBodyLimit(qint64 bytes) { m_bodyLimit = bytes; }
    qint64 bodyLimit() const { return m_bodyLimit; }

    // Starts a GET. False, with errorString() set, when a request is still executing or the
    // address is not http or https; otherwise finished() follows.
    bool execute(const QString& url, TransferBody body = TransferBody::Whole);
    bool stillExecuting() const;
    // Stops the running request; finished(false) follows.
    void abort();

    // Streamed: takes up to `size` bytes of the body that has arrived; 0 when none is waiting. The
    // body of an error response (status 400 and up) is dropped, never handed to the reader.
    qint64 read(char* data, qint64 size);
    qint64 bytesAvailable() const;
    // Whole: the body, once finished() has come.
    QByteArray takeBody();
    // A response header as text; nullopt when the response has none of that name.
    std::optional<QString> getHeader(const QString& name) const;
    // The HTTP status of the response; 0 before one arrived.
    int httpStatus() const;

    // The last failure: its code (a network code such as 12002, or the HTTP status), its text, and
    // a description naming the address.
    int responseCode() const { return m_responseCode; }
    QString responseInfo() const { return m_responseInfo; }
    QString errorString() const { return m_errorString; }
    QString url() const { return m_url; }

Q_SIGNALS:
    void stateChanged(int state);
    void headersReceived();
    void dataArrived();
    void finished(bool ok);

private:
    void startReply(const QUrl& address);
    void startStream(const QUrl& address);
    void dropEngines();
    void advanceTo(int state);
    void noteActivity();
    void onTimer();
    void onHeaders();
    void onReadyRead();
    void keepWholeBody();
    void dropErrorBody();
    void onFinished();
    bool failedReply();
    bool failedStream();
    void fail(int code, const QString& info);

    QNetworkAccessManager* m_manager;
    QTimer* m_timeout;
    QElapsedTimer m_sinceActivity;
    QPointer<QNetworkReply> m_reply; // a whole body
    QPointer<HttpStream> m_stream;   // a streamed one
    QString m_url;
    TransferBody m_bodyMode = TransferBody::Whole;
    QByteArray m_body;
    int m_timeoutMs = kDefaultTimeoutMs;
    qint64 m_bodyLimit = kDefaultBodyLimit;
    int m_state = 0;
    bool m_executing = false;
    bool m_timedOut = false;
    bool m_tooLarge = false;
    int m_responseCode = 0;
    QString m_responseInfo;
    QString m_errorString;
};

} // namespace mirelo
