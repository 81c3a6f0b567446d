#pragma once

#include "onlineimport/YtDlpInfo.h"
#include "process/ProgramRunner.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

namespace mirelo {

// Downloads one stream button's choice with yt-dlp into a new file. yt-dlp writes into a private
// folder made inside the destination; the finished file takes a free name there ("Title (2).mp4"
// when "Title.mp4" exists), never replacing anything nor writing through a link. A failed or
// cancelled download leaves nothing behind: no file, no .part, no fragments.
class YtDlpDownload : public QObject {
    Q_OBJECT
public:
    // A download that reports no progress for this long is stopped.
    static constexpr int kSilenceTimeoutMs = 120'000;

    explicit YtDlpDownload(QObject* parent = nullptr);
    ~YtDlpDownload() override;

    // False, with errorString() set, when it cannot start; otherwise progress() and finally
    // finished() follow. `program`: the settings' yt-dlp, empty for the one on PATH.
    bool start(const QString& program, const QString& pageUrl, const YtDlpChoice& choice,
               const QString& filePath);
    // Stops yt-dlp in stages (interrupt, terminate, kill) and removes its partial files;
    // finished(false) follows.
    void cancel();
    bool running() const { return m_runner->isRunning(); }
    bool cancelled() const { return m_cancelled; }
    void setSilenceTimeout(int milliseconds) { m_runner->setTimeout(milliseconds); }

    QString errorString() const { return m_error; }
    // The path asked for; after a complete download, the path the file took.
    QString filePath() const { return m_finalPath.isEmpty() ? m_filePath : m_finalPath; }

Q_SIGNALS:
    // Whenever the whole percentage of all the bytes to fetch changes.
    void progress(int percent);
    void finished(bool ok);

private:
    void onLine(const QString& line);
    void onFinished(const ProgramEnd& end);
    bool placeFile();
    void removeWorkFolder();
    void failWith(const QString& error);

    std::unique_ptr<ProgramRunner> m_runner;
    YtDlpChoice m_choice;
    QString m_filePath;
    QString m_finalPath;
    QString m_workFolder;
    QString m_error;
    QString m_program;
    QList<qint64> m_partDone;
    QList<qint64> m_partTotal;
    int m_shownPercent = -1;
    bool m_cancelled = false;
};

// The percentage of a download in parts: bytes when every part's size is known, else parts done
// plus the share of the current one. Parts are in yt-dlp's download order.
int ytDlpPercent(const QList<qint64>& done, const QList<qint64>& total);

// One progress line of the template the download asks for: format id, bytes done, total.
struct YtDlpProgressLine {
    QString formatId;
    qint64 done = -1;
    qint64 total = -1;
};
std::optional<YtDlpProgressLine> parseYtDlpProgressLine(const QString& line);

} // namespace mirelo
