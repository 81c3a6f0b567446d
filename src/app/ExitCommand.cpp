#include "app/ExitCommand.h"

#include "app/Form1.h"
#include "tools/Module1.h"

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

ExitSteps exitStepsFor(Form1& window) {
    return {
        [] { Module1::SendPlayerKey(Module1::KeyQuit); },
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
