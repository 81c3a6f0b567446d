#include "tools/ui/PreviewControls.h"

#include <QAbstractButton>
#include <QEvent>
#include <QLabel>
#include <QSlider>
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

} // namespace

void onMouseRelease(QWidget* widget, std::function<void()> action) {
    widget->installEventFilter(new MouseReleaseFilter(widget, std::move(action)));
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
        onMouseRelease(slider, [this, slider] { m_transport.sliderReleased(slider->value()); });
        connect(&m_transport, &PreviewTransport::sliderValueChanged, this,
                &PreviewControls::showSliderValue);
    }
    if (QLabel* label = widgets.currentTime)
        connect(&m_transport, &PreviewTransport::currentTimeChanged, label, &QLabel::setText);
    if (QLabel* label = widgets.totalTime)
        connect(&m_transport, &PreviewTransport::totalTimeChanged, label, &QLabel::setText);
}

void PreviewControls::connectButton(QAbstractButton* button, void (PreviewTransport::*command)()) {
    if (button)
        connect(button, &QAbstractButton::clicked, &m_transport, command);
}

void PreviewControls::play() {
    const std::optional<PlayItem> item = m_source ? m_source() : std::nullopt;
    if (item)
        m_transport.play(item->file, item->videoTime);
}

void PreviewControls::showSliderValue(int value) {
    // The clock does not pull the handle away from a user dragging it.
    if (!m_widgets.position->isSliderDown())
        m_widgets.position->setValue(value);
}

} // namespace mirelo
