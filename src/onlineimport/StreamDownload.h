#pragma once

#include "onlineimport/NewFileWriter.h"

#include <QByteArray>
#include <QObject>
#include <QString>

namespace mirelo {

class Transfer;

// Downloads one stream into a new file through a Transfer. The body is written as it arrives, so
// memory stays bounded whatever the size; the file is written under a private temporary name and
// takes its final name (a free one: "Title (2).mp4" when "Title.mp4" exists) only when exactly
// Content-Length bytes have arrived. On any failure nothing is left behind.
class StreamDownload : public QObject {
    Q_OBJECT
public:
    // The shown percentage steps by pieces of this size, as the display always has.
    static constexpr qint64 kChunkSize = 1024;

    explicit StreamDownload(Transfer& transfer, QObject* parent = nullptr);
    ~StreamDownload() override;

    // False, with errorString() set, when the transfer is busy or the address cannot be fetched;
    // otherwise progress() and finally finished() follow.
    bool start(const QString& url, const QString& filePath);
    bool running() const { return m_running; }
    QString errorString() const { return m_errorString; }
    // The path asked for; after a complete download, the path the file took.
    QString filePath() const;

Q_SIGNALS:
    // Whenever the shown whole percentage changes.
    void progress(int percent);
    void finished(bool ok);

private:
    bool readLength();
    void takeArrived();
    void showProgress(qint64 from, qint64 to);
    void onTransferFinished(bool ok);
    void failWith(const QString& description);

    Transfer& m_transfer;
    NewFileWriter m_file;
    QByteArray m_buffer;
    QString m_filePath;
    QString m_errorString;
    qint64 m_total = -1;
    qint64 m_received = 0;
    int m_shownPercent = -1;
    bool m_running = false;
};

} // namespace mirelo
