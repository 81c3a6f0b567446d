#pragma once

#include "ui/MessageBoxes.h"

#include "clip/ClipTimes.h"
#include "player/ui/PreviewControls.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QSlider;
class QTimer;

namespace mirelo {

class PreviewPlayer;

// The clip editor: chooses the start and end time of one source file, with a preview picture of
// its own that shares the product's player; Play starts at the chosen start. Typed times move the
// sliders. Modal. "OK" accepts only two times with the start before the end (compared as times)
// and the end within the file, then emits clipTimesAccepted(); every way out quits a running
// player.
class ClipEditor : public QDialog {
    Q_OBJECT
public:
    ClipEditor(PreviewPlayer& player, const QString& clipFile, const ClipTimes& times,
               const QString& skinFile, QWidget* parent = nullptr);
    ~ClipEditor() override;

    // Shows a message titled with the application title. The default is a window-modal message
    // box that does not block; tests install a recorder.
    void setMessagePresenter(MessagePresenter presenter) { m_presenter = std::move(presenter); }

    // CurrentClipFile: the file being edited; empty once the window has closed.
    QString currentClipFile() const { return m_clipFile; }
    PreviewControls& preview() { return *m_preview; }

    // The handlers, also reachable from the controls.
    void startSliderReleased();
    void endSliderReleased();
    void accept() override; // "OK"; "Cancel" is reject()
    // Every way out (OK, Cancel, Escape, the window's close button) ends here.
    void done(int result) override;

Q_SIGNALS:
    // In seconds.
    void clipTimesAccepted(int start, int end);

private:
    QWidget* buildTimes();
    QWidget* buildPreview();
    void load(const ClipTimes& times);
    void updateClipLength();
    void timeTyped(QLineEdit* text, QSlider* slider);
    int playStart() const;

    PreviewPlayer& m_player;
    QString m_clipFile;
    QString m_videoTime;
    MessagePresenter m_presenter;
    QSlider* m_startSlider = nullptr;
    QSlider* m_endSlider = nullptr;
    QLineEdit* m_start = nullptr;  // the start time
    QLineEdit* m_end = nullptr;    // the end time
    QLineEdit* m_length = nullptr; // the clip's length, read-only
    QTimer* m_clock = nullptr;     // the preview's position clock
    PreviewControls* m_preview = nullptr;
    bool m_closed = false;
};

} // namespace mirelo
