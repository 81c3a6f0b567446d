// mirelo-video-converter: the desktop program.

#include "app/AppPaths.h"
#include "app/Form1.h"
#include "settings/ui/SettingsWarnings.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Mirelo Video Converter"));
    QApplication::setDesktopFileName(QStringLiteral("org.mirelo.videoconverter"));

    mirelo::showSettingsProblemsAsWarnings();
    // The window runs its start-up sequence while still hidden, then shows.
    mirelo::Form1 window(mirelo::AppPaths::forApplication());
    app.setWindowIcon(window.windowIcon());
    // Closing the main window ends the program, whatever else is open.
    QObject::connect(&window, &mirelo::Form1::closing, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
