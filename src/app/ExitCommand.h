#pragma once

#include <functional>

namespace mirelo {

class MainWindow;

// The steps of Exit, in order. Each runs even when an earlier one failed (threw); an empty step is
// skipped.
struct ExitSteps {
    std::function<void()> quitPreview;  // the preview player's quit key
    std::function<void()> stopClock;    // the preview clock off
    std::function<void()> unloadWindow; // the main window's shutdown sequence
    std::function<void()> endProgram;
};

// The real steps for the main window.
ExitSteps exitStepsFor(MainWindow& window);

// Runs every step in order; returns how many of them failed.
int runExit(const ExitSteps& steps);

} // namespace mirelo
