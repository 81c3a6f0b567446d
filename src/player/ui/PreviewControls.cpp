#include "player/ui/PreviewControls.h"

#include "player/PreviewPlayer.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QWidget>

namespace mirelo {

namespace {

class MouseReleaseFilter : public QObject {
public:
    MouseReleaseFilter(QObject* parent, std::function<void()> action)
        : QObject(parent), m_action(std::move(action)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            // Let the slider take its new value first.
            watched->event(event);
            m_action();
            return true;
        }
        return false;
    }

private:
    std::function<void()> m_action;
};

class ClickToSeekFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress)
            return false;
        auto* press = static_cast<QMouseEvent*>(event);
        if (press->button() == Qt::LeftButton)
            moveHandleTo(static_cast<QSlider*>(watched), press->position().toPoint());
        return false; // the slider then takes the press on its handle: a drag may follow
    }

private:
    static QStyleOptionSlider optionOf(const QSlider* slider) {
        QStyleOptionSlider option;
        option.initFrom(slider);
        option.orientation = slider->orientation();
        if (option.orientation == Qt::Horizontal)
            option.state |= QStyle::State_Horizontal;
        option.minimum = slider->minimum();
        option.maximum = slider->maximum();
        option.sliderPosition = slider->sliderPosition();
        option.sliderValue = slider->value();
        option.singleStep = slider->singleStep();
        option.pageStep = slider->pageStep();
        option.tickPosition = slider->tickPosition();
        option.tickInterval = slider->tickInterval();
        option.upsideDown =
            option.orientation == Qt::Horizontal
                ? slider->invertedAppearance() != (slider->layoutDirection() == Qt::RightToLeft)
                : !slider->invertedAppearance();
        option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
        return option;
    }

    static void moveHandleTo(QSlider* slider, const QPoint& point) {
        const QStyleOptionSlider option = optionOf(slider);
        QStyle* style = slider->style();
        const QRect handle =
            style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
        if (handle.contains(point))
            return;
        const QRect groove =
            style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
        const bool horizontal = slider->orientation() == Qt::Horizontal;
        const int handleLength = horizontal ? handle.width() : handle.height();
        const int start = (horizontal ? groove.x() : groove.y()) + handleLength / 2;
        const int span = (horizontal ? groove.width() : groove.height()) - handleLength;
        const int at = (horizontal ? point.x() : point.y()) - start;
        slider->setValue(QStyle::sliderValueFromPosition(slider->minimum(), slider->maximum(), at,
                                                         span, option.upsideDown));
    }
};

} // namespace

void onMouseRelease(QWidget* widget, std::function<void()> action) {
    widget->installEventFilter(new MouseReleaseFilter(widget, std::move(action)));
}

void seekOnClick(QSlider* slider) {
    slider->installEventFilter(new ClickToSeekFilter(slider));
}

PreviewControls::PreviewControls(PreviewPlayer& player, const PreviewWidgets& widgets,
                                 QObject* parent)
    : QObject(parent), m_widgets(widgets), m_transport(player) {
    m_transport.setClock(widgets.clock);
    if (QWidget* video = widgets.video)
        m_transport.setVideoWindow([video] { return static_cast<quint64>(video->winId()); });

    if (widgets.play)
        connect(widgets.play, &QAbstractButton::clicked, this, &PreviewControls::play);
    connectButton(widgets.pause, &PreviewTransport::pause);
    connectButton(widgets.stop, &PreviewTransport::stop);
    connectButton(widgets.back, &PreviewTransport::back);
    connectButton(widgets.forward, &PreviewTransport::forward);
    connectButton(widgets.firstFrame, &PreviewTransport::firstFrame);
    connectButton(widgets.lastFrames, &PreviewTransport::lastFrames);

    if (QSlider* slider = widgets.position) {
        slider->setRange(0, PreviewTransport::kSliderMaximum);
        seekOnClick(slider);
        onMouseRelease(slider, [this, slider] { m_transport.sliderReleased(slider->value()); });
        connect(&m_transport, &PreviewTransport::sliderValueChanged, this,
                &PreviewControls::showSliderValue);
    }
    if (QLabel* label = widgets.currentTime)
        connect(&m_transport, &PreviewTransport::currentTimeChanged, label, &QLabel::setText);
    if (QLabel* label = widgets.totalTime)
        connect(&m_transport, &PreviewTransport::totalTimeChanged, label, &QLabel::setText);
    // The last frame a player drew stays in the window until something paints over it.
    connect(&m_transport, &PreviewTransport::stopped, this, &PreviewControls::showIdlePicture);
    connect(&player, &PreviewPlayer::playerFinished, this, [this] {
        if (!m_transport.player().isPlayerRunning())
            showIdlePicture();
    });
}

void PreviewControls::connectButton(QAbstractButton* button, void (PreviewTransport::*command)()) {
    if (button)
        connect(button, &QAbstractButton::clicked, &m_transport, command);
}

void PreviewControls::play() {
    const std::optional<PlayItem> item = m_source ? m_source() : std::nullopt;
    if (item)
        m_transport.play(item->file, item->videoTime, item->from);
}

void PreviewControls::showIdlePicture() {
    if (m_widgets.video)
        m_widgets.video->update();
}

void PreviewControls::showSliderValue(int value) {
    // The clock does not pull the handle away from a user dragging it.
    if (!m_widgets.position->isSliderDown())
        m_widgets.position->setValue(value);
}

} // namespace mirelo
