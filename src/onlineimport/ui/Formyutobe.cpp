#include "onlineimport/ui/Formyutobe.h"

#include "onlineimport/CacheFetch.h"
#include "onlineimport/ImportFolders.h"
#include "onlineimport/StreamDownload.h"
#include "onlineimport/StreamPreviewPlayer.h"
#include "onlineimport/TextOps.h"
#include "onlineimport/Transfer.h"
#include "onlineimport/WatchPage.h"
#include "tools/ToolLocator.h"

#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>
#include <QWindow>

namespace mirelo {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kWidthTwips = 7170;
constexpr int kHeightTwips = 4845;
const char kApplicationTitle[] = "Mirelo Video Converter";
const char kSampleAddress[] = "https://www.youtube.com/watch?v=XXXXX";

int px(int twips) {
    return twips / kTwipsPerPixel;
}

struct Placement {
    const char* name;
    int left, top, width, height; // twips, relative to the parent control
};

// Where each control sits. Children of frmDW and frmPR are placed relative to their panel.
const Placement kPlacements[] = {
    {"frmDW", 60, 510, 7095, 3855},        {"Label1", 150, 30, 5055, 255},
    {"txtWatchUrl", 120, 360, 6255, 285},  {"cmdG", 6150, 1800, 855, 855},
    {"picTitle", 120, 720, 2055, 1695},    {"lblTitle1", 2280, 720, 3735, 375},
    {"lblAuthor", 2280, 1080, 3495, 255},  {"txtDesc", 2310, 1320, 3735, 615},
    {"lblCat", 2280, 2040, 3735, 255},     {"lblPublished", 2280, 2280, 3735, 255},
    {"lblDur", 360, 2400, 1695, 255},      {"lblRat", 6120, 840, 855, 255},
    {"lblRating", 6120, 1080, 855, 495},   {"Label2", 120, 2760, 1215, 255},
    {"pbDownload", 1440, 2760, 5535, 255}, {"getMp4", 120, 3120, 1335, 615},
    {"getHDL", 1560, 3120, 1335, 615},     {"cmdPR", 3120, 3240, 855, 375},
    {"getHDH", 4095, 3120, 1335, 615},     {"getFlv", 5535, 3120, 1335, 615},
    {"cmdCLose", 6810, 0, 285, 285},       {"lblTitle", 120, 4410, 6975, 255},
    {"frmPR", 5160, 6720, 6735, 4095},     {"SWF", 120, 360, 6495, 3615},
    {"Label8", 2040, 105, 4200, 255},      {"Label6", 6435, 105, 255, 255},
};

struct Caption {
    const char* name;
    const char* text;
};

// Initial captions; the format buttons take theirs from the stream format table.
const Caption kCaptions[] = {
    {"Label1", "Enter YouTube video URL"},
    {"txtWatchUrl", kSampleAddress},
    {"cmdG", "Get Direct Link"},
    {"lblTitle1", "Title"},
    {"lblAuthor", "Author"},
    {"lblCat", "Category"},
    {"lblPublished", "Published"},
    {"lblDur", "Duration"},
    {"lblRat", "Rating"},
    {"lblRating", "..."},
    {"cmdPR", "Preview"},
    {"cmdCLose", "X"},
    {"lblTitle", "Status  "},
    {"Label8", "Click and wait for video to Load..."},
    {"Label6", "X"},
};

// Preview panel positions (twips): after "No" on the question, after "Preview", and out of view.
constexpr QPoint kPanelForPlay(240, 120);
constexpr QPoint kPanelForPreview(300, 450);
constexpr int kPanelHiddenLeft = 8000;

// A push button whose caption wraps, for the square "Get Direct Link" button.
class WrappingButton : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        painter.drawText(rect().adjusted(2, 2, -2, -2), Qt::AlignCenter | Qt::TextWordWrap, text());
    }
};

template <typename W, typename... Args> W* make(QWidget* parent, const char* name, Args... args) {
    auto* w = new W(args..., parent);
    w->setObjectName(QLatin1String(name));
    return w;
}

void setCaption(QWidget* w, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(text);
}

} // namespace

Formyutobe::Formyutobe(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), inet1_(new Transfer(this)),
      inet2_(new Transfer(this)), download_(new StreamDownload(*inet1_, this)),
      storage_(importFolder()) {
    setObjectName(QStringLiteral("Formyutobe"));
    setWindowTitle(QStringLiteral("RirUzarAvud-Beta Release"));
    inet1_->setObjectName(QStringLiteral("Inet1"));
    inet2_->setObjectName(QStringLiteral("Inet2"));
    resize(px(kWidthTwips), px(kHeightTwips));
    buildControls();
    buildPreviewPanel();
    for (const Placement& p : kPlacements)
        if (auto* w = findChild<QWidget*>(QLatin1String(p.name)))
            w->setGeometry(px(p.left), px(p.top), px(p.width), px(p.height));
    for (const Caption& c : kCaptions)
        setCaption(findChild<QWidget*>(QLatin1String(c.name)), QLatin1String(c.text));
    frmPR_->raise();
    connectControls();
}

Formyutobe::~Formyutobe() = default;

void Formyutobe::buildControls() {
    frmDW_ = make<QFrame>(this, "frmDW");
    label1_ = make<QLabel>(frmDW_, "Label1");
    txtWatchUrl_ = make<QLineEdit>(frmDW_, "txtWatchUrl");
    txtWatchUrl_->installEventFilter(this);
    cmdG_ = make<WrappingButton>(frmDW_, "cmdG");
    picTitle_ = make<QLabel>(frmDW_, "picTitle");
    picTitle_->setScaledContents(true);
    lblTitle1_ = make<QLabel>(frmDW_, "lblTitle1");
    lblAuthor_ = make<QLabel>(frmDW_, "lblAuthor");
    txtDesc_ = make<QPlainTextEdit>(frmDW_, "txtDesc");
    txtDesc_->setReadOnly(true);
    lblCat_ = make<QLabel>(frmDW_, "lblCat");
    lblPublished_ = make<QLabel>(frmDW_, "lblPublished");
    lblDur_ = make<QLabel>(frmDW_, "lblDur");
    make<QLabel>(frmDW_, "lblRat");
    lblRating_ = make<QLabel>(frmDW_, "lblRating");
    lblRating_->setWordWrap(true);
    label2_ = make<QLabel>(frmDW_, "Label2");
    pbDownload_ = make<QProgressBar>(frmDW_, "pbDownload");
    pbDownload_->setRange(0, 100);
    pbDownload_->setValue(0);
    pbDownload_->setTextVisible(false); // Label2 shows the percentage
    for (const StreamFormat& f : streamFormats()) {
        auto* button = make<QPushButton>(frmDW_, f.buttonName, QLatin1String(f.caption));
        button->setEnabled(false);
        formatButtons_[f.code] = button;
    }
    cmdPR_ = make<QPushButton>(frmDW_, "cmdPR");
    cmdCLose_ = make<QPushButton>(this, "cmdCLose");
    cmdCLose_->setFlat(true);
    lblTitle_ = make<QLabel>(this, "lblTitle");
}

void Formyutobe::buildPreviewPanel() {
    frmPR_ = make<QGroupBox>(this, "frmPR", QStringLiteral("YouTube Preview"));
    frmPR_->setAutoFillBackground(true);
    make<QLabel>(frmPR_, "Label8");
    swf_ = make<QWidget>(frmPR_, "SWF");
    // The player draws into this widget through its native window id.
    swf_->setAttribute(Qt::WA_NativeWindow);
    swf_->setAutoFillBackground(true);
    swf_->setStyleSheet(QStringLiteral("background: black;"));
    label6_ = make<QLabel>(frmPR_, "Label6");
    label6_->installEventFilter(this);
}

void Formyutobe::connectControls() {
    connect(cmdG_, &QPushButton::clicked, this, &Formyutobe::cmdG_Click);
    connect(txtWatchUrl_, &QLineEdit::textChanged, cmdG_, [this] { cmdG_->setEnabled(true); });
    connect(cmdCLose_, &QPushButton::clicked, this, &QDialog::reject);
    connect(cmdPR_, &QPushButton::clicked, this, &Formyutobe::cmdPR_Click);
    for (const StreamFormat& f : streamFormats())
        connect(formatButtons_[f.code], &QPushButton::clicked, this,
                [this, &f] { formatButton_Click(f); });
    connect(inet1_, &Transfer::stateChanged, this, &Formyutobe::showStatus);
    connect(inet1_, &Transfer::dataArrived, this, [this] {
        if (readingPage_)
            lblTitle_->setText(QStringLiteral("Reading Data..."));
    });
    connect(download_, &StreamDownload::progress, this, [this](int percent) {
        label2_->setText(QString::number(percent) + QStringLiteral(" % "));
        pbDownload_->setValue(percent);
    });
    connect(download_, &StreamDownload::finished, this, [this](bool ok) {
        if (!ok)
            showMessage(QLatin1String(kApplicationTitle),
                        QStringLiteral("Error-") + download_->errorString(), QMessageBox::Ok);
        Q_EMIT downloadFinished(ok);
    });
}

// Get Direct Link: every step runs, whatever became of the one before.
void Formyutobe::cmdG_Click() {
    cmdG_->setEnabled(false);
    showPicture(loadingPicturePath());
    LoadPage(txtWatchUrl_->text(), [this](const QString& page) { afterPageLoaded(page); });
}

void Formyutobe::afterPageLoaded(const QString& page) {
    pageWarnings_.clear();
    GetURLs(page);
    WatchPageInfo& info = watchPageInfo();
    ParseWatchPage(page, info, &pageWarnings_);
    const bool fetching =
        FetchToCache(*inet2_, info.thumbnailUrl, storage_, info.videoId + QStringLiteral(".jpg"),
                     this, [this](const QString&) { showThumbnailAndFields(); });
    if (!fetching)
        showThumbnailAndFields();
}

void Formyutobe::showThumbnailAndFields() {
    const WatchPageInfo& info = watchPageInfo();
    showPicture(cachedThumbnailPath(storage_, info.videoId));
    lblTitle1_->setText(info.title);
    txtDesc_->setPlainText(info.description);
    lblCat_->setText(info.category);
    lblAuthor_->setText(info.author);
    lblDur_->setText(info.lengthSeconds + QStringLiteral(" Sec."));
    lblPublished_->setText(info.published);
    lblRating_->setText(info.rating);
    if (!pageWarnings_.isEmpty()) {
        QMessageBox* box =
            showMessage(QLatin1String(kApplicationTitle),
                        QStringLiteral("Some parts of the page could not be read:\r\n") +
                            pageWarnings_.join(QStringLiteral("\r\n")),
                        QMessageBox::Ok);
        box->setIcon(QMessageBox::Warning);
    }
    Q_EMIT directLinkFinished();
}

void Formyutobe::LoadPage(const QString& url, std::function<void(const QString&)> done) {
    auto failed = [this, done](const QString& description) {
        if (description.contains(QString::number(kTimeoutCode)))
            lblTitle_->setText(QStringLiteral("Slow Connection"));
        QMessageBox* box =
            showMessage(QLatin1String(kApplicationTitle),
                        QStringLiteral("Something Went Wrong\r\n") + description, QMessageBox::Ok);
        connect(box, &QMessageBox::finished, this, [done] { done(QString()); });
    };
    if (!inet1_->execute(url)) {
        failed(inet1_->errorString());
        return;
    }
    readingPage_ = true;
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(inet1_, &Transfer::finished, this, [=, this](bool ok) {
        disconnect(*connection);
        readingPage_ = false;
        if (!ok) {
            failed(inet1_->errorString());
            return;
        }
        const QString page = QString::fromUtf8(inet1_->takeBody());
        lblTitle_->setText(QStringLiteral("Complete!"));
        done(page);
    });
}

void Formyutobe::GetURLs(const QString& page) {
    for (const int code : readStreamLinks(page, links_, &pageWarnings_))
        formatButtons_[code]->setEnabled(true);
}

void Formyutobe::formatButton_Click(const StreamFormat& format) {
    if (!format.asksDownloadOrPlay) {
        DownloadToFile(format);
        return;
    }
    QMessageBox* box = showMessage(QStringLiteral("Download/Play"),
                                   QStringLiteral("Do you want Download or Play this video?\r\n"
                                                  "Click yes to Download, No to Play"),
                                   QMessageBox::Yes | QMessageBox::No);
    box->setIcon(QMessageBox::Question);
    connect(box, &QMessageBox::finished, this, [this, &format](int answer) {
        if (answer == QMessageBox::Yes) {
            DownloadToFile(format);
            return;
        }
        movePreviewPanel(kPanelForPlay.x(), kPanelForPlay.y());
        LoadFLVPlayer(decodedLink(format.code));
    });
}

void Formyutobe::cmdPR_Click() {
    movePreviewPanel(kPanelForPreview.x(), kPanelForPreview.y());
    LoadFLVPlayer(decodedLink(35));
}

void Formyutobe::DownloadToFile(const StreamFormat& format) {
    const std::optional<QString> link = URLDecode(links_.value(format.code));
    const WatchPageInfo& info = watchPageInfo();
    const QString name =
        downloadFileName(info.title, QLatin1String(format.fileSuffix), info.videoId);
    const QString path = QDir(storage_).filePath(name);
    QString error;
    if (!link)
        error = QStringLiteral("the link of %1 is not a valid encoded address")
                    .arg(QLatin1String(format.caption));
    else if (!QDir().mkpath(storage_))
        error = QStringLiteral("cannot create the folder %1").arg(storage_);
    else if (!download_->start(*link, path))
        error = download_->errorString();
    if (!error.isEmpty())
        showMessage(QLatin1String(kApplicationTitle), QStringLiteral("Error-") + error,
                    QMessageBox::Ok);
}

void Formyutobe::LoadFLVPlayer(const QString& link) {
    const QString tip = QStringLiteral("Preview of ") + watchPageInfo().title;
    swf_->setToolTip(tip);
    if (!player_)
        return;
    player_->setMovie(QDir(applicationFolder()).filePath(QStringLiteral("flvplayer.swf")));
    player_->setVariable(QStringLiteral("file"), link);
    player_->play();
    player_->setToolTipText(tip);
    player_->setWindowMode(QStringLiteral("Fullscreen"));
}

QString Formyutobe::decodedLink(int code) const {
    const QString link = links_.value(code);
    return URLDecode(link).value_or(link);
}

void Formyutobe::showStatus(int state) {
    if (const auto text = transferStatusText(state, inet1_->responseCode(), inet1_->responseInfo()))
        lblTitle_->setText(*text);
}

void Formyutobe::showPicture(const QString& path) {
    const QPixmap picture(path);
    if (!picture.isNull())
        picTitle_->setPixmap(picture);
}

void Formyutobe::movePreviewPanel(int leftTwips, int topTwips) {
    frmPR_->move(px(leftTwips), px(topTwips));
    frmPR_->raise();
}

QMessageBox* Formyutobe::showMessage(const QString& title, const QString& text, int buttons) {
    auto* box = new QMessageBox(QMessageBox::NoIcon, title, text,
                                QMessageBox::StandardButtons(buttons), this);
    box->setIcon(buttons == QMessageBox::Ok ? QMessageBox::Critical : QMessageBox::Question);
    connect(box, &QMessageBox::finished, box, &QObject::deleteLater);
    box->open();
    return box;
}

bool Formyutobe::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtWatchUrl_ && event->type() == QEvent::MouseButtonPress)
        QTimer::singleShot(0, txtWatchUrl_, &QLineEdit::selectAll);
    if (watched == label6_ && event->type() == QEvent::MouseButtonRelease)
        frmPR_->move(px(kPanelHiddenLeft), frmPR_->y());
    return QDialog::eventFilter(watched, event);
}

// Dragging the bare background moves the window (it has no title bar).
void Formyutobe::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || childAt(event->position().toPoint())) {
        QDialog::mousePressEvent(event);
        return;
    }
    if (windowHandle() && windowHandle()->startSystemMove())
        return;
    dragging_ = true;
    dragOffset_ = event->globalPosition().toPoint() - pos();
}

void Formyutobe::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - dragOffset_);
    else
        dragging_ = false;
}

void Formyutobe::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QDialog::mouseReleaseEvent(event);
}

} // namespace mirelo
