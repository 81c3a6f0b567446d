#include "app/MainCommands.h"

#include "app/AboutDialog.h"
#include "app/MainMenus.h"
#include "app/MainWindow.h"
#include "capture/ui/CaptureWindow.h"
#include "onlineimport/ui/EmbeddedStreamPlayer.h"
#include "onlineimport/ui/ImportWindow.h"
#include "platform/FolderOpener.h"
#include "platform/ui/SystemDesktopServices.h"
#include "player/PreviewPlayer.h"
#include "sourcelist/ui/SourceListView.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace mirelo {

namespace {

// The help's home and its troubleshooting page stand in for the product's web pages.
constexpr char kHelpIndex[] = "index.html";
constexpr char kTroubleshooting[] = "troubleshooting.html";

using Command = MainCommands::Command;

struct CommandEntry {
    Command command;
    const char* name;     // the action's object name
    const char* text;     // as the menus show it
    const char* shortcut; // empty: none
    const char* picture;  // the command strip's picture; nullptr: none
    const char* caption;  // the command strip's caption under the picture
    const char* tip;      // the command strip's tooltip
};

// clang-format off
constexpr CommandEntry kCommands[] = {
    {Command::AddFiles, "addFilesAction", "Add Files", "Ctrl+A",
     "add", "Add Files", "Add media files to the list"},
    {Command::RemoveSelected, "removeSelectedAction", "Remove Selected File", "Ctrl+R",
     "remove", "Remove File", "Remove the selected file"},
    {Command::ClearAll, "clearAllAction", "Clear All Files", "Ctrl+C",
     "clear", "Clear All", "Remove every file from the list"},
    {Command::Capture, "captureAction", "Capture Video From DV", "", nullptr, nullptr, nullptr},
    {Command::Import, "importAction", "Import Video From Youtube", "", nullptr, nullptr, nullptr},
    {Command::Exit, "exitAction", "Exit", "Ctrl+X",
     "exit", "EXIT", "Close Mirelo Video Converter"},
    {Command::Settings, "settingsAction", "Video Settings", "Ctrl+S",
     "settings", "Settings", "Output folder and options"},
    {Command::CheckForUpdates, "checkForUpdatesAction", "Check for Updates", "",
     nullptr, nullptr, nullptr},
    {Command::ConvertNow, "convertAction", "Convert Now!", "Ctrl+N",
     "convert", "CONVERT NOW", "Convert every file of the list"},
    {Command::Play, "playAction", "Play Selected File", "Ctrl+P", nullptr, nullptr, nullptr},
    {Command::VideoClip, "videoClipAction", "Video Clip", "Ctrl+V", nullptr, nullptr, nullptr},
    {Command::Help, "helpAction", "Help", "F1", "help", "Help", "Open the help"},
    {Command::HomePage, "homePageAction", "Video Converter Home Page", "Ctrl+H",
     nullptr, nullptr, nullptr},
    {Command::SupportOnline, "supportOnlineAction", "Support Online", "Ctrl+T",
     nullptr, nullptr, nullptr},
    {Command::About, "aboutAction", "About", "", nullptr, nullptr, nullptr},
    {Command::OpenOutputFolder, "openOutputFolderAction", "Open Folder", "",
     nullptr, nullptr, "Open the output folder in the file manager"},
};
// clang-format on
static_assert(std::size(kCommands) == MainCommands::kCommandCount);

QAction* makeAction(const CommandEntry& entry, QObject* parent) {
    auto* action = new QAction(QString::fromLatin1(entry.text), parent);
    action->setObjectName(QLatin1String(entry.name));
    action->setShortcut(QKeySequence(QLatin1String(entry.shortcut)));
    // Window-wide; a focused text field keeps its own copy, cut, paste and select-all keys
    // because it claims them before any shortcut is looked up.
    action->setShortcutContext(Qt::WindowShortcut);
    if (entry.tip)
        action->setToolTip(QLatin1String(entry.tip));
    if (entry.picture) {
        action->setIcon(
            QIcon(QStringLiteral(":/icons/toolbar/%1.svg").arg(QLatin1String(entry.picture))));
        action->setIconText(QLatin1String(entry.caption));
        action->setIconVisibleInMenu(false); // the menus stay plain text
    }
    return action;
}

} // namespace

MainCommands::MainCommands(MainWindow& window)
    : QObject(&window), m_window(window),
      m_systemServices(std::make_unique<SystemDesktopServices>()),
      m_services(m_systemServices.get()), m_exitSteps(exitStepsFor(window)) {
    setObjectName(QStringLiteral("mainCommands"));
    m_presenter = messageBoxesOver(&m_window);
    createActions();
    buildMainMenus(window.menuBar(), *this);
    fillToolbar(*window.toolbar(), *this);
    window.sourceList()->setContextActions(contextMenuActions(*this));
    wireOpenFolderButton();
}

MainCommands::~MainCommands() = default;

void MainCommands::createActions() {
    for (const CommandEntry& entry : kCommands) {
        QAction* action = makeAction(entry, this);
        connect(action, &QAction::triggered, this,
                [this, command = entry.command] { carryOut(command); });
        m_actions[static_cast<size_t>(entry.command)] = action;
    }
}

// The button keeps its own look; the action decides what it does and whether it can.
void MainCommands::wireOpenFolderButton() {
    QAction* open = action(Command::OpenOutputFolder);
    QPushButton* button = m_window.openFolderButton();
    connect(button, &QPushButton::clicked, open, &QAction::trigger);
    connect(open, &QAction::enabledChanged, button, &QWidget::setEnabled);
}

QAction* MainCommands::action(Command command) const {
    return m_actions[static_cast<size_t>(command)];
}

void MainCommands::setDesktopServices(DesktopServices* services) {
    m_services = services ? services : m_systemServices.get();
}

void MainCommands::trigger(Command command) {
    action(command)->trigger();
}

void MainCommands::carryOut(Command command) {
    SourceListView* list = m_window.sourceList();
    switch (command) {
    case Command::AddFiles:
        return list->addFilesWithDialog();
    case Command::RemoveSelected:
        return list->removeSelected();
    case Command::ClearAll:
        return list->clearAll();
    case Command::VideoClip:
        return list->requestVideoClip();
    case Command::Capture:
        return openCapture();
    case Command::Import:
        return openImport();
    case Command::ConvertNow:
        return Q_EMIT m_window.convertRequested();
    case Command::Play:
        return Q_EMIT m_window.playRequested();
    case Command::Settings:
        return m_window.openSettings();
    case Command::Exit:
        runExit(m_exitSteps);
        return;
    case Command::CheckForUpdates:
        return;
    case Command::Help:
    case Command::HomePage:
        return openHelpPage(QLatin1String(kHelpIndex));
    case Command::SupportOnline:
        return openHelpPage(QLatin1String(kTroubleshooting));
    case Command::About:
        return showAbout();
    case Command::OpenOutputFolder:
        return openOutputFolder();
    }
}

QUrl MainCommands::helpPage(const QString& name) const {
    return QUrl::fromLocalFile(
        QDir(m_window.paths().appFolder).absoluteFilePath(QStringLiteral("help/") + name));
}

void MainCommands::openHelpPage(const QString& name) {
    const QUrl page = helpPage(name);
    if (!QFileInfo(page.toLocalFile()).isFile()) {
        m_presenter(QMessageBox::Warning,
                    QStringLiteral("The help page %1 is missing. Reinstall Mirelo Video Converter "
                                   "to restore it.")
                        .arg(QDir::toNativeSeparators(page.toLocalFile())));
        return;
    }
    openUrl(page);
}

void MainCommands::openUrl(const QUrl& url) {
    if (m_services->openUrl(url))
        return;
    const QString shown =
        url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
    m_presenter(QMessageBox::Warning,
                QStringLiteral("No web browser could open %1. Open it with a browser of your "
                               "choice.")
                    .arg(shown));
}

void MainCommands::openOutputFolder() {
    m_window.showOutputFolder(); // the settings may have changed since
    const auto report = [this](const QString& text) { m_presenter(QMessageBox::Warning, text); };
    ServicesFolderOpener(*m_services, report).openFolder(m_window.settings().outputFolder());
}

// Work that ends in a window the user has left is told by the desktop.
EndNotice MainCommands::endNoticeFor(const QWidget* window) const {
    return [this, window](const QString& body, const QString& folder) {
        notifyUnlessActive(m_window.desktopNotifier(), window, body, folder);
    };
}

void MainCommands::openCapture() {
    CaptureWindow capture(&m_window);
    capture.setEndNotice(endNoticeFor(&capture));
    capture.exec();
}

void MainCommands::openImport() {
    ImportWindow import(m_window.paths().skinFile, &m_window);
    EmbeddedStreamPlayer preview(PreviewPlayer::shared(), import.previewSurface());
    import.setPreviewPlayer(&preview);
    import.setEndNotice(endNoticeFor(&import));
    import.exec();
}

void MainCommands::showAbout() {
    AboutDialog about(
        m_window.paths().skinFile, helpPage(QLatin1String(kHelpIndex)),
        [this](const QUrl& url) { openUrl(url); }, &m_window);
    about.exec();
}

} // namespace mirelo
