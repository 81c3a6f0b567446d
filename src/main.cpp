// mirelo-video-converter: the desktop program.

#include "app/MainWindow.h"
#include "base/ByteNames.h"
#include "base/Product.h"
#include "process/ProgramRunner.h"
#include "process/TerminationSignals.h"
#include "settings/AppPaths.h"
#include "settings/ui/SettingsWarnings.h"
#include "sourcelist/SourceFiles.h"
#include "sourcelist/ui/SourceListView.h"
#include "ui/MessageBoxes.h"

#include <QApplication>
#include <QDir>

namespace {

QList<QByteArray> commandLineArguments(int argc, char** argv) {
    QList<QByteArray> arguments;
    for (int i = 1; i < argc; ++i)
        arguments += QByteArray(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char** argv) {
    // Links to files named by bytes that are not UTF-8, for as long as the program runs: a signal
    // that ends it closes the window, so main() returns and they go too.
    mirelo::StandInLinks standIns;
    QApplication app(argc, argv);
    QApplication::setApplicationName(mirelo::applicationTitle());
    QApplication::setDesktopFileName(QStringLiteral("org.mirelo.videoconverter"));
    // From here on a signal that ends the program waits in the event queue until the window can
    // take it.
    mirelo::TerminationSignals& terminations = mirelo::TerminationSignals::install();

    mirelo::showSettingsProblemsAsWarnings();
    // The window runs its start-up sequence while still hidden, then shows.
    mirelo::MainWindow window(mirelo::AppPaths::forApplication());
    window.setStandIns(&standIns);
    app.setWindowIcon(window.windowIcon());
    // Closing the main window ends the program, whatever else is open.
    QObject::connect(&window, &mirelo::MainWindow::closing, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    // A signal that ends the program (Ctrl+C in its terminal, a logout, kill) closes the window as
    // the user would, which stops the encoder and the player and removes partial outputs. A second
    // one does not wait for the encoder to finish its file.
    QObject::connect(&terminations, &mirelo::TerminationSignals::received, &window,
                     [&window, &terminations] {
                         if (terminations.count() == 1) {
                             window.close();
                             return;
                         }
                         mirelo::ProgramRunner::killAll();
                         QApplication::quit();
                     });
    window.show();
    // Files from a file manager's "Open with", added as "Add Files" adds them. Their names are
    // bytes: Qt's own copy of the arguments has lost what is not UTF-8.
    QStringList problems;
    window.sourceList()->addFiles(mirelo::filesFromCommandLine(
        commandLineArguments(argc, argv), QDir::currentPath(), standIns, &problems));
    if (!problems.isEmpty())
        mirelo::showMessageBox(&window, QMessageBox::Warning, problems.join(QLatin1Char('\n')));
    const int rc = app.exec();
    return terminations.firstSignal() ? 128 + terminations.firstSignal() : rc;
}
