#include "onlineimport/ui/ImportWindow.h"

#include "base/Product.h"
#include "base/ToolLocator.h"
#include "onlineimport/CacheFetch.h"
#include "onlineimport/ImportFolders.h"
#include "onlineimport/StreamPreviewPlayer.h"
#include "onlineimport/Transfer.h"
#include "ui/MessageBoxes.h"
#include "ui/Skin.h"
#include "ui/SkinNames.h"
#include "ui/Twips.h"

#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <utility>

namespace mirelo {

namespace {

const char kSampleAddress[] = "https://www.youtube.com/watch?v=XXXXX";

// The designed window and preview panel (twips); both grow when their texts need more room.
constexpr QSize kWindowTwips(7170, 4845);
constexpr QSize kPanelTwips(6735, 4095);
// The thumbnail keeps its designed size: pictures are scaled into it.
constexpr QSize kThumbnailTwips(2055, 1695);
// The four format buttons are the tall ones of their row.
constexpr int kFormatButtonHeightTwips = 615;

QSize twipsToPixels(QSize twips) {
    return {mirelo::twipsToPixels(twips.width()), mirelo::twipsToPixels(twips.height())};
}

// Preview panel positions (twips): after "No" on the question, after "Preview", and out of view.
constexpr QPoint kPanelForPlay(240, 120);
constexpr QPoint kPanelForPreview(300, 450);
constexpr int kPanelHiddenLeft = 8000;

template <typename W, typename... Args> W* make(QWidget* parent, QLatin1String name, Args... args) {
    auto* w = new W(args..., parent);
    w->setObjectName(name);
    return w;
}

template <typename W, typename... Args> W* make(QWidget* parent, const char* name, Args... args) {
    return make<W>(parent, QLatin1String(name), args...);
}

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

// A bare strip on top (drag it to move the window) with "X" on the right, the panel, the status.
void ImportWindow::buildControls() {
    m_closeButton = make<QPushButton>(this, skinName::kImportClose, QStringLiteral("X"));
    m_closeButton->setFlat(true);
    m_closeButton->setAutoDefault(false); // Return is for "Get Direct Link", never for closing
    m_closeButton->setToolTip(QStringLiteral("Close"));
    m_status = make<QLabel>(this, "status", QStringLiteral("Status  "));
    // Which reader served the page: the classic parser or yt-dlp with its version.
    m_pageReader = make<QLabel>(this, "pageReader");
    m_pageReader->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(m_closeButton);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_status, 1);
    bottom->addWidget(m_pageReader);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->addLayout(top);
    layout->addWidget(buildPagePanel(), 1);
    layout->addLayout(bottom);
    ensurePolished(); // the skin's sizes, before the window takes its own
    resize(twipsToPixels(kWindowTwips).expandedTo(minimumSizeHint()));
}

// The address, the page's details with its thumbnail, the download bar and the buttons.
QWidget* ImportWindow::buildPagePanel() {
    m_pagePanel = make<QFrame>(this, "pagePanel");
    m_addressPrompt =
        make<QLabel>(m_pagePanel, "addressPrompt", QStringLiteral("Enter YouTube video URL"));
    m_pageAddress = make<QLineEdit>(m_pagePanel, "pageAddress");
    m_pageAddress->setPlaceholderText(QLatin1String(kSampleAddress));
    m_pageAddress->installEventFilter(this);
    m_addressPrompt->setBuddy(m_pageAddress);
    auto* grid = new QGridLayout(m_pagePanel);
    grid->setContentsMargins(4, 0, 4, 0);
    grid->addWidget(m_addressPrompt, 0, 0, 1, 3);
    grid->addWidget(m_pageAddress, 1, 0, 1, 2);
    addDetails(grid);
    m_downloadPercent = make<QLabel>(m_pagePanel, "downloadPercent");
    m_downloadPercent->setMinimumWidth(
        m_downloadPercent->fontMetrics().horizontalAdvance(QStringLiteral("100 % ")));
    m_downloadBar = make<QProgressBar>(m_pagePanel, "downloadBar");
    m_downloadBar->setRange(0, 100);
    m_downloadBar->setValue(0);
    m_downloadBar->setTextVisible(false); // the label beside it shows the percentage
    grid->addWidget(m_downloadPercent, 7, 0);
    grid->addWidget(m_downloadBar, 7, 1, 1, 2);
    grid->addLayout(buildStreamButtons(), 8, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    return m_pagePanel;
}

// Thumbnail and duration on the left, the texts in the middle, the rating and "Get Direct Link"
// on the right.
void ImportWindow::addDetails(QGridLayout* grid) {
    m_thumbnail = make<QLabel>(m_pagePanel, "thumbnail");
    m_thumbnail->setFrameShape(QFrame::StyledPanel); // marks the thumbnail's place while empty
    m_thumbnail->setScaledContents(true);
    m_thumbnail->setFixedSize(twipsToPixels(kThumbnailTwips));
    m_duration = make<QLabel>(m_pagePanel, "duration");
    m_videoTitle = make<QLabel>(m_pagePanel, "videoTitle");
    m_author = make<QLabel>(m_pagePanel, "author");
    m_description = make<QPlainTextEdit>(m_pagePanel, "description");
    m_description->setReadOnly(true);
    // Three lines show; a longer description scrolls.
    m_description->setMinimumHeight(m_description->fontMetrics().lineSpacing() * 3 + 12);
    m_description->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    m_category = make<QLabel>(m_pagePanel, "category");
    m_published = make<QLabel>(m_pagePanel, "published");
    auto* ratingCaption = make<QLabel>(m_pagePanel, "ratingCaption", QStringLiteral("Rating"));
    m_rating = make<QLabel>(m_pagePanel, "rating");
    m_rating->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_getDirectLink =
        make<QPushButton>(m_pagePanel, "getDirectLink", QStringLiteral("Get Direct Link"));
    m_getDirectLink->setDefault(true);
    m_getDirectLink->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    for (QLabel* label : {m_videoTitle, m_author, m_category, m_published, m_duration})
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    grid->addWidget(m_thumbnail, 2, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(m_duration, 6, 0);
    grid->addWidget(m_videoTitle, 2, 1);
    grid->addWidget(m_author, 3, 1);
    grid->addWidget(m_description, 4, 1);
    grid->addWidget(m_category, 5, 1);
    grid->addWidget(m_published, 6, 1);
    grid->addWidget(ratingCaption, 2, 2);
    grid->addWidget(m_rating, 3, 2);
    grid->addWidget(m_getDirectLink, 4, 2, 3, 1);
}

// Get MP4, Get HD High, Preview, Get HD Low, Get FLV, left to right; Preview is the small one.
QLayout* ImportWindow::buildStreamButtons() {
    m_previewButton = make<QPushButton>(m_pagePanel, "previewStream", QStringLiteral("Preview"));
    auto* row = new QHBoxLayout;
    for (const StreamFormat& f : streamFormats()) {
        auto* button =
            make<QPushButton>(m_pagePanel, QLatin1String(f.buttonName), QLatin1String(f.caption));
        button->setEnabled(false);
        button->setMinimumHeight(mirelo::twipsToPixels(kFormatButtonHeightTwips));
        m_formatButtons[f.code] = button;
    }
    for (QPushButton* button : {m_formatButtons[22], m_formatButtons[35], m_previewButton,
                                m_formatButtons[34], m_formatButtons[5]})
        row->addWidget(button, 0, Qt::AlignVCenter);
    return row;
}

// The preview panel floats over the window where a stream plays; at rest it is out of view.
void ImportWindow::buildPreviewPanel() {
    m_previewPanel =
        make<QGroupBox>(this, skinName::kImportPreview, QStringLiteral("YouTube Preview"));
    m_previewPanel->setAutoFillBackground(true);
    auto* hint = make<QLabel>(m_previewPanel, "previewHint",
                              QStringLiteral("Click and wait for video to Load..."));
    m_previewSurface = make<QWidget>(m_previewPanel, "previewSurface");
    // The player draws into this widget through its native window id.
    m_previewSurface->setAttribute(Qt::WA_NativeWindow);
    m_previewSurface->setAutoFillBackground(true);
    m_previewSurface->setStyleSheet(QStringLiteral("background: black;"));
    m_previewSurface->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_closePreview = make<QLabel>(m_previewPanel, "closePreview", QStringLiteral("X"));
    m_closePreview->setCursor(Qt::PointingHandCursor);
    m_closePreview->setToolTip(QStringLiteral("Close the preview"));
    m_closePreview->installEventFilter(this);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(hint);
    top->addStretch();
    top->addWidget(m_closePreview);
    auto* layout = new QVBoxLayout(m_previewPanel);
    layout->addLayout(top);
    layout->addWidget(m_previewSurface, 1);
    m_previewPanel->resize(twipsToPixels(kPanelTwips).expandedTo(m_previewPanel->sizeHint()));
    m_previewPanel->move(mirelo::twipsToPixels(5160), mirelo::twipsToPixels(6720));
    m_previewPanel->hide();
}

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

// The panel keeps inside the window, however large its texts made it.
void ImportWindow::movePreviewPanel(int leftTwips, int topTwips) {
    QRect place(QPoint(mirelo::twipsToPixels(leftTwips), mirelo::twipsToPixels(topTwips)),
                twipsToPixels(kPanelTwips).expandedTo(m_previewPanel->minimumSizeHint()));
    place.setSize(place.size().boundedTo(size()));
    place.moveRight(qMin(place.right(), rect().right()));
    place.moveBottom(qMin(place.bottom(), rect().bottom()));
    m_previewPanel->setGeometry(place);
    m_previewPanel->show();
    m_previewPanel->raise();
}

void ImportWindow::hidePreviewPanel() {
    m_previewPanel->move(mirelo::twipsToPixels(kPanelHiddenLeft), m_previewPanel->y());
    m_previewPanel->hide();
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
