#pragma once

#include "player/PreviewTransport.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QAbstractButton;
class QLabel;
class QSlider;
class QTimer;
class QWidget;

namespace mirelo {

class PreviewPlayer;

// The widgets of one preview: the video surface, the seven transport buttons, the position
// slider, the two time labels and the clock timer.
struct PreviewWidgets {
    QWidget* video = nullptr; // a native child window the player draws into
    QAbstractButton* play = nullptr;
    QAbstractButton* pause = nullptr;
    QAbstractButton* stop = nullptr;
    QAbstractButton* back = nullptr;
    QAbstractButton* forward = nullptr;
    QAbstractButton* firstFrame = nullptr;
    QAbstractButton* lastFrames = nullptr;
    QSlider* position = nullptr; // 0 to 100, percent of the length
    QLabel* currentTime = nullptr;
    QLabel* totalTime = nullptr;
    QTimer* clock = nullptr; // ticks once a second while the preview plays
};

// What Play plays: a file and its "Video Time", from `from` seconds.
struct PlayItem {
    QString file;
    QString videoTime;
    int from = 0;
};

// Gives a preview's widgets their behaviour through a PreviewTransport.
class PreviewControls : public QObject {
    Q_OBJECT
public:
    // Play asks this for the item; nullopt means there is nothing to play (an empty list).
    using PlaySource = std::function<std::optional<PlayItem>()>;

    PreviewControls(PreviewPlayer& player, const PreviewWidgets& widgets,
                    QObject* parent = nullptr);

    PreviewTransport& transport() { return m_transport; }
    const PreviewWidgets& widgets() const { return m_widgets; }
    void setPlaySource(PlaySource source) { m_source = std::move(source); }

    // The Play button and the "Play Selected File" commands.
    void play();

private:
    void connectButton(QAbstractButton* button, void (PreviewTransport::*command)());
    void showSliderValue(int value);
    void showIdlePicture();

    PreviewWidgets m_widgets;
    PreviewTransport m_transport;
    PlaySource m_source;
};

// Runs `action` when the mouse button is let go over `widget` (a slider acts on release, whether
// its handle was dragged or its groove clicked).
void onMouseRelease(QWidget* widget, std::function<void()> action);

// A left click on the slider's groove moves the handle to the click (and from there it can be
// dragged), instead of one page step towards it; the keys keep their steps.
void seekOnClick(QSlider* slider);

} // namespace mirelo
