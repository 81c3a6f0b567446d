#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QSaveFile;

namespace mirelo {

class Transfer;

// Downloads one stream into a file through a Transfer. The body is written to a temporary name
// as it arrives, in pieces of 1024 bytes, and the file takes its final name only when exactly
// Content-Length bytes have arrived; on any failure no file carries the final name.
class StreamDownload : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kChunkSize = 1024;

    explicit StreamDownload(Transfer& transfer, QObject* parent = nullptr);
    ~StreamDownload() override;

    // False, with errorString() set, when the transfer is busy or the address cannot be fetched;
    // otherwise progress() and finally finished() follow.
    bool start(const QString& url, const QString& filePath);
    bool running() const { return running_; }
    QString errorString() const { return errorString_; }
    QString filePath() const { return filePath_; }

Q_SIGNALS:
    void progress(int percent);
    void finished(bool ok);

private:
    bool readLength();
    void writeArrived(bool finalPiece);
    void onTransferFinished(bool ok);
    void failWith(const QString& description);

    Transfer& transfer_;
    std::unique_ptr<QSaveFile> file_;
    QString filePath_;
    QString errorString_;
    qint64 total_ = -1;
    qint64 received_ = 0;
    bool running_ = false;
};

} // namespace mirelo
