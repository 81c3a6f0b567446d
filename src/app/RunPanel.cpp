#include "app/RunPanel.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirelo {

namespace {

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
    setObjectName(QStringLiteral("Picture4"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    setCursor(Qt::SizeAllCursor);

    auto* clockFrame = new QGroupBox(this);
    clockFrame->setObjectName(QStringLiteral("frmClock"));
    auto* clockRow = new QHBoxLayout(clockFrame);
    auto* clockCaption = new QLabel(QStringLiteral("Converting Time:"), clockFrame);
    m_clock = new QLabel(QStringLiteral("00:00:00"), clockFrame);
    m_clock->setObjectName(QStringLiteral("SkinLabel2"));
    clockRow->addWidget(clockCaption);
    clockRow->addWidget(m_clock);
    clockRow->addStretch();

    m_progress = new QGroupBox(QStringLiteral("Progress...."), this);
    m_progress->setObjectName(QStringLiteral("Frame14"));
    m_total = makeBar("prgTotalProgress", m_progress);
    m_track = makeBar("prgTrackProgress", m_progress);
    auto* bars = new QVBoxLayout(m_progress);
    bars->addWidget(frameAround(QStringLiteral("Total Conversion"), m_total, m_progress));
    bars->addWidget(frameAround(QStringLiteral("Currently Conversion"), m_track, m_progress));

    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("Command1"));
    m_cancel->setCursor(Qt::ArrowCursor);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(clockFrame);
    layout->addWidget(m_progress);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    setMinimumWidth(360);
    adjustSize();
}

void RunPanel::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    raise();
    if (m_placed || !parentWidget())
        return;
    m_placed = true;
    adjustSize();
    QRect frame = rect();
    frame.moveCenter(parentWidget()->rect().center());
    move(frame.topLeft());
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
    const QPoint inParent = mapToParent(event->position().toPoint());
    QPoint topLeft = inParent - m_grip;
    // Keep the panel inside the window so it cannot be lost off an edge.
    const QRect area = parentWidget()->rect();
    topLeft.setX(qBound(0, topLeft.x(), qMax(0, area.width() - width())));
    topLeft.setY(qBound(0, topLeft.y(), qMax(0, area.height() - height())));
    move(topLeft);
}

void RunPanel::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    QFrame::mouseReleaseEvent(event);
}

} // namespace mirelo
