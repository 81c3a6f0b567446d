#include "onlineimport/ui/ImportWindow.h"

#include "base/Product.h"
#include "base/ToolLocator.h"
#include "onlineimport/CacheFetch.h"
#include "onlineimport/ImportFolders.h"
#include "onlineimport/StreamPreviewPlayer.h"
#include "onlineimport/Transfer.h"
#include "ui/MessageBoxes.h"
#include "ui/Skin.h"
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

struct Caption {
    const char* name;
    const char* text;
};

// The page details' captions, shown at opening and again when a fetch brought no page.
const Caption kDetailCaptions[] = {
    {"lblTitle1", "Title"},        {"lblAuthor", "Author"}, {"lblCat", "Category"},
    {"lblPublished", "Published"}, {"lblDur", "Duration"},  {"lblRating", "..."},
};

// Preview panel positions (twips): after "No" on the question, after "Preview", and out of view.
constexpr QPoint kPanelForPlay(240, 120);
constexpr QPoint kPanelForPreview(300, 450);
constexpr int kPanelHiddenLeft = 8000;

template <typename W, typename... Args> W* make(QWidget* parent, const char* name, Args... args) {
    auto* w = new W(args..., parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

} // namespace

ImportWindow::ImportWindow(const QString& skinFile, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      m_session(new ImportSession(AppSettings::forApplication(), this)),
      m_inet2(new Transfer(this)), m_storage(importFolder()) {
    setObjectName(QStringLiteral("ImportWindow"));
    setWindowTitle(QStringLiteral("RirUzarAvud-Beta Release"));
    m_inet2->setObjectName(QStringLiteral("Inet2"));
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
    m_cmdCLose = make<QPushButton>(this, "cmdCLose", QStringLiteral("X"));
    m_cmdCLose->setFlat(true);
    m_cmdCLose->setAutoDefault(false); // Return is for "Get Direct Link", never for closing
    m_cmdCLose->setToolTip(QStringLiteral("Close"));
    m_lblTitle = make<QLabel>(this, "lblTitle", QStringLiteral("Status  "));
    // Which reader served the page: the classic parser or yt-dlp with its version.
    m_lblBackend = make<QLabel>(this, "lblBackend");
    m_lblBackend->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(m_cmdCLose);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_lblTitle, 1);
    bottom->addWidget(m_lblBackend);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 6);
    layout->addLayout(top);
    layout->addWidget(buildPagePanel(), 1);
    layout->addLayout(bottom);
    ensurePolished(); // the skin's sizes, before the window takes its own
    resize(twipsToPixels(kWindowTwips).expandedTo(minimumSizeHint()));
}

// frmDW: the address, the page's details with its thumbnail, the download bar and the buttons.
QWidget* ImportWindow::buildPagePanel() {
    m_frmDW = make<QFrame>(this, "frmDW");
    m_label1 = make<QLabel>(m_frmDW, "Label1", QStringLiteral("Enter YouTube video URL"));
    m_txtWatchUrl = make<QLineEdit>(m_frmDW, "txtWatchUrl");
    m_txtWatchUrl->setPlaceholderText(QLatin1String(kSampleAddress));
    m_txtWatchUrl->installEventFilter(this);
    m_label1->setBuddy(m_txtWatchUrl);
    auto* grid = new QGridLayout(m_frmDW);
    grid->setContentsMargins(4, 0, 4, 0);
    grid->addWidget(m_label1, 0, 0, 1, 3);
    grid->addWidget(m_txtWatchUrl, 1, 0, 1, 2);
    addDetails(grid);
    m_label2 = make<QLabel>(m_frmDW, "Label2");
    m_label2->setMinimumWidth(m_label2->fontMetrics().horizontalAdvance(QStringLiteral("100 % ")));
    m_pbDownload = make<QProgressBar>(m_frmDW, "pbDownload");
    m_pbDownload->setRange(0, 100);
    m_pbDownload->setValue(0);
    m_pbDownload->setTextVisible(false); // Label2 shows the percentage
    grid->addWidget(m_label2, 7, 0);
    grid->addWidget(m_pbDownload, 7, 1, 1, 2);
    grid->addLayout(buildStreamButtons(), 8, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(4, 1);
    return m_frmDW;
}

// Thumbnail and duration on the left, the texts in the middle, the rating and "Get Direct Link"
// on the right.
void ImportWindow::addDetails(QGridLayout* grid) {
    m_picTitle = make<QLabel>(m_frmDW, "picTitle");
    m_picTitle->setFrameShape(QFrame::StyledPanel); // marks the thumbnail's place while empty
    m_picTitle->setScaledContents(true);
    m_picTitle->setFixedSize(twipsToPixels(kThumbnailTwips));
    m_lblDur = make<QLabel>(m_frmDW, "lblDur");
    m_lblTitle1 = make<QLabel>(m_frmDW, "lblTitle1");
    m_lblAuthor = make<QLabel>(m_frmDW, "lblAuthor");
    m_txtDesc = make<QPlainTextEdit>(m_frmDW, "txtDesc");
    m_txtDesc->setReadOnly(true);
    // Three lines show; a longer description scrolls.
    m_txtDesc->setMinimumHeight(m_txtDesc->fontMetrics().lineSpacing() * 3 + 12);
    m_txtDesc->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    m_lblCat = make<QLabel>(m_frmDW, "lblCat");
    m_lblPublished = make<QLabel>(m_frmDW, "lblPublished");
    auto* rat = make<QLabel>(m_frmDW, "lblRat", QStringLiteral("Rating"));
    m_lblRating = make<QLabel>(m_frmDW, "lblRating");
    m_lblRating->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_cmdG = make<QPushButton>(m_frmDW, "cmdG", QStringLiteral("Get Direct Link"));
    m_cmdG->setDefault(true);
    m_cmdG->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    for (QLabel* label : {m_lblTitle1, m_lblAuthor, m_lblCat, m_lblPublished, m_lblDur})
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);

    grid->addWidget(m_picTitle, 2, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(m_lblDur, 6, 0);
    grid->addWidget(m_lblTitle1, 2, 1);
    grid->addWidget(m_lblAuthor, 3, 1);
    grid->addWidget(m_txtDesc, 4, 1);
    grid->addWidget(m_lblCat, 5, 1);
    grid->addWidget(m_lblPublished, 6, 1);
    grid->addWidget(rat, 2, 2);
    grid->addWidget(m_lblRating, 3, 2);
    grid->addWidget(m_cmdG, 4, 2, 3, 1);
}

// Get MP4, Get HD High, Preview, Get HD Low, Get FLV, left to right; Preview is the small one.
QLayout* ImportWindow::buildStreamButtons() {
    m_cmdPR = make<QPushButton>(m_frmDW, "cmdPR", QStringLiteral("Preview"));
    auto* row = new QHBoxLayout;
    for (const StreamFormat& f : streamFormats()) {
        auto* button = make<QPushButton>(m_frmDW, f.buttonName, QLatin1String(f.caption));
        button->setEnabled(false);
        button->setMinimumHeight(mirelo::twipsToPixels(kFormatButtonHeightTwips));
        m_formatButtons[f.code] = button;
    }
    for (const char* name : {"getMp4", "getHDL", "cmdPR", "getHDH", "getFlv"})
        row->addWidget(m_frmDW->findChild<QPushButton*>(QLatin1String(name)), 0, Qt::AlignVCenter);
    return row;
}

// frmPR floats over the window where a stream plays; at rest it is out of view.
void ImportWindow::buildPreviewPanel() {
    m_frmPR = make<QGroupBox>(this, "frmPR", QStringLiteral("YouTube Preview"));
    m_frmPR->setAutoFillBackground(true);
    auto* hint =
        make<QLabel>(m_frmPR, "Label8", QStringLiteral("Click and wait for video to Load..."));
    m_swf = make<QWidget>(m_frmPR, "SWF");
    // The player draws into this widget through its native window id.
    m_swf->setAttribute(Qt::WA_NativeWindow);
    m_swf->setAutoFillBackground(true);
    m_swf->setStyleSheet(QStringLiteral("background: black;"));
    m_swf->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_label6 = make<QLabel>(m_frmPR, "Label6", QStringLiteral("X"));
    m_label6->setCursor(Qt::PointingHandCursor);
    m_label6->setToolTip(QStringLiteral("Close the preview"));
    m_label6->installEventFilter(this);
    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(hint);
    top->addStretch();
    top->addWidget(m_label6);
    auto* layout = new QVBoxLayout(m_frmPR);
    layout->addLayout(top);
    layout->addWidget(m_swf, 1);
    m_frmPR->resize(twipsToPixels(kPanelTwips).expandedTo(m_frmPR->sizeHint()));
    m_frmPR->move(mirelo::twipsToPixels(5160), mirelo::twipsToPixels(6720));
    m_frmPR->hide();
}

void ImportWindow::showDetailCaptions() {
    for (const Caption& c : kDetailCaptions)
        findChild<QLabel*>(QLatin1String(c.name))->setText(QLatin1String(c.text));
    m_txtDesc->clear();
}

void ImportWindow::connectControls() {
    connect(m_cmdG, &QPushButton::clicked, this, &ImportWindow::cmdG_Click);
    connect(m_txtWatchUrl, &QLineEdit::textChanged, m_cmdG, [this] { m_cmdG->setEnabled(true); });
    connect(m_cmdCLose, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_cmdPR, &QPushButton::clicked, this, &ImportWindow::cmdPR_Click);
    for (const StreamFormat& f : streamFormats())
        connect(m_formatButtons[f.code], &QPushButton::clicked, this,
                [this, &f] { formatButton_Click(f); });
}

void ImportWindow::connectSession() {
    Transfer& page = m_session->pageTransfer();
    connect(&page, &Transfer::stateChanged, this, &ImportWindow::showStatus);
    connect(&page, &Transfer::dataArrived, this, [this] {
        if (m_session->state() == ImportSession::State::Reading)
            m_lblTitle->setText(QStringLiteral("Reading Data..."));
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
void ImportWindow::cmdG_Click() {
    m_cmdG->setEnabled(false);
    if (!m_session->read(m_txtWatchUrl->text())) {
        QMessageBox* box = showMessage(
            applicationTitle(),
            QStringLiteral("Something Went Wrong\r\n") + m_session->errorString(), QMessageBox::Ok);
        connect(box, &QMessageBox::finished, this, [this] {
            m_cmdG->setEnabled(true);
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
    m_lblTitle->setText(QStringLiteral("Reading the page with yt-dlp..."));
    m_lblBackend->setText(QStringLiteral("yt-dlp"));
}

// The page's buttons and reader at once; its fields once the thumbnail has come (or failed).
void ImportWindow::showPage(const ImportPage& page) {
    enableFormatButtons(page.offeredCodes());
    m_lblBackend->setText(page.reader == PageReader::Classic
                              ? QStringLiteral("Read by the classic page reader")
                              : QStringLiteral("Read by yt-dlp %1")
                                    .arg(page.ytDlpVersion.isEmpty()
                                             ? QStringLiteral("(version unknown)")
                                             : page.ytDlpVersion));
    m_lblTitle->setText(QStringLiteral("Complete!"));
    const bool fetching = FetchToCache(*m_inet2, page.info.thumbnailUrl, m_storage,
                                       page.info.videoId + QStringLiteral(".jpg"), this,
                                       [this](const QString&) { showPageFields(); });
    if (!fetching)
        showPageFields();
}

void ImportWindow::showPageFields() {
    const ImportPage& page = m_session->page();
    const WatchPageInfo& info = page.info;
    showPicture(cachedThumbnailPath(m_storage, info.videoId));
    m_lblTitle1->setText(info.title);
    m_txtDesc->setPlainText(info.description);
    m_lblCat->setText(info.category);
    m_lblAuthor->setText(info.author);
    m_lblDur->setText(info.lengthSeconds + QStringLiteral(" Sec."));
    m_lblPublished->setText(info.published);
    m_lblRating->setText(info.rating);
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
    m_lblBackend->clear();
    if (outcome.end == ImportSession::State::Cancelled)
        return;
    if (outcome.stage == ImportSession::Stage::ReadingWithYtDlp)
        m_lblTitle->setText(QStringLiteral("yt-dlp could not read the page"));
    else if (outcome.timedOut)
        m_lblTitle->setText(QStringLiteral("Slow Connection"));
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

void ImportWindow::formatButton_Click(const StreamFormat& format) {
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
        LoadFLVPlayer(m_session->page().streamAddress(format.code));
    });
}

// Preview plays the best stream.
void ImportWindow::cmdPR_Click() {
    movePreviewPanel(kPanelForPreview.x(), kPanelForPreview.y());
    LoadFLVPlayer(m_session->page().streamAddress(35));
}

void ImportWindow::downloadStream(const StreamFormat& format) {
    if (m_session->download(format.code, m_storage) != ImportSession::Refusal::None) {
        showMessage(applicationTitle(), QStringLiteral("Error-") + m_session->errorString(),
                    QMessageBox::Ok);
        return;
    }
    showProgress(0);
}

void ImportWindow::showProgress(int percent) {
    m_label2->setText(QString::number(percent) + QStringLiteral(" % "));
    m_pbDownload->setValue(percent);
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
        m_lblTitle->setText(QStringLiteral("Stopping the download..."));
    connect(
        m_session, &ImportSession::finished, this, [this] { QDialog::reject(); },
        Qt::SingleShotConnection);
    m_session->cancel();
}

void ImportWindow::LoadFLVPlayer(const QString& link) {
    const QString tip = QStringLiteral("Preview of ") + m_session->page().info.title;
    m_swf->setToolTip(tip);
    if (!m_player)
        return;
    m_player->setMovie(QDir(applicationFolder()).filePath(QStringLiteral("flvplayer.swf")));
    m_player->setVariable(QStringLiteral("file"), link);
    m_player->play();
    m_player->setToolTipText(tip);
    m_player->setWindowMode(QStringLiteral("Fullscreen"));
}

void ImportWindow::showStatus(int state) {
    const Transfer& page = m_session->pageTransfer();
    if (const auto text = transferStatusText(state, page.responseCode(), page.responseInfo()))
        m_lblTitle->setText(*text);
}

void ImportWindow::showPicture(const QString& path) {
    const QPixmap picture(path);
    if (!picture.isNull())
        m_picTitle->setPixmap(picture);
}

// The panel keeps inside the window, however large its texts made it.
void ImportWindow::movePreviewPanel(int leftTwips, int topTwips) {
    QRect place(QPoint(mirelo::twipsToPixels(leftTwips), mirelo::twipsToPixels(topTwips)),
                twipsToPixels(kPanelTwips).expandedTo(m_frmPR->minimumSizeHint()));
    place.setSize(place.size().boundedTo(size()));
    place.moveRight(qMin(place.right(), rect().right()));
    place.moveBottom(qMin(place.bottom(), rect().bottom()));
    m_frmPR->setGeometry(place);
    m_frmPR->show();
    m_frmPR->raise();
}

void ImportWindow::hidePreviewPanel() {
    m_frmPR->move(mirelo::twipsToPixels(kPanelHiddenLeft), m_frmPR->y());
    m_frmPR->hide();
}

QMessageBox* ImportWindow::showMessage(const QString& title, const QString& text, int buttons) {
    return showMessageBox(
        this, buttons == QMessageBox::Ok ? QMessageBox::Critical : QMessageBox::Question, text,
        QMessageBox::StandardButtons(buttons), title);
}

bool ImportWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_txtWatchUrl && event->type() == QEvent::MouseButtonPress)
        QTimer::singleShot(0, m_txtWatchUrl, &QLineEdit::selectAll);
    if (watched == m_label6 && event->type() == QEvent::MouseButtonRelease)
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
                file.isEmpty() ? m_storage : info.absolutePath());
}

} // namespace mirelo
