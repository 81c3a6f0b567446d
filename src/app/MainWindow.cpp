#include "app/MainWindow.h"

#include "app/ConversionController.h"
#include "app/MainCommands.h"
#include "app/OptionSheetView.h"
#include "app/PathLabel.h"
#include "app/PreviewController.h"
#include "app/PreviewFrame.h"
#include "app/ProfileChooser.h"
#include "app/RunPanel.h"
#include "app/Toolbar.h"
#include "app/WindowPlacement.h"
#include "base/Product.h"
#include "base/ToolLocator.h"
#include "convert/EncoderCapabilities.h"
#include "convert/HardwareTrial.h"
#include "convert/OutputSizeEstimate.h"
#include "platform/ui/DesktopNotifier.h"
#include "player/PreviewPlayer.h"
#include "profiles/OptionSheet.h"
#include "profiles/Presets.h"
#include "settings/ui/SettingsDialog.h"
#include "sourcelist/SourceListModel.h"
#include "sourcelist/ui/SourceListView.h"
#include "ui/Resources.h"
#include "ui/Skin.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <utility>

namespace mirelo {

namespace {

// The window's size when the screen has room for it, and the room a window frame takes.
constexpr QSize kPreferredSize(1120, 800);
constexpr QSize kFrameAllowance(16, 48);

QTimer* makeClock(const char* name, QObject* parent) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(1000);
    return timer;
}

} // namespace

MainWindow::MainWindow(AppPaths paths, QWidget* parent)
    : QMainWindow(parent), m_paths(std::move(paths)) {
    initUiResources();
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(applicationTitle() + QLatin1Char(' ') + productVersion());
    setWindowIcon(QIcon(QStringLiteral(":/icons/toolbar/app.svg")));
    m_sheet = new OptionSheet(this);
    m_sources = new SourceListModel(this);
    m_previewClock = makeClock("previewClock", this);
    m_conversionClock = makeClock("conversionClock", this);
    buildUi();
    m_sizeEstimates = new OutputSizeEstimates(*m_sources, *m_sheet, this);
    m_sizeEstimates->setProfileSource([this] { return m_chooser->selectedPosition(); });
    startUp();
    placeWindow();
    m_notifier = new DesktopNotifier(DesktopNotifier::sessionBusIfAny(), this);
    m_notifier->setFolderAction(
        [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); });
    m_conversion = new ConversionController(*this); // the convert command, the run panel
    m_conversion->setNotifier(m_notifier);
    new PreviewController(*this, PreviewPlayer::shared());
}

MainWindow::~MainWindow() = default;

void MainWindow::setStandIns(StandInLinks* links) {
    m_sources->setStandIns(links);
    m_sourceList->setStandIns(links);
    m_conversion->run().setStandIns(links);
}

AppSettings MainWindow::settings() const {
    return AppSettings(m_paths.settingsFile, m_paths.appFolder);
}

void MainWindow::buildUi() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralArea"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(10, 6, 10, 10);
    layout->addWidget(buildCommandStrip());

    auto* split = new QSplitter(Qt::Horizontal, central);
    split->setObjectName(QStringLiteral("mainSplitter"));
    split->setChildrenCollapsible(false);
    split->addWidget(buildListSide());
    split->addWidget(buildOptionSide());
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setSizes({660, 400});
    layout->addWidget(split, 1);
    setCentralWidget(central);

    m_runPanel = new RunPanel(central);
    m_runPanel->dockInto(m_runPanelSlot);

    m_sourceList->setOptionSheet(m_sheet);
    m_sourceList->setLastFolderFile(m_paths.windowFile());
    connect(m_chooser, &ProfileChooser::profilePicked, this, &MainWindow::applyPicked);
    m_commands = new MainCommands(*this); // fills the menu bar and the command strip
    setTabOrderInReadingOrder();
}

QWidget* MainWindow::buildCommandStrip() {
    m_toolbar = new Toolbar(this);
    return m_toolbar;
}

QWidget* MainWindow::buildListSide() {
    auto* side = new QWidget(this);
    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);

    auto* listFrame = new QGroupBox(QStringLiteral("Video List"), side);
    listFrame->setObjectName(QStringLiteral("sourceListFrame"));
    m_sourceList = new SourceListView(*m_sources, listFrame);
    auto* listLayout = new QVBoxLayout(listFrame);
    listLayout->addWidget(m_sourceList);
    layout->addWidget(listFrame, 1);

    // The run panel docks here while a run shows it, under the list and clear of its Status.
    m_runPanelSlot = new QWidget(side);
    m_runPanelSlot->setObjectName(QStringLiteral("runPanelSlot"));
    layout->addWidget(m_runPanelSlot);
    layout->addWidget(buildOutputFrame(side));
    return side;
}

QWidget* MainWindow::buildOutputFrame(QWidget* parent) {
    auto* profileFrame = new QGroupBox(QStringLiteral("Output"), parent);
    profileFrame->setObjectName(QStringLiteral("outputFrame"));
    m_profileLabel = new QLabel(QStringLiteral("Profile:"), profileFrame);
    m_profileLabel->setObjectName(QStringLiteral("profileCaption"));
    m_chooser = new ProfileChooser(profileFrame);
    m_profileLabel->setBuddy(m_chooser);
    auto* folderCaption = new QLabel(QStringLiteral("Folder:"), profileFrame);
    folderCaption->setObjectName(QStringLiteral("outputFolderCaption"));
    m_outputFolder = new PathLabel(profileFrame);
    m_outputFolder->setObjectName(QStringLiteral("outputFolderLabel"));
    m_openFolder = new QPushButton(QStringLiteral("Open Folder"), profileFrame);
    m_openFolder->setObjectName(QStringLiteral("openFolderButton"));
    m_openFolder->setToolTip(QStringLiteral("Open the output folder in the file manager"));
    auto* grid = new QGridLayout(profileFrame);
    grid->addWidget(m_profileLabel, 0, 0);
    grid->addWidget(m_chooser, 0, 1, 1, 2);
    grid->addWidget(folderCaption, 1, 0);
    grid->addWidget(m_outputFolder, 1, 1);
    grid->addWidget(m_openFolder, 1, 2);
    grid->setColumnStretch(1, 1);
    return profileFrame;
}

QWidget* MainWindow::buildOptionSide() {
    auto* side = new QWidget(this);
    auto* layout = new QVBoxLayout(side);
    layout->setContentsMargins(0, 0, 0, 0);
    m_preview = new PreviewFrame(side);
    layout->addWidget(m_preview, 5);

    m_optionsFrame = new QGroupBox(QStringLiteral("Options"), side);
    m_optionsFrame->setObjectName(QStringLiteral("optionsFrame"));
    m_sheetView = new OptionSheetView(m_optionsFrame);
    m_sheetView->setSheet(m_sheet);
    auto* optionsLayout = new QVBoxLayout(m_optionsFrame);
    optionsLayout->addWidget(m_sheetView);
    layout->addWidget(m_optionsFrame, 9);
    return side;
}

void MainWindow::showChoicesApplyToNextRun(bool running) {
    const QString note = QStringLiteral("Changes apply to the next run");
    m_optionsFrame->setTitle(running ? QStringLiteral("Options: ") + note.toLower()
                                     : QStringLiteral("Options"));
    const QString tip = running ? note + QStringLiteral(": the files converting now keep the "
                                                        "profile and options chosen at the start.")
                                : QString();
    m_chooser->setToolTip(tip);
    m_sheetView->setToolTip(tip);
}

// Each step stands alone: a failure leaves that step undone and the next still runs.
void MainWindow::startUp() {
    m_skinApplied = applySkin(this, m_paths.skinFile);
    m_chooser->setImageList(&m_images);
    m_runPanel->hide();
    m_chooser->fill();
    startHardwareTrial();
    m_chooser->selectPosition(settings().profile());
    showOutputFolder();
    resetOptionSheet();
    // The restored profile's presets, as its pick applied them: the sheet shows what will run.
    applyPicked(m_chooser->selectedPosition());
    m_sheetView->setShowGridLines(true);
    m_sheetView->setBoldCategories(true);
    m_sheetView->setExpandAllCategories(true);
}

// The hardware rows wait for a trial encode with their encoder; the window does not.
void MainWindow::startHardwareTrial() {
    const QString encoder = locateEncoder();
    if (encoder.isEmpty())
        return; // the rows keep saying that they wait; a run reports the missing encoder
    m_hardwareTrial = new HardwareTrial(this);
    connect(m_hardwareTrial, &HardwareTrial::tried, m_chooser,
            [this](const QString& name, const TrialResult& result) {
                m_chooser->setHardwareResult(name, result.works, result.reason);
            });
    m_hardwareTrial->start(encoder, cachedCapabilities(encoder));
}

// Where the user left the window when that still fits a screen; else a size that fits the screen.
void MainWindow::placeWindow() {
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas << screen->availableGeometry();
    const QRect primary = QGuiApplication::primaryScreen()->availableGeometry();
    const std::optional<WindowPlacement> saved = readWindowPlacement(m_paths.windowFile());
    setGeometry(
        openingGeometry(saved, areas, primary, kPreferredSize, minimumSizeHint(), kFrameAllowance));
    if (saved && saved->maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

// Tab walks the window as it reads: the command strip left to right, the list and its profile,
// the preview's slider and buttons, the option sheet, and "Cancel" while a run shows it.
void MainWindow::setTabOrderInReadingOrder() {
    QList<QWidget*> chain;
    for (QWidget* button : m_toolbar->buttons())
        chain << button;
    chain << m_sourceList << m_chooser << m_openFolder << m_preview->positionSlider();
    chain << m_preview->firstFrameButton() << m_preview->backButton() << m_preview->playButton()
          << m_preview->pauseButton() << m_preview->stopButton() << m_preview->forwardButton()
          << m_preview->lastFramesButton();
    chain << m_sheetView << m_runPanel->cancelButton();
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void MainWindow::resetOptionSheet() {
    resetToDefaults(*m_sheet);
}

void MainWindow::applyPicked(int position) {
    applyPresets(*m_sheet, position);
    if (m_sizeEstimates)
        m_sizeEstimates->refresh(); // the same options may give another size with another profile
}

void MainWindow::openSettings() {
    SettingsDialog dialog(settings(), m_paths.skinFile, this);
    dialog.exec();
    showOutputFolder();
}

void MainWindow::showOutputFolder() {
    m_outputFolder->setPath(settings().outputFolder());
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_shutDown) {
        m_shutDown = true;
        if (isVisible())
            writeWindowPlacement(m_paths.windowFile(), {normalGeometry(), isMaximized()});
        Q_EMIT closing();
        shutDown();
    }
    event->accept();
}

void MainWindow::shutDown() {
    const int position = m_chooser->selectedPosition();
    if (position >= 1)
        settings().setProfile(position);
}

} // namespace mirelo
