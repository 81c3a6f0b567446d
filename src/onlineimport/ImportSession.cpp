#include "onlineimport/ImportSession.h"

#include "onlineimport/StreamDownload.h"
#include "onlineimport/TextOps.h"
#include "onlineimport/Transfer.h"
#include "onlineimport/YtDlpDownload.h"
#include "onlineimport/YtDlpPageReader.h"

#include <QDir>
#include <QTimer>

#include <utility>

namespace mirelo {

bool ImportPage::offers(int code) const {
    return reader == PageReader::Classic ? links.contains(code) : choices.contains(code);
}

QList<int> ImportPage::offeredCodes() const {
    return reader == PageReader::Classic ? links.keys() : choices.keys();
}

QString ImportPage::streamAddress(int code) const {
    if (reader == PageReader::YtDlp)
        return choices.value(code).previewUrl();
    const QString link = links.value(code);
    return URLDecode(link).value_or(link);
}

QString ImportPage::savedFileName(int code) const {
    const StreamFormat* format = streamFormat(code);
    const QString suffix = reader == PageReader::YtDlp ? QLatin1Char('.') + choices.value(code).ext
                           : format                    ? QLatin1String(format->fileSuffix)
                                                       : QString();
    return downloadFileName(info.title, suffix, info.videoId);
}

// Every answer of the parts is taken from the event loop, so that whoever reacts to this
// session's signals by starting the next step never does so inside a part's own signal.
ImportSession::ImportSession(AppSettings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)), m_transfer(new Transfer(this)),
      m_streamDownload(new StreamDownload(*m_transfer, this)),
      m_ytDlpReader(new YtDlpPageReader(this)), m_ytDlpDownload(new YtDlpDownload(this)) {
    m_transfer->setObjectName(QStringLiteral("pageTransfer"));
    connect(m_transfer, &Transfer::finished, this, &ImportSession::onPageFetched,
            Qt::QueuedConnection);
    connect(m_ytDlpReader, &YtDlpPageReader::finished, this, &ImportSession::onYtDlpRead,
            Qt::QueuedConnection);
    connect(m_streamDownload, &StreamDownload::progress, this, &ImportSession::downloadProgress);
    connect(m_ytDlpDownload, &YtDlpDownload::progress, this, &ImportSession::downloadProgress);
    connect(
        m_streamDownload, &StreamDownload::finished, this,
        [this](bool ok) {
            onDownloadEnded(ok, m_streamDownload->errorString(), m_streamDownload->filePath());
        },
        Qt::QueuedConnection);
    connect(
        m_ytDlpDownload, &YtDlpDownload::finished, this,
        [this](bool ok) {
            onDownloadEnded(ok, m_ytDlpDownload->errorString(), m_ytDlpDownload->filePath());
        },
        Qt::QueuedConnection);
}

ImportSession::~ImportSession() = default;

const ImportPage& ImportSession::page() const {
    static const ImportPage kNoPage;
    return m_page ? *m_page : kNoPage;
}

bool ImportSession::read(const QString& url) {
    if (busy()) {
        m_error = QStringLiteral("%1 cannot be read now: the import is still busy").arg(url);
        return false;
    }
    ++m_runs;
    m_cancelAsked = false;
    m_page.reset();
    m_error.clear();
    m_url = url.trimmed();
    m_stage = Stage::FetchingPage;
    setState(State::Reading);
    if (!m_transfer->execute(url)) {
        const QString error = m_transfer->errorString();
        QTimer::singleShot(0, this, [this, error, run = m_runs] {
            if (run == m_runs)
                end(Stage::FetchingPage, m_cancelAsked ? State::Cancelled : State::Failed, error);
        });
    }
    return true;
}

void ImportSession::onPageFetched(bool ok) {
    // While the transfer runs again, this end belonged to the request before (a download's).
    if (m_state != State::Reading || m_stage != Stage::FetchingPage || m_transfer->stillExecuting())
        return;
    if (m_cancelAsked) {
        end(Stage::FetchingPage, State::Cancelled);
        return;
    }
    if (!ok) {
        end(Stage::FetchingPage, State::Failed, m_transfer->errorString(),
            m_transfer->responseCode() == kTimeoutCode);
        return;
    }
    const QString text = QString::fromUtf8(m_transfer->takeBody());
    if (isClassicWatchPage(text))
        readClassic(text);
    else
        readWithYtDlp();
}

void ImportSession::readClassic(const QString& text) {
    Q_EMIT readerChosen(PageReader::Classic);
    ImportPage page;
    page.url = m_url;
    ParseWatchPage(text, page.info, &page.warnings);
    readStreamLinks(text, page.links, &page.warnings);
    endRead(std::move(page));
}

void ImportSession::readWithYtDlp() {
    m_stage = Stage::ReadingWithYtDlp;
    Q_EMIT readerChosen(PageReader::YtDlp);
    m_ytDlpReader->start(m_settings.ytdlpProgram(), m_url);
}

void ImportSession::onYtDlpRead(bool ok) {
    if (m_state != State::Reading || m_stage != Stage::ReadingWithYtDlp)
        return;
    if (m_cancelAsked) {
        end(Stage::ReadingWithYtDlp, State::Cancelled);
        return;
    }
    if (!ok) {
        end(Stage::ReadingWithYtDlp, State::Failed, m_ytDlpReader->errorString());
        return;
    }
    const YtDlpPage& read = m_ytDlpReader->page();
    ImportPage page;
    page.url = m_url;
    page.reader = PageReader::YtDlp;
    page.info = read.info;
    page.choices = chooseYtDlpFormats(read.formats);
    page.ytDlpPageUrl = read.pageUrl;
    page.ytDlpVersion = read.version;
    endRead(std::move(page));
}

void ImportSession::endRead(ImportPage page) {
    m_page = std::move(page);
    setState(State::Read);
    Q_EMIT pageRead(*m_page);
    Q_EMIT finished({m_stage, State::Read, QString(), QString(), false});
}

ImportSession::Refusal ImportSession::download(int code, const QString& folder) {
    if (busy())
        return refuse(Refusal::Busy, m_state == State::Reading
                                         ? QStringLiteral("the page is still being read")
                                         : QStringLiteral("a download is already running"));
    if (!m_page)
        return refuse(Refusal::NoPage, QStringLiteral("no page has been read"));
    const StreamFormat* format = streamFormat(code);
    if (!format || !m_page->offers(code))
        return refuse(Refusal::NoStream,
                      QStringLiteral("the page offers no stream for %1")
                          .arg(format ? QLatin1String(format->caption) : QString::number(code)));
    if (!QDir().mkpath(folder))
        return refuse(Refusal::FolderNotCreated,
                      QStringLiteral("cannot create the folder %1").arg(folder));
    return startDownload(*format, QDir(folder).filePath(m_page->savedFileName(code)));
}

ImportSession::Refusal ImportSession::startDownload(const StreamFormat& format,
                                                    const QString& path) {
    if (m_page->reader == PageReader::Classic) {
        const std::optional<QString> link = URLDecode(m_page->links.value(format.code));
        if (!link)
            return refuse(Refusal::BadLink,
                          QStringLiteral("the link of %1 is not a valid encoded address")
                              .arg(QLatin1String(format.caption)));
        if (!m_streamDownload->start(*link, path))
            return refuse(Refusal::NotStarted, m_streamDownload->errorString());
    } else if (!m_ytDlpDownload->start(m_settings.ytdlpProgram(), m_page->ytDlpPageUrl,
                                       m_page->choices.value(format.code), path)) {
        return refuse(Refusal::NotStarted, m_ytDlpDownload->errorString());
    }
    ++m_runs;
    m_cancelAsked = false;
    m_error.clear();
    m_downloadPath = path;
    m_stage = Stage::Downloading;
    setState(State::Downloading);
    return Refusal::None;
}

void ImportSession::onDownloadEnded(bool ok, const QString& error, const QString& filePath) {
    if (m_state != State::Downloading)
        return;
    m_downloadPath = filePath;
    if (ok)
        end(Stage::Downloading, State::Done);
    else
        end(Stage::Downloading, m_cancelAsked ? State::Cancelled : State::Failed, error);
}

void ImportSession::cancel() {
    if (!busy() || std::exchange(m_cancelAsked, true))
        return;
    // Each part answers with its end; a fetch that never started ends from the event loop.
    if (m_stage == Stage::ReadingWithYtDlp)
        m_ytDlpReader->stop();
    else if (m_stage == Stage::Downloading && m_page->reader == PageReader::YtDlp)
        m_ytDlpDownload->cancel();
    else
        m_transfer->abort();
}

ImportSession::Refusal ImportSession::refuse(Refusal refusal, const QString& error) {
    m_error = error;
    return refusal;
}

void ImportSession::end(Stage stage, State state, const QString& error, bool timedOut) {
    m_error = state == State::Failed ? error : QString();
    setState(state);
    Q_EMIT finished({stage, state, m_error,
                     stage == Stage::Downloading ? m_downloadPath : QString(), timedOut});
}

void ImportSession::setState(State state) {
    m_state = state;
    Q_EMIT stateChanged(state);
}

} // namespace mirelo
