#include "onlineimport/StreamDownload.h"

#include "onlineimport/StreamLinks.h"
#include "onlineimport/Transfer.h"

#include <QFileInfo>

namespace mirelo {

namespace {

// What is taken from the transfer and written at once.
constexpr qint64 kWritePiece = 256 * 1024;

} // namespace

StreamDownload::StreamDownload(Transfer& transfer, QObject* parent)
    : QObject(parent), m_transfer(transfer) {
    connect(&m_transfer, &Transfer::dataArrived, this, [this] {
        if (m_running && readLength())
            takeArrived();
    });
    connect(&m_transfer, &Transfer::finished, this, &StreamDownload::onTransferFinished);
}

StreamDownload::~StreamDownload() = default;

bool StreamDownload::start(const QString& url, const QString& filePath) {
    if (m_running || !m_transfer.execute(url.trimmed(), TransferBody::Streamed)) {
        m_errorString =
            m_running ? QStringLiteral("a download is already running") : m_transfer.errorString();
        return false;
    }
    m_running = true;
    m_filePath = filePath;
    m_errorString.clear();
    m_total = -1;
    m_received = 0;
    m_shownPercent = -1;
    m_file.discard();
    m_buffer.resize(kWritePiece);
    return true;
}

QString StreamDownload::filePath() const {
    return m_file.finalPath().isEmpty() ? m_filePath : m_file.finalPath();
}

// Reads Content-Length and creates the file on the first piece of the body.
bool StreamDownload::readLength() {
    if (m_total >= 0)
        return true;
    const std::optional<QString> header = m_transfer.getHeader(QStringLiteral("Content-Length"));
    bool isNumber = false;
    const qint64 total = header ? header->trimmed().toLongLong(&isNumber) : -1;
    if (!isNumber || total < 0) {
        failWith(QStringLiteral("the server did not give the length of %1 (Content-Length)")
                     .arg(m_transfer.url()));
        return false;
    }
    const QFileInfo target(m_filePath);
    if (!m_file.open(target.path(), target.fileName())) {
        failWith(m_file.errorString());
        return false;
    }
    m_total = total;
    return true;
}

// Writes whatever has arrived; nothing is kept in memory beyond one piece.
void StreamDownload::takeArrived() {
    while (m_running) {
        const qint64 n = m_transfer.read(m_buffer.data(), m_buffer.size());
        if (n <= 0)
            return;
        if (n > m_total - m_received) {
            failWith(QStringLiteral("%1 sent more than the %2 bytes it announced (Content-Length)")
                         .arg(m_transfer.url(), QString::number(m_total)));
            return;
        }
        if (!m_file.write(m_buffer.constData(), n)) {
            failWith(m_file.errorString());
            return;
        }
        m_received += n;
        showProgress(m_received - n, m_received);
    }
}

// The percentage of every piece that ends within (from, to]; only changes are signalled, so a
// download of any size signals at most 101 times.
void StreamDownload::showProgress(qint64 from, qint64 to) {
    if (m_total <= 0)
        return;
    for (qint64 end = (from / kChunkSize + 1) * kChunkSize;; end += kChunkSize) {
        const qint64 pieceEnd = std::min(end, m_total);
        if (pieceEnd > to)
            return;
        const int percent = downloadPercent(pieceEnd, m_total);
        if (percent != m_shownPercent) {
            m_shownPercent = percent;
            Q_EMIT progress(percent);
        }
        if (pieceEnd == m_total)
            return;
    }
}

void StreamDownload::onTransferFinished(bool ok) {
    if (!m_running)
        return;
    if (!ok) {
        if (m_total >= 0)
            takeArrived(); // count what did arrive
        if (!m_running)
            return;
        const QString reason = m_transfer.errorString();
        failWith(m_received < m_total
                     ? QStringLiteral("the stream ended after %1 of the %2 bytes announced "
                                      "(Content-Length): %3")
                           .arg(QString::number(m_received), QString::number(m_total), reason)
                     : reason);
        return;
    }
    if (!readLength())
        return;
    takeArrived();
    if (!m_running)
        return;
    if (m_received != m_total) {
        failWith(QStringLiteral("the stream ended after %1 of the %2 bytes announced by %3 "
                                "(Content-Length)")
                     .arg(QString::number(m_received), QString::number(m_total), m_transfer.url()));
        return;
    }
    if (!m_file.commit()) {
        failWith(m_file.errorString());
        return;
    }
    m_running = false;
    m_buffer = QByteArray();
    Q_EMIT finished(true);
}

void StreamDownload::failWith(const QString& description) {
    m_running = false;
    m_errorString = description;
    m_file.discard();
    m_buffer = QByteArray();
    m_transfer.abort();
    Q_EMIT finished(false);
}

} // namespace mirelo
