#include "onlineimport/ui/ImportWindow.h"

#include "base/Product.h"
#include "base/ToolLocator.h"
#include "onlineimport/CacheFetch.h"
#include "onlineimport/ImportFolders.h"
#include "onlineimport/StreamPreviewPlayer.h"
#include "onlineimport/Transfer.h"
#include "ui/MessageBoxes.h"
#include "ui/Skin.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <utility>

namespace mirelo {

namespace {

// Preview panel positions (twips): after "No" on the question, and after "Preview".
constexpr QPoint kPanelForPlay(240, 120);
constexpr QPoint kPanelForPreview(300, 450);

} // namespace

ImportWindow::ImportWindow(const QString& skinFile, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_session(new ImportSession(AppSettings::forApplication(), this)),
      m_thumbnailTransfer(new Transfer(this)), m_storageFolder(importFolder()) {
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(QStringLiteral("RirUzarAvud-Beta Release"));
    m_thumbnailTransfer->setObjectName(QStringLiteral("thumbnailTransfer"));
    applySkin(this, skinFile);
    buildControls();
    buildPreviewPanel();
    showDetailCaptions();
    connectControls();
    connectSession();
}

ImportWindow::~ImportWindow() = default;

// The page details' captions, shown at opening and again when a read brought no page.
void ImportWindow::showDetailCaptions() {
    const std::pair<QLabel*, const char*> captions[] = {
        {m_videoTitle, "Title"},    {m_author, "Author"},     {m_category, "Category"},
        {m_published, "Published"}, {m_duration, "Duration"}, {m_rating, "..."},
    };
    for (const auto& [label, text] : captions)
        label->setText(QLatin1String(text));
    m_description->clear();
}

void ImportWindow::connectControls() {
    connect(m_getDirectLink, &QPushButton::clicked, this, &ImportWindow::readPage);
    connect(m_pageAddress, &QLineEdit::textChanged, m_getDirectLink,
            [this] { m_getDirectLink->setEnabled(true); });
    connect(m_closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_previewButton, &QPushButton::clicked, this, &ImportWindow::previewBestStream);
    for (const StreamFormat& f : streamFormats())
        connect(m_formatButtons[f.code], &QPushButton::clicked, this,
                [this, &f] { downloadOrPlay(f); });
}

void ImportWindow::connectSession() {
    Transfer& page = m_session->pageTransfer();
    connect(&page, &Transfer::stateChanged, this, &ImportWindow::showTransferState);
    connect(&page, &Transfer::dataArrived, this, [this] {
        if (m_session->state() == ImportSession::State::Reading)
            m_status->setText(QStringLiteral("Reading Data..."));
    });
    connect(m_session, &ImportSession::readerChosen, this, &ImportWindow::showReader);
    connect(m_session, &ImportSession::pageRead, this, &ImportWindow::showPage);
    connect(m_session, &ImportSession::downloadProgress, this, &ImportWindow::showProgress);
    connect(m_session, &ImportSession::finished, this,
            [this](const ImportSession::Outcome& outcome) {
                if (outcome.stage == ImportSession::Stage::Downloading)
                    afterDownload(outcome);
                else if (outcome.end != ImportSession::State::Read)
                    afterReadFailed(outcome);
            });
}

// Get Direct Link: the page is read afresh; the buttons of the page shown before go. While a
// download runs the page shown stays, and the button is ready again once that is explained.
void ImportWindow::readPage() {
    m_getDirectLink->setEnabled(false);
    if (!m_session->read(m_pageAddress->text())) {
        QMessageBox* box = showMessage(
            applicationTitle(),
            QStringLiteral("Something Went Wrong\r\n") + m_session->errorString(), QMessageBox::Ok);
        connect(box, &QMessageBox::finished, this, [this] {
            m_getDirectLink->setEnabled(true);
            Q_EMIT directLinkFinished();
        });
        return;
    }
    showPicture(loadingPicturePath());
    enableFormatButtons({});
}

void ImportWindow::showReader(PageReader reader) {
    if (reader != PageReader::YtDlp)
        return;
    m_status->setText(QStringLiteral("Reading the page with yt-dlp..."));
    m_pageReader->setText(QStringLiteral("yt-dlp"));
}

// The page's buttons and reader at once; its fields once the thumbnail has come (or failed).
void ImportWindow::showPage(const ImportPage& page) {
    enableFormatButtons(page.offeredCodes());
    m_pageReader->setText(page.reader == PageReader::Classic
                              ? QStringLiteral("Read by the classic page reader")
                              : QStringLiteral("Read by yt-dlp %1")
                                    .arg(page.ytDlpVersion.isEmpty()
                                             ? QStringLiteral("(version unknown)")
                                             : page.ytDlpVersion));
    m_status->setText(QStringLiteral("Complete!"));
    const bool fetching = FetchToCache(*m_thumbnailTransfer, page.info.thumbnailUrl,
                                       m_storageFolder, page.info.videoId + QStringLiteral(".jpg"),
                                       this, [this](const QString&) { showPageFields(); });
    if (!fetching)
        showPageFields();
}

void ImportWindow::showPageFields() {
    const ImportPage& page = m_session->page();
    const WatchPageInfo& info = page.info;
    showPicture(cachedThumbnailPath(m_storageFolder, info.videoId));
    m_videoTitle->setText(info.title);
    m_description->setPlainText(info.description);
    m_category->setText(info.category);
    m_author->setText(info.author);
    m_duration->setText(info.lengthSeconds + QStringLiteral(" Sec."));
    m_published->setText(info.published);
    m_rating->setText(info.rating);
    if (!page.warnings.isEmpty()) {
        QMessageBox* box =
            showMessage(applicationTitle(),
                        QStringLiteral("Some parts of the page could not be read:\r\n") +
                            page.warnings.join(QStringLiteral("\r\n")),
                        QMessageBox::Ok);
        box->setIcon(QMessageBox::Warning);
    }
    Q_EMIT directLinkFinished();
}

// A read that failed is explained; the details then show their captions, not blanks.
void ImportWindow::afterReadFailed(const ImportSession::Outcome& outcome) {
    m_pageReader->clear();
    if (outcome.end == ImportSession::State::Cancelled)
        return;
    if (outcome.stage == ImportSession::Stage::ReadingWithYtDlp)
        m_status->setText(QStringLiteral("yt-dlp could not read the page"));
    else if (outcome.timedOut)
        m_status->setText(QStringLiteral("Slow Connection"));
    QMessageBox* box =
        showMessage(applicationTitle(), QStringLiteral("Something Went Wrong\r\n") + outcome.error,
                    QMessageBox::Ok);
    connect(box, &QMessageBox::finished, this, &ImportWindow::showNoPage);
}

void ImportWindow::showNoPage() {
    showDetailCaptions();
    Q_EMIT directLinkFinished();
}

void ImportWindow::enableFormatButtons(const QList<int>& codes) {
    for (auto it = m_formatButtons.begin(); it != m_formatButtons.end(); ++it)
        it.value()->setEnabled(codes.contains(it.key()));
}

void ImportWindow::downloadOrPlay(const StreamFormat& format) {
    if (!format.asksDownloadOrPlay) {
        downloadStream(format);
        return;
    }
    QMessageBox* box = showMessage(QStringLiteral("Download/Play"),
                                   QStringLiteral("Do you want Download or Play this video?\r\n"
                                                  "Click yes to Download, No to Play"),
                                   QMessageBox::Yes | QMessageBox::No);
    box->setIcon(QMessageBox::Question);
    connect(box, &QMessageBox::finished, this, [this, &format](int answer) {
        if (answer == QMessageBox::Yes) {
            downloadStream(format);
            return;
        }
        movePreviewPanel(kPanelForPlay.x(), kPanelForPlay.y());
        playInPreview(m_session->page().streamAddress(format.code));
    });
}

// Preview plays the best stream, the one of "Get HD High".
void ImportWindow::previewBestStream() {
    movePreviewPanel(kPanelForPreview.x(), kPanelForPreview.y());
    playInPreview(m_session->page().streamAddress(35));
}

void ImportWindow::downloadStream(const StreamFormat& format) {
    if (m_session->download(format.code, m_storageFolder) != ImportSession::Refusal::None) {
        showMessage(applicationTitle(), QStringLiteral("Error-") + m_session->errorString(),
                    QMessageBox::Ok);
        return;
    }
    showProgress(0);
}

void ImportWindow::showProgress(int percent) {
    m_downloadPercent->setText(QString::number(percent) + QStringLiteral(" % "));
    m_downloadBar->setValue(percent);
}

// A cancelled download (the window is closing) is neither explained nor told.
void ImportWindow::afterDownload(const ImportSession::Outcome& outcome) {
    const bool ok = outcome.end == ImportSession::State::Done;
    if (outcome.end == ImportSession::State::Failed)
        showMessage(applicationTitle(), QStringLiteral("Error-") + outcome.error, QMessageBox::Ok);
    if (outcome.end != ImportSession::State::Cancelled)
        tellDownloadEnd(ok, outcome.filePath, outcome.error);
    Q_EMIT downloadFinished(ok);
}

// A read or a download still running is stopped first (a yt-dlp download's partial files go);
// the window closes once it has ended.
void ImportWindow::reject() {
    if (!m_session->busy()) {
        QDialog::reject();
        return;
    }
    if (m_session->state() == ImportSession::State::Downloading)
        m_status->setText(QStringLiteral("Stopping the download..."));
    connect(
        m_session, &ImportSession::finished, this, [this] { QDialog::reject(); },
        Qt::SingleShotConnection);
    m_session->cancel();
}

void ImportWindow::playInPreview(const QString& address) {
    const QString tip = QStringLiteral("Preview of ") + m_session->page().info.title;
    m_previewSurface->setToolTip(tip);
    if (!m_player)
        return;
    m_player->setMovie(QDir(applicationFolder()).filePath(QStringLiteral("flvplayer.swf")));
    m_player->setVariable(QStringLiteral("file"), address);
    m_player->play();
    m_player->setToolTipText(tip);
    m_player->setWindowMode(QStringLiteral("Fullscreen"));
}

void ImportWindow::showTransferState(int state) {
    const Transfer& page = m_session->pageTransfer();
    if (const auto text = transferStatusText(state, page.responseCode(), page.responseInfo()))
        m_status->setText(*text);
}

void ImportWindow::showPicture(const QString& path) {
    const QPixmap picture(path);
    if (!picture.isNull())
        m_thumbnail->setPixmap(picture);
}

QMessageBox* ImportWindow::showMessage(const QString& title, const QString& text, int buttons) {
    return showMessageBox(
        this, buttons == QMessageBox::Ok ? QMessageBox::Critical : QMessageBox::Question, text,
        QMessageBox::StandardButtons(buttons), title);
}

bool ImportWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_pageAddress && event->type() == QEvent::MouseButtonPress)
        QTimer::singleShot(0, m_pageAddress, &QLineEdit::selectAll);
    if (watched == m_closePreview && event->type() == QEvent::MouseButtonRelease)
        hidePreviewPanel();
    return QDialog::eventFilter(watched, event);
}

// Dragging the bare background moves the window (it has no title bar).
void ImportWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || childAt(event->position().toPoint())) {
        QDialog::mousePressEvent(event);
        return;
    }
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    m_dragging = true;
    m_dragOffset = event->globalPosition().toPoint() - pos();
}

void ImportWindow::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
    else
        m_dragging = false;
}

void ImportWindow::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    QDialog::mouseReleaseEvent(event);
}

void ImportWindow::tellDownloadEnd(bool ok, const QString& file, const QString& error) {
    if (!m_endNotice)
        return;
    const QFileInfo info(file);
    m_endNotice(ok ? QStringLiteral("Downloaded %1").arg(info.fileName())
                   : QStringLiteral("Download failed: %1").arg(error),
                file.isEmpty() ? m_storageFolder : info.absolutePath());
}

} // namespace mirelo
