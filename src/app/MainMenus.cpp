#include "app/MainMenus.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace mirelo {

namespace {

using Command = MainCommands::Command;

struct MenuEntry {
    const char* caption; // nullptr: a separator
    const char* name;
    const char* shortcut;
    Command command;
};

struct MenuSpec {
    const char* title;
    const char* name;
    std::initializer_list<MenuEntry> entries;
};

constexpr MenuEntry kSeparator{nullptr, nullptr, nullptr, Command::CheckForUpdates};

const MenuSpec kMenus[] = {
    {"File(&F)",
     "mnuFile",
     {
         {"Add Files", "AddFiles", "Ctrl+A", Command::AddFiles},
         {"Remove Selected File", "RemoveSelectedFile", "Ctrl+R", Command::RemoveSelected},
         {"Clear All Files", "ClearAllFiles", "Ctrl+C", Command::ClearAll},
         kSeparator,
         {"Capture Video From DV", "Capture", "", Command::Capture},
         kSeparator,
         {"Import Video From Youtube", "importvideo", "", Command::Import},
         kSeparator,
         {"Exit", "exit", "Ctrl+X", Command::Exit},
     }},
    {"Edit(&E)",
     "mnuEdit",
     {
         {"Video Settings", "options", "Ctrl+S", Command::Settings},
         kSeparator,
         {"Check for Updates", "checkupdate", "", Command::CheckForUpdates},
     }},
    {"Action(&A)",
     "mnuAction",
     {
         {"Convert Now!", "BurnNow", "Ctrl+N", Command::ConvertNow},
         kSeparator,
         {"Play Selected File", "play", "Ctrl+P", Command::Play},
         kSeparator,
         {"Video Clip", "videoclip", "Ctrl+V", Command::VideoClip},
     }},
    {"Help(&H)",
     "mnuHelp",
     {
         {"Help", "helphelp", "F1", Command::Help},
         kSeparator,
         {"Video Converter Home Page", "", "Ctrl+H", Command::HomePage},
         {"Support Online", "SupportOnline", "Ctrl+T", Command::SupportOnline},
         kSeparator,
         {"About", "About", "", Command::About},
     }},
};

} // namespace

void buildMainMenus(QMenuBar* bar, MainCommands& commands) {
    for (const MenuSpec& menuSpec : kMenus) {
        QMenu* menu = bar->addMenu(QString::fromLatin1(menuSpec.title));
        menu->setObjectName(QLatin1String(menuSpec.name));
        for (const MenuEntry& entry : menuSpec.entries) {
            if (!entry.caption) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(QString::fromLatin1(entry.caption));
            action->setObjectName(QLatin1String(entry.name));
            action->setShortcut(QKeySequence(QLatin1String(entry.shortcut)));
            // Window-wide; a focused text field keeps its own copy, cut, paste and select-all
            // keys because it claims them before any shortcut is looked up.
            action->setShortcutContext(Qt::WindowShortcut);
            const Command command = entry.command;
            QObject::connect(action, &QAction::triggered, &commands,
                             [&commands, command] { commands.trigger(command); });
        }
    }
}

} // namespace mirelo
