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
    QWidget* video = nullptr;              // Text2 / Text4: a native child window
    QAbstractButton* play = nullptr;       // cmdPlay
    QAbstractButton* pause = nullptr;      // cmdPause
    QAbstractButton* stop = nullptr;       // cmdStop
    QAbstractButton* back = nullptr;       // cmdBack
    QAbstractButton* forward = nullptr;    // cmdForward
    QAbstractButton* firstFrame = nullptr; // Command4
    QAbstractButton* lastFrames = nullptr; // Command5
    QSlider* position = nullptr;           // Slider1 / Slider3, 0 to 100
    QLabel* currentTime = nullptr;         // LblCurTime
    QLabel* totalTime = nullptr;           // SkinLabel10
    QTimer* clock = nullptr;               // Timer1
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

    // cmdPlay and the "Play Selected File" commands.
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
