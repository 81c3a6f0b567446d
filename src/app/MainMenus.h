#pragma once

#include "app/MainCommands.h"

#include <QList>

class QAction;
class QMenuBar;

namespace mirelo {

class Toolbar;

// Where the main window offers its commands. Each place shows the commands' own actions.

// Fills the menu bar with the menus File, Edit, Action and Help.
void buildMainMenus(QMenuBar* bar, const MainCommands& commands);
// The command strip, left to right: the list's commands, the run, the program's own commands.
void fillToolbar(Toolbar& toolbar, const MainCommands& commands);
// The source list's context menu, top to bottom; its separators are actions owned by `commands`.
QList<QAction*> contextMenuActions(MainCommands& commands);

} // namespace mirelo
