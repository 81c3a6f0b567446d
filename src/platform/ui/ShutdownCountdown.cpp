#include "platform/ui/ShutdownCountdown.h"

#include "base/Product.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace mirelo {

ShutdownCountdown::ShutdownCountdown(int seconds, QWidget* parent)
    : QDialog(parent), m_left(seconds), m_text(new QLabel(this)) {
    setObjectName(QStringLiteral("ShutdownCountdown"));
    setWindowTitle(applicationTitle());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel Shutdown"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(buttons);
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &ShutdownCountdown::tick);
    m_timer.start();
    showLeft();
}

void ShutdownCountdown::tick() {
    if (--m_left <= 0) {
        m_timer.stop();
        accept();
        return;
    }
    showLeft();
}

void ShutdownCountdown::showLeft() {
    m_text->setText(QStringLiteral("The conversion has finished. The computer will shut down in "
                                   "%1 seconds.")
                        .arg(m_left));
}

} // namespace mirelo
