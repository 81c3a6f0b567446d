#include "settings/ui/SettingsWarnings.h"

#include "platform/ui/MessageBoxes.h"
#include "settings/Inifun.h"

#include <QCoreApplication>

namespace mirelo {

void showSettingsProblemsAsWarnings() {
    setIniProblemReporter([](const QString& message) {
        // Queued to the main thread: the store may be read from any thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [message] {
                showMessageBox(nullptr, QMessageBox::Warning, message)
                    ->setObjectName(QStringLiteral("settingsProblem"));
            },
            Qt::QueuedConnection);
    });
}

} // namespace mirelo
