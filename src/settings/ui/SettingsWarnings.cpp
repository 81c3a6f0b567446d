#include "settings/ui/SettingsWarnings.h"

#include "settings/Inifun.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace mirelo {

void showSettingsProblemsAsWarnings() {
    setIniProblemReporter([](const QString& message) {
        // Queued to the main thread: the store may be read from any thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [message] {
                auto* box =
                    new QMessageBox(QMessageBox::Warning, QStringLiteral("Mirelo Video Converter"),
                                    message, QMessageBox::Ok);
                box->setObjectName(QStringLiteral("settingsProblem"));
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->setWindowModality(Qt::NonModal);
                box->show();
            },
            Qt::QueuedConnection);
    });
}

} // namespace mirelo
