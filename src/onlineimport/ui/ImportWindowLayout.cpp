#include "onlineimport/ui/ImportWindow.h"

#include "ui/SkinNames.h"
#include "ui/Twips.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

// The building of the import window's controls and the placing of its preview panel; what they
// do is in ImportWindow.cpp.

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

// The preview panel's left edge (twips) out of view.
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

} // namespace mirelo
