#pragma once

#include "app/MainCommands.h"

class QMenuBar;

namespace mirelo {

// Fills the menu bar with the menus File, Edit, Action and Help; each entry triggers its command.
void buildMainMenus(QMenuBar* bar, MainCommands& commands);

} // namespace mirelo
