#include "settings/ui/SettingsWarnings.h"

#include "base/IniFile.h"
#include "ui/MessageBoxes.h"

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
