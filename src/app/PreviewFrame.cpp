#include "app/PreviewFrame.h"

#include "ui/Resources.h"
#include "ui/SkinNames.h"
#include "ui/VideoSurface.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

namespace mirelo {

PreviewFrame::PreviewFrame(QWidget* parent) : QGroupBox(QStringLiteral("Preview"), parent) {
    initUiResources();
    setObjectName(skinName::kPreviewFrame);
    m_video = new VideoSurface(this);
    m_video->setObjectName(QStringLiteral("videoSurface"));

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("positionSlider"));
    m_slider->setRange(0, 100);
    m_slider->setSingleStep(1);
    m_slider->setPageStep(5);

    m_first = addButton("firstFrameButton", "First Frame", "first");
    m_back = addButton("backButton", "Back", "back");
    m_play = addButton("playButton", "Play", "play");
    m_pause = addButton("pauseButton", "Pause", "pause");
    m_stop = addButton("stopButton", "Stop", "stop");
    m_forward = addButton("forwardButton", "Forward", "forward");
    m_last = addButton("lastFramesButton", "Last Frames", "last");

    auto* transport = new QHBoxLayout;
    transport->setSpacing(2);
    transport->addStretch();
    for (QToolButton* b : {m_first, m_back, m_play, m_pause, m_stop, m_forward, m_last})
        transport->addWidget(b);
    transport->addStretch();

    auto* currentCaption = new QLabel(QStringLiteral("Current Time:"), this);
    m_current = new QLabel(QStringLiteral("0:00:00"), this);
    m_current->setObjectName(skinName::kCurrentTime);
    m_total = new QLabel(QStringLiteral("Total time: 0:00:00"), this);
    m_total->setObjectName(skinName::kTotalTime);
    auto* times = new QHBoxLayout;
    times->addWidget(currentCaption);
    times->addWidget(m_current);
    times->addStretch();
    times->addWidget(m_total);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_video, 1);
    layout->addWidget(m_slider);
    layout->addLayout(times);
    layout->addLayout(transport);
}

QToolButton* PreviewFrame::addButton(const char* name, const char* tip, const char* icon) {
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(QLatin1String(tip));
    button->setAccessibleName(QLatin1String(tip));
    button->setIcon(QIcon(QStringLiteral(":/icons/player/%1.svg").arg(QLatin1String(icon))));
    button->setIconSize({20, 20});
    button->setAutoRaise(true);
    return button;
}

} // namespace mirelo
