#pragma once

#include "platform/ui/DesktopNotifier.h"
#include "ui/MessageBoxes.h"

#include "app/ExitCommand.h"

#include <QObject>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>

class QAction;

namespace mirelo {

class DesktopServices;
class MainWindow;

// The main window's commands. Each is one QAction, owned here, with its text, shortcut, picture
// and enabled state; the menu bar, the command strip and the source list's context menu show
// these same actions, so a command disabled once is disabled wherever it is offered.
//
// The run and the preview are other parts' work: those commands end in MainWindow's signals
// convertRequested and playRequested.
class MainCommands : public QObject {
    Q_OBJECT
public:
    enum class Command {
        AddFiles,
        RemoveSelected,
        ClearAll,
        Capture,
        Import,
        Exit,
        Settings,
        CheckForUpdates,
        ConvertNow,
        Play,
        VideoClip,
        Help,
        HomePage,
        SupportOnline,
        About,
        OpenOutputFolder,
    };
    Q_ENUM(Command)
    static constexpr int kCommandCount = static_cast<int>(Command::OpenOutputFolder) + 1;

    // Makes the actions and shows them in the menu bar, the command strip, the source list's
    // context menu and the "Open Folder" button of `window`.
    explicit MainCommands(MainWindow& window);
    ~MainCommands() override;

    QAction* action(Command command) const;
    // Gives the command as its action does: nothing while the action is disabled.
    void trigger(Command command);

    // The pages of the help in the application's resource folder.
    QUrl helpPage(const QString& name) const;

    // The platform edges, replaced by tests. The services are not owned; null means the desktop's.
    void setDesktopServices(DesktopServices* services);
    void setExitSteps(ExitSteps steps) { m_exitSteps = std::move(steps); }
    // Shows a failure to the user; the default is a window-modal message box that does not block.
    void setMessagePresenter(MessagePresenter presenter) { m_presenter = std::move(presenter); }

private:
    void createActions();
    void wireOpenFolderButton();
    void carryOut(Command command);
    void openHelpPage(const QString& name);
    void openUrl(const QUrl& url);
    EndNotice endNoticeFor(const QWidget* window) const;
    void openCapture();
    void openImport();
    void showAbout();
    void openOutputFolder();

    MainWindow& m_window;
    std::array<QAction*, kCommandCount> m_actions{};
    std::unique_ptr<DesktopServices> m_systemServices;
    DesktopServices* m_services = nullptr;
    ExitSteps m_exitSteps;
    MessagePresenter m_presenter;
};

} // namespace mirelo
