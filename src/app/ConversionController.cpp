#include "app/ConversionController.h"

#include "app/MainCommands.h"
#include "app/MainWindow.h"
#include "app/ProfileChooser.h"
#include "app/RunPanel.h"
#include "base/TimeString.h"
#include "platform/ui/DesktopNotifier.h"
#include "platform/ui/LogindPower.h"
#include "platform/ui/SystemDesktopServices.h"
#include "profiles/OptionSheet.h"
#include "sourcelist/SourceListModel.h"
#include "sourcelist/ui/SourceListView.h"
#include "ui/MessageBoxes.h"

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace mirelo {

namespace {

// A folder that cannot be shown after a batch is said beside the run's own end message, in a
// box of its own that leaves the window usable.
class SystemFolders : public FolderOpener {
public:
    SystemFolders()
        : m_opener(m_services, [](const QString& text) {
              showMessageBox(nullptr, QMessageBox::Warning, text); // non-modal, on its own
          }) {}
    void openFolder(const QString& path) override { m_opener.openFolder(path); }

private:
    SystemDesktopServices m_services;
    ServicesFolderOpener m_opener;
};

QString leftText(double seconds) {
    return seconds < 0 ? QStringLiteral("-") : formatTimeString(qint64(seconds + 0.5));
}

} // namespace

ConversionController::ConversionController(MainWindow& window)
    : QObject(&window), m_window(window), m_systemPower(std::make_unique<LogindPower>(&window)),
      m_systemFolders(std::make_unique<SystemFolders>()),
      m_systemMessages(std::make_unique<MessageBoxSink>(&window)),
      m_run(std::make_unique<BatchRun>(*window.sourceListModel(), *window.optionSheet())) {
    setPlatform(nullptr, nullptr, nullptr);
    m_run->setSettingsSource([this] { return m_window.settings().runSettings(); });
    m_run->setProfileSource([this] { return m_window.profileChooser()->selectedPosition(); });
    connect(&window, &MainWindow::convertRequested, this, &ConversionController::startRun);
    wireView();
}

ConversionController::~ConversionController() = default;

void ConversionController::setPlatform(PowerService* power, FolderOpener* folders,
                                       MessageSink* messages) {
    m_run->setPlatform({power ? power : m_systemPower.get(),
                        folders ? folders : m_systemFolders.get(),
                        messages ? messages : m_systemMessages.get()});
}

void ConversionController::startRun() {
    if (m_run->isRunning())
        return; // "Convert Now!" is disabled meanwhile; a queued click changes nothing
    if (m_window.sourceListModel()->rowCount() == 0)
        return;
    // The preview player gets its quit key before the encoder starts.
    Q_EMIT m_window.sourceList()->previewQuitRequested();
    m_run->start();
}

void ConversionController::wireView() {
    RunPanel* panel = m_window.runPanel();
    m_rate = panel->rateLabel();
    QTimer* clock = m_window.conversionClock();
    connect(clock, &QTimer::timeout, this, &ConversionController::showClock);
    connect(panel->cancelButton(), &QPushButton::clicked, m_run.get(), &BatchRun::cancel);

    BatchRun* run = m_run.get();
    connect(run, &BatchRun::trackProgressChanged, panel->trackProgress(), &QProgressBar::setValue);
    connect(run, &BatchRun::totalProgressChanged, panel->totalProgress(), &QProgressBar::setValue);
    connect(run, &BatchRun::rowStarted, panel,
            [panel](RowId, const QString& caption) { panel->setProgressCaption(caption); });
    connect(run, &BatchRun::rateChanged, this, &ConversionController::showRate);
    connect(run, &BatchRun::runningChanged, this, &ConversionController::showRunning);
    connect(run, &BatchRun::totalProgressChanged, this,
            &ConversionController::showLauncherProgress);
    connect(run, &BatchRun::finished, this, &ConversionController::notifyEnd);
}

void ConversionController::setNotifier(DesktopNotifier* notifier) {
    m_notifier = notifier;
}

void ConversionController::showLauncherProgress(int percent) {
    if (m_notifier && m_run->isRunning())
        m_notifier->setProgress(percent / 100.0);
}

// A user who went to other work learns how the batch ended; one who watches the window sees
// it there. A cancel was the user's own doing.
void ConversionController::notifyEnd(RunEnd end, const QString& message) {
    if (m_notifier)
        m_notifier->clearProgress();
    if (end == RunEnd::Cancelled)
        return;
    const QString body = end == RunEnd::Completed ? m_run->outcome().summary() : message;
    notifyUnlessActive(m_notifier, &m_window, body, m_run->outputFolder());
}

void ConversionController::showRunning(bool running) {
    QTimer* clock = m_window.conversionClock();
    m_window.commands()->action(MainCommands::Command::ConvertNow)->setEnabled(!running);
    m_window.runPanel()->setVisible(running);
    m_window.showChoicesApplyToNextRun(running);
    showClock();
    if (running) {
        m_rate->clear();
        m_window.setCursor(Qt::WaitCursor);
        clock->start();
    } else {
        m_window.unsetCursor();
        clock->stop(); // the label keeps the run's duration
    }
}

// The clock only redraws: the time itself is the run's wall clock, so a busy moment loses nothing.
void ConversionController::showClock() {
    m_window.runPanel()->clockLabel()->setText(formatTimeString(m_run->elapsedSeconds()));
}

void ConversionController::showRate(const RunRate& rate) {
    if (rate.speed <= 0) {
        m_rate->clear();
        return;
    }
    m_rate->setText(QStringLiteral("Speed %1x   Time left: this file %2, all files %3")
                        .arg(rate.speed, 0, 'f', 2)
                        .arg(leftText(rate.itemSecondsLeft), leftText(rate.runSecondsLeft)));
}

} // namespace mirelo
