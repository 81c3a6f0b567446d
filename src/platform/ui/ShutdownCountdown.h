#pragma once

#include <QDialog>
#include <QTimer>

class QLabel;

namespace mirelo {

// The last chance before an automatic shutdown: counts down and accepts itself at zero; the
// user's "Cancel" rejects it.
class ShutdownCountdown : public QDialog {
    Q_OBJECT
public:
    explicit ShutdownCountdown(int seconds = 30, QWidget* parent = nullptr);
    int secondsLeft() const { return m_left; }

private:
    void tick();
    void showLeft();

    int m_left;
    QLabel* m_text;
    QTimer m_timer;
};

} // namespace mirelo
