#pragma once

#include "platform/ui/DesktopNotifier.h"
#include "ui/MessageBoxes.h"

#include "app/ExitCommand.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>

class QAction;
class QMenuBar;

namespace mirelo {

class DesktopServices;
class MainWindow;

// The main window's commands, whichever way they are given: the menu bar, the source list's
// context menu popupmenu1 or the toolbar Picture3. Each way triggers the same command.
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

    // Shows a failure to the user; the default is a window-modal message box that does not block.

    // Builds the menu bar and wires the toolbar and the context menu of `window`.
    explicit MainCommands(MainWindow& window);
    ~MainCommands() override;

    void trigger(Command command);

    // The pages of the help in the application's resource folder.
    QUrl helpPage(const QString& name) const;

    // The platform edges, replaced by tests. The services are not owned; null means the desktop's.
    void setDesktopServices(DesktopServices* services);
    void setExitSteps(ExitSteps steps) { m_exitSteps = std::move(steps); }
    void setMessagePresenter(MessagePresenter presenter) { m_presenter = std::move(presenter); }

private:
    void wireToolbar();
    void wireContextMenu();
    void openHelpPage(const QString& name);
    void openUrl(const QUrl& url);
    EndNotice endNoticeFor(const QWidget* window) const;
    void openCapture();
    void openImport();
    void showAbout();
    void openOutputFolder();

    MainWindow& m_window;
    std::unique_ptr<DesktopServices> m_systemServices;
    DesktopServices* m_services = nullptr;
    ExitSteps m_exitSteps;
    MessagePresenter m_presenter;
};

} // namespace mirelo
