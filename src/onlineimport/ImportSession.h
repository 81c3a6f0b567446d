#pragma once

#include "onlineimport/StreamLinks.h"
#include "onlineimport/WatchPage.h"
#include "onlineimport/YtDlpInfo.h"
#include "settings/AppSettings.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

namespace mirelo {

class StreamDownload;
class Transfer;
class YtDlpDownload;
class YtDlpPageReader;

// Which reader served a page: the product's own parser (pages in the classic watch-page layout)
// or yt-dlp (any other page).
enum class PageReader { Classic, YtDlp };

// A page as an import session read it: its fields and what each format button fetches.
struct ImportPage {
    QString url; // the address read
    PageReader reader = PageReader::Classic;
    WatchPageInfo info;
    QStringList warnings;           // classic: parts of the page that could not be read
    StreamLinks links;              // classic: each format's link, still escaped once
    QMap<int, YtDlpChoice> choices; // yt-dlp: what each format downloads
    QString ytDlpPageUrl;           // yt-dlp: the page as yt-dlp names it
    QString ytDlpVersion;           // yt-dlp: the version that read it; empty when unknown

    bool offers(int code) const;
    // The format codes the page offers, in ascending order.
    QList<int> offeredCodes() const;
    // The direct address the stream of `code` plays from; empty when the page has none.
    QString streamAddress(int code) const;
    // The name a download of `code` is saved under: the title, else the video id.
    QString savedFileName(int code) const;
};

// One import, for the window and the command-line tool alike: reads a page (fetched, then handed
// to the classic reader or to yt-dlp), then downloads one of its streams. One thing at a time;
// everything is signalled, nothing waits. The session keeps the page it read until the next read.
class ImportSession : public QObject {
    Q_OBJECT
public:
    enum class State { Idle, Reading, Read, Downloading, Done, Failed, Cancelled };
    Q_ENUM(State)
    // The step that a read or a download ended in.
    enum class Stage { FetchingPage, ReadingWithYtDlp, Downloading };
    Q_ENUM(Stage)
    // Why download() did not start.
    enum class Refusal { None, Busy, NoPage, NoStream, FolderNotCreated, BadLink, NotStarted };
    Q_ENUM(Refusal)

    // How a read or a download ended.
    struct Outcome {
        Stage stage = Stage::FetchingPage;
        State end = State::Failed; // Read, Done, Failed or Cancelled
        QString error;             // after Failed: why, naming the page, yt-dlp or the file
        QString filePath;          // a download's file: where it went, else the path asked for
        bool timedOut = false;     // the page's server stopped answering
    };

    // `settings` names the yt-dlp to run; they are read when yt-dlp starts.
    explicit ImportSession(AppSettings settings, QObject* parent = nullptr);
    ~ImportSession() override;

    void setSettings(const AppSettings& settings) { m_settings = settings; }

    // Starts reading the page at `url`, dropping the page read before. False, with errorString()
    // set, while a read or a download runs; otherwise finished() follows, never from inside.
    bool read(const QString& url);
    // Starts downloading the page's stream `code` into `folder` (created when missing). Refused,
    // with errorString() set, while busy, without a page, or when the stream cannot be fetched;
    // otherwise downloadProgress() and finally finished() follow.
    Refusal download(int code, const QString& folder);
    // Stops the read or the download; a download leaves no file behind. finished() follows with
    // Cancelled. Does nothing while idle.
    void cancel();

    State state() const { return m_state; }
    bool busy() const { return m_state == State::Reading || m_state == State::Downloading; }
    bool hasPage() const { return m_page.has_value(); }
    // The page read; empty before one was.
    const ImportPage& page() const;
    QString errorString() const { return m_error; }

    // The page is fetched and classic streams are downloaded through this transfer.
    Transfer& pageTransfer() { return *m_transfer; }

Q_SIGNALS:
    void stateChanged(ImportSession::State state);
    // The fetched page goes to this reader.
    void readerChosen(PageReader reader);
    // A read succeeded: the page's fields and streams.
    void pageRead(const ImportPage& page);
    // Whenever the download's whole percentage changes.
    void downloadProgress(int percent);
    void finished(const ImportSession::Outcome& outcome);

private:
    void onPageFetched(bool ok);
    void readClassic(const QString& text);
    void readWithYtDlp();
    void onYtDlpRead(bool ok);
    void endRead(ImportPage page);
    Refusal startDownload(const StreamFormat& format, const QString& path);
    void onDownloadEnded(bool ok, const QString& error, const QString& filePath);
    Refusal refuse(Refusal refusal, const QString& error);
    void end(Stage stage, State state, const QString& error = QString(), bool timedOut = false);
    void setState(State state);

    AppSettings m_settings;
    Transfer* m_transfer;
    StreamDownload* m_streamDownload;
    YtDlpPageReader* m_ytDlpReader;
    YtDlpDownload* m_ytDlpDownload;
    State m_state = State::Idle;
    Stage m_stage = Stage::FetchingPage;
    QString m_url;
    std::optional<ImportPage> m_page;
    QString m_error;
    QString m_downloadPath;
    bool m_cancelAsked = false;
    quint64 m_runs = 0; // counts reads and downloads, so that a stale answer is dropped
};

} // namespace mirelo
