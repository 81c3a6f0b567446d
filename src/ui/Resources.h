#pragma once

namespace mirelo {

// Registers the icons compiled into mirelo_ui. A static library's resources are not linked in
// on their own; every window that uses them calls this first (repeat calls are harmless).
void initUiResources();

} // namespace mirelo
