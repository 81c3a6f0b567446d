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

#include <QDir>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolButton>

namespace mirelo {

namespace {

// The help's home and its troubleshooting page stand in for the product's web pages.
constexpr char kHelpIndex[] = "index.html";
constexpr char kTroubleshooting[] = "troubleshooting.html";

struct ToolbarLink {
    MainWindow::Command picture;
    MainCommands::Command command;
};

constexpr ToolbarLink kToolbar[] = {
    {MainWindow::Command::AddFiles, MainCommands::Command::AddFiles},
    {MainWindow::Command::RemoveFile, MainCommands::Command::RemoveSelected},
    {MainWindow::Command::ClearAll, MainCommands::Command::ClearAll},
    {MainWindow::Command::ConvertNow, MainCommands::Command::ConvertNow},
    {MainWindow::Command::Settings, MainCommands::Command::Settings},
    {MainWindow::Command::Help, MainCommands::Command::Help},
    {MainWindow::Command::Exit, MainCommands::Command::Exit},
};

} // namespace

MainCommands::MainCommands(MainWindow& window)
    : QObject(&window), m_window(window),
      m_systemServices(std::make_unique<SystemDesktopServices>()),
      m_services(m_systemServices.get()), m_exitSteps(exitStepsFor(window)) {
    setObjectName(QStringLiteral("mainCommands"));
    m_presenter = messageBoxesOver(&m_window);
    buildMainMenus(window.menuBar(), *this);
    wireToolbar();
    wireContextMenu();
    connect(window.openFolderButton(), &QPushButton::clicked, this,
            [this] { trigger(Command::OpenOutputFolder); });
}

MainCommands::~MainCommands() = default;

void MainCommands::setDesktopServices(DesktopServices* services) {
    m_services = services ? services : m_systemServices.get();
}

void MainCommands::wireToolbar() {
    for (const ToolbarLink& link : kToolbar) {
        connect(m_window.commandButton(link.picture), &QToolButton::clicked, this,
                [this, command = link.command] { trigger(command); });
    }
}

// The list's own entries (Video Clip, Add, Remove, Clear) act on the list directly; the others
// come here so that they do what their menu-bar twins do.
void MainCommands::wireContextMenu() {
    SourceListView* list = m_window.sourceList();
    connect(list, &SourceListView::convertRequested, this,
            [this] { trigger(Command::ConvertNow); });
    connect(list, &SourceListView::playRequested, this, [this] { trigger(Command::Play); });
    connect(list, &SourceListView::captureRequested, this, [this] { trigger(Command::Capture); });
    connect(list, &SourceListView::importRequested, this, [this] { trigger(Command::Import); });
}

void MainCommands::trigger(Command command) {
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
