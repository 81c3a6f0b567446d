#include "app/MainMenus.h"

#include "app/Toolbar.h"
#include "ui/SkinNames.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

#include <optional>

namespace mirelo {

namespace {

using Command = MainCommands::Command;
using Entry = std::optional<Command>; // nullopt: a separator, or a gap in the command strip

constexpr Entry kSeparator = std::nullopt;

struct MenuPlan {
    const char* title;
    const char* name;
    std::initializer_list<Entry> entries;
};

const MenuPlan kMenus[] = {
    {"File(&F)",
     "fileMenu",
     {Command::AddFiles, Command::RemoveSelected, Command::ClearAll, kSeparator, Command::Capture,
      kSeparator, Command::Import, kSeparator, Command::Exit}},
    {"Edit(&E)", "editMenu", {Command::Settings, kSeparator, Command::CheckForUpdates}},
    {"Action(&A)",
     "actionMenu",
     {Command::ConvertNow, kSeparator, Command::Play, kSeparator, Command::VideoClip}},
    {"Help(&H)",
     "helpMenu",
     {Command::Help, kSeparator, Command::HomePage, Command::SupportOnline, kSeparator,
      Command::About}},
};

struct StripButton {
    Entry command;
    QLatin1String name; // the button's object name
};

const StripButton kStrip[] = {
    {Command::AddFiles, QLatin1String("addFilesButton")},
    {Command::RemoveSelected, QLatin1String("removeFileButton")},
    {Command::ClearAll, QLatin1String("clearAllButton")},
    {kSeparator, {}},
    {Command::ConvertNow, skinName::kConvertButton},
    {kSeparator, {}},
    {Command::Settings, QLatin1String("settingsButton")},
    {Command::Help, QLatin1String("helpButton")},
    {Command::Exit, QLatin1String("exitButton")},
};

const Entry kContextMenu[] = {
    Command::ConvertNow, kSeparator, Command::Play,     kSeparator,
    Command::VideoClip,  kSeparator, Command::AddFiles, Command::RemoveSelected,
    Command::ClearAll,   kSeparator, Command::Capture,  kSeparator,
    Command::Import,
};

} // namespace

void buildMainMenus(QMenuBar* bar, const MainCommands& commands) {
    for (const MenuPlan& plan : kMenus) {
        QMenu* menu = bar->addMenu(QString::fromLatin1(plan.title));
        menu->setObjectName(QLatin1String(plan.name));
        for (const Entry& entry : plan.entries) {
            if (entry)
                menu->addAction(commands.action(*entry));
            else
                menu->addSeparator();
        }
    }
}

void fillToolbar(Toolbar& toolbar, const MainCommands& commands) {
    for (const StripButton& button : kStrip) {
        if (button.command)
            toolbar.addButton(commands.action(*button.command), button.name);
        else
            toolbar.addGap();
    }
}

QList<QAction*> contextMenuActions(MainCommands& commands) {
    QList<QAction*> actions;
    for (const Entry& entry : kContextMenu) {
        if (entry) {
            actions << commands.action(*entry);
            continue;
        }
        auto* separator = new QAction(&commands);
        separator->setSeparator(true);
        actions << separator;
    }
    return actions;
}

} // namespace mirelo
