#pragma once

#include <QFrame>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace mirelo {

// The run panel shown while a batch converts: the "Converting Time:" clock, the overall and
// per-item bars, the speed and time left, and "Cancel".
// Docked, it sits over a space the window's layout keeps free for it (under the source list), so
// it covers nothing a run needs; the user can still drag it by its background, and it then
// floats over the window where it is left. Floating, its width follows the window's. A caption
// too long for it is shortened in the middle, whole in its tooltip.
class RunPanel : public QFrame {
    Q_OBJECT
public:
    explicit RunPanel(QWidget* parent = nullptr);

    QLabel* clockLabel() const { return m_clock; }          // the elapsed time
    QGroupBox* progressFrame() const { return m_progress; } // its caption names the item
    QProgressBar* totalProgress() const { return m_total; } // the whole batch
    QProgressBar* trackProgress() const { return m_track; } // the item being converted
    QLabel* rateLabel() const { return m_rate; }            // speed and time left
    QPushButton* cancelButton() const { return m_cancel; }

    // The progress frame's caption ("Progress...." and the item's paths), as given.
    QString progressCaption() const { return m_caption; }
    void setProgressCaption(const QString& caption);

    // Docks the panel over `slot`, a widget in the window's layout that the panel shows while it
    // is docked and keeps as tall as itself. Without a slot the panel floats from the start.
    void dockInto(QWidget* slot);
    bool isDocked() const { return m_slot && !m_floating; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* buildClock();
    QWidget* buildProgress();
    void fitToWindow();
    void fitToSlot();
    void undock();
    void moveWithinWindow(QPoint topLeft);
    void showCaption();

    QLabel* m_clock = nullptr;
    QGroupBox* m_progress = nullptr;
    QProgressBar* m_total = nullptr;
    QProgressBar* m_track = nullptr;
    QLabel* m_rate = nullptr;
    QPushButton* m_cancel = nullptr;
    QString m_caption;
    bool m_placed = false; // centred on the first show; afterwards where the user left it
    bool m_dragging = false;
    QPoint m_grip; // press point in the panel's own coordinates
    QWidget* m_slot = nullptr;
    bool m_floating = false; // dragged off its slot by the user
};

} // namespace mirelo
