#include "app/RunPanel.h"

#include "ui/SkinNames.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirelo {

namespace {

constexpr int kMinimumWidth = 360;
constexpr int kMaximumWidth = 720;
constexpr int kWindowMargin = 8;
// Room a group box keeps beside its caption (frame, indent, padding).
constexpr int kCaptionAllowance = 40;

QProgressBar* makeBar(const char* name, QWidget* parent) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 100);
    bar->setValue(0);
    return bar;
}

QGroupBox* frameAround(const QString& caption, QWidget* content, QWidget* parent) {
    auto* box = new QGroupBox(caption, parent);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(content);
    return box;
}

} // namespace

RunPanel::RunPanel(QWidget* parent) : QFrame(parent) {
    setObjectName(skinName::kRunPanel);
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setCursor(Qt::SizeAllCursor);

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("cancelButton"));
    m_cancel->setCursor(Qt::ArrowCursor);

    // "Cancel" beside the clock rather than on a row of its own: docked under the list, every
    // line the panel saves is a line of the list.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* top = new QHBoxLayout;
    top->addWidget(buildClock(), 1);
    top->addWidget(m_cancel, 0, Qt::AlignBottom);
    layout->addLayout(top);
    layout->addWidget(buildProgress());
    setProgressCaption(QStringLiteral("Progress...."));
    if (parent)
        parent->installEventFilter(this);
    fitToWindow();
}

QWidget* RunPanel::buildClock() {
    auto* clockFrame = new QGroupBox(this);
    clockFrame->setObjectName(QStringLiteral("clockFrame"));
    auto* clockRow = new QHBoxLayout(clockFrame);
    auto* clockCaption = new QLabel(QStringLiteral("Converting Time:"), clockFrame);
    m_clock = new QLabel(QStringLiteral("00:00:00"), clockFrame);
    m_clock->setObjectName(skinName::kRunClock);
    clockRow->addWidget(clockCaption);
    clockRow->addWidget(m_clock);
    clockRow->addStretch();
    return clockFrame;
}

QWidget* RunPanel::buildProgress() {
    m_progress = new QGroupBox(this);
    m_progress->setObjectName(QStringLiteral("progressFrame"));
    m_progress->installEventFilter(this);
    m_total = makeBar("totalProgress", m_progress);
    m_track = makeBar("itemProgress", m_progress);
    m_rate = new QLabel(m_progress);
    m_rate->setObjectName(QStringLiteral("rateLabel"));
    m_rate->setWordWrap(true);
    auto* bars = new QVBoxLayout(m_progress);
    bars->setContentsMargins(4, bars->contentsMargins().top(), 4, 4);
    bars->addWidget(frameAround(QStringLiteral("Total Conversion"), m_total, m_progress));
    bars->addWidget(frameAround(QStringLiteral("Currently Conversion"), m_track, m_progress));
    bars->addWidget(m_rate);
    return m_progress;
}

void RunPanel::setProgressCaption(const QString& caption) {
    m_caption = caption;
    showCaption();
}

// The caption as far as the frame is wide; a shortened one keeps both ends of its paths.
void RunPanel::showCaption() {
    if (!m_progress->isVisible()) {
        m_progress->setTitle(m_caption);
        m_progress->setToolTip(QString());
        return;
    }
    const int room = qMax(0, m_progress->width() - kCaptionAllowance);
    const QString shown = m_progress->fontMetrics().elidedText(m_caption, Qt::ElideMiddle, room);
    m_progress->setTitle(shown);
    m_progress->setToolTip(shown == m_caption ? QString() : m_caption);
}

void RunPanel::dockInto(QWidget* slot) {
    m_slot = slot;
    m_floating = false;
    m_slot->setVisible(isVisible());
    m_slot->installEventFilter(this);
}

// Over the slot, as wide as it; the slot as tall as the contents need at that width.
void RunPanel::fitToSlot() {
    const int width = m_slot->width();
    const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width)
                                                     : layout()->totalSizeHint().height();
    m_slot->setFixedHeight(height);
    setGeometry(QRect(m_slot->mapTo(parentWidget(), QPoint()), QSize(width, height)));
}

// The user moved the panel: it floats where it is left and its space goes back to the list.
void RunPanel::undock() {
    m_floating = true;
    m_slot->hide();
    fitToWindow();
}

// As wide as suits the window, as high as the contents need at that width.
void RunPanel::fitToWindow() {
    if (!parentWidget())
        return;
    if (isDocked())
        return fitToSlot();
    const int area = parentWidget()->width() - 2 * kWindowMargin;
    const int width = qMax(qMin(qBound(kMinimumWidth, area * 3 / 5, kMaximumWidth), area),
                           qMin(kMinimumWidth, parentWidget()->width()));
    const int height = layout()->hasHeightForWidth() ? layout()->totalHeightForWidth(width)
                                                     : layout()->totalSizeHint().height();
    resize(width, height);
    moveWithinWindow(pos());
}

// Keeps the panel inside the window so it cannot be lost off an edge.
void RunPanel::moveWithinWindow(QPoint topLeft) {
    if (!parentWidget())
        return;
    const QRect area = parentWidget()->rect();
    topLeft.setX(qBound(0, topLeft.x(), qMax(0, area.width() - width())));
    topLeft.setY(qBound(0, topLeft.y(), qMax(0, area.height() - height())));
    move(topLeft);
}

bool RunPanel::event(QEvent* event) {
    const bool handled = QFrame::event(event);
    // A text that changed its lines asks for a new size.
    if (event->type() == QEvent::LayoutRequest && isVisible())
        fitToWindow();
    return handled;
}

bool RunPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_slot && isDocked() && isVisible() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Move))
        fitToSlot();
    if (event->type() == QEvent::Resize) {
        if (watched == parentWidget() && isVisible())
            fitToWindow();
        else if (watched == m_progress)
            showCaption();
    }
    return QFrame::eventFilter(watched, event);
}

void RunPanel::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    raise();
    if (isDocked()) {
        m_slot->show();
        // The slot's place now, not after the next layout pass, so the panel never flashes
        // elsewhere.
        if (QLayout* around = m_slot->parentWidget()->layout())
            around->activate();
    }
    fitToWindow();
    showCaption();
    if (m_placed || !parentWidget() || isDocked())
        return;
    m_placed = true;
    QRect frame = rect();
    frame.moveCenter(parentWidget()->rect().center());
    moveWithinWindow(frame.topLeft());
}

void RunPanel::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    if (isDocked())
        m_slot->hide();
}

void RunPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QFrame::mousePressEvent(event);
    // Qt grabs the mouse for the pressed widget until release, so moves arrive here.
    m_dragging = true;
    m_grip = event->position().toPoint();
}

void RunPanel::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging || !parentWidget())
        return QFrame::mouseMoveEvent(event);
    if (isDocked())
        undock();
    moveWithinWindow(mapToParent(event->position().toPoint()) - m_grip);
}

void RunPanel::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    QFrame::mouseReleaseEvent(event);
}

} // namespace mirelo
