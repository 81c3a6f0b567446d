#pragma once

namespace mirelo {

// From now on, each problem the settings store reports (a settings file it will not read or
// write) is shown to the user in a warning box of its own. The box opens from the event loop,
// without blocking it, so a report made while a window is being built waits until it is shown.
void showSettingsProblemsAsWarnings();

} // namespace mirelo
