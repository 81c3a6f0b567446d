#include "app/ExitCommand.h"

#include "app/MainWindow.h"
#include "player/PlayerKeys.h"

#include <QCoreApplication>
#include <QTimer>

namespace mirelo {

namespace {

bool runStep(const std::function<void()>& step) {
    if (!step)
        return true;
    try {
        step();
        return true;
    } catch (...) {
        // A failed step must not keep the program from ending.
        return false;
    }
}

} // namespace

ExitSteps exitStepsFor(MainWindow& window) {
    return {
        [] { PlayerKeys::send(PlayerKeys::KeyQuit); },
        [&window] { window.previewClock()->stop(); },
        [&window] { window.close(); },
        [] { QCoreApplication::exit(0); },
    };
}

int runExit(const ExitSteps& steps) {
    int failed = 0;
    for (const auto* step :
         {&steps.quitPreview, &steps.stopClock, &steps.unloadWindow, &steps.endProgram}) {
        if (!runStep(*step))
            ++failed;
    }
    return failed;
}

} // namespace mirelo
