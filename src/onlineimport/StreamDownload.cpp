#include "onlineimport/StreamDownload.h"

#include "onlineimport/StreamLinks.h"
#include "onlineimport/Transfer.h"

#include <QSaveFile>

namespace mirelo {

StreamDownload::StreamDownload(Transfer& transfer, QObject* parent)
    : QObject(parent), transfer_(transfer) {
    connect(&transfer_, &Transfer::dataArrived, this, [this] {
        // An error page is not the stream: the transfer's failure follows.
        if (running_ && transfer_.httpStatus() < 400 && readLength())
            writeArrived(false);
    });
    connect(&transfer_, &Transfer::finished, this, &StreamDownload::onTransferFinished);
}

StreamDownload::~StreamDownload() = default;

bool StreamDownload::start(const QString& url, const QString& filePath) {
    if (running_ || !transfer_.execute(url.trimmed())) {
        errorString_ =
            running_ ? QStringLiteral("a download is already running") : transfer_.errorString();
        return false;
    }
    running_ = true;
    filePath_ = filePath;
    errorString_.clear();
    total_ = -1;
    received_ = 0;
    file_.reset();
    return true;
}

// Reads Content-Length and opens the file on the first piece of the body.
bool StreamDownload::readLength() {
    if (total_ >= 0)
        return true;
    const std::optional<QString> header = transfer_.getHeader(QStringLiteral("Content-Length"));
    bool isNumber = false;
    const qint64 total = header ? header->trimmed().toLongLong(&isNumber) : -1;
    if (!isNumber || total < 0) {
        failWith(QStringLiteral("the server did not give the length of %1 (Content-Length)")
                     .arg(transfer_.url()));
        return false;
    }
    file_ = std::make_unique<QSaveFile>(filePath_);
    if (!file_->open(QIODevice::WriteOnly)) {
        failWith(QStringLiteral("cannot write %1: %2").arg(filePath_, file_->errorString()));
        return false;
    }
    total_ = total;
    return true;
}

// Takes whole pieces from the transfer; the last piece of the stream may be shorter.
void StreamDownload::writeArrived(bool finalPiece) {
    while (running_ && transfer_.bytesAvailable() > 0) {
        const qint64 remaining = total_ - received_;
        if (remaining == 0) {
            failWith(QStringLiteral("%1 sent more than the %2 bytes it announced (Content-Length)")
                         .arg(transfer_.url(), QString::number(total_)));
            return;
        }
        const qint64 want = std::min(remaining, kChunkSize);
        if (transfer_.bytesAvailable() < want && !finalPiece)
            return;
        const QByteArray chunk = transfer_.getChunk(want);
        received_ += chunk.size();
        if (file_->write(chunk) != chunk.size()) {
            failWith(QStringLiteral("cannot write %1: %2").arg(filePath_, file_->errorString()));
            return;
        }
        Q_EMIT progress(downloadPercent(received_, total_));
    }
}

void StreamDownload::onTransferFinished(bool ok) {
    if (!running_)
        return;
    if (!ok) {
        if (total_ >= 0)
            writeArrived(true); // count what did arrive
        if (!running_)
            return;
        const QString reason = transfer_.errorString();
        failWith(received_ < total_
                     ? QStringLiteral("the stream ended after %1 of the %2 bytes announced "
                                      "(Content-Length): %3")
                           .arg(QString::number(received_), QString::number(total_), reason)
                     : reason);
        return;
    }
    if (!readLength())
        return;
    writeArrived(true);
    if (!running_)
        return;
    if (received_ != total_) {
        failWith(QStringLiteral("the stream ended after %1 of the %2 bytes announced by %3 "
                                "(Content-Length)")
                     .arg(QString::number(received_), QString::number(total_), transfer_.url()));
        return;
    }
    if (!file_->commit()) {
        failWith(QStringLiteral("cannot write %1: %2").arg(filePath_, file_->errorString()));
        return;
    }
    file_.reset();
    running_ = false;
    Q_EMIT finished(true);
}

void StreamDownload::failWith(const QString& description) {
    running_ = false;
    errorString_ = description;
    if (file_)
        file_->cancelWriting();
    file_.reset();
    transfer_.abort();
    Q_EMIT finished(false);
}

} // namespace mirelo
