#pragma once

#include "convert/BatchRun.h"
#include "platform/FolderOpener.h"
#include "platform/MessageSink.h"

#include <QObject>

#include <memory>

class QLabel;

namespace mirelo {

class DesktopNotifier;
class MainWindow;
class PowerService;

// Gives "Convert Now!" its behaviour: runs the batch over the source list with the chooser's
// profile and the sheet's options as they stand at the start, and shows the run in the run panel
// (its clock redrawn every second, the item's caption, the overall and item bars, speed and time
// left), with "Cancel" stopping it. While a run is active the panel is shown, the pointer is busy,
// the convert command is disabled and the window says that changes apply to the next run; the
// launcher icon shows the overall progress, and a batch that ends while the window is not active
// is told as a notification.
class ConversionController : public QObject {
    Q_OBJECT
public:
    explicit ConversionController(MainWindow& window);
    ~ConversionController() override;

    BatchRun& run() { return *m_run; }
    // The platform edges; tests put fakes here. Not owned; null restores the desktop's.
    void setPlatform(PowerService* power, FolderOpener* folders, MessageSink* messages);

    // Where the end of a batch and its progress are told to the desktop. Not owned; null: nowhere.
    void setNotifier(DesktopNotifier* notifier);

    void startRun();

private:
    void wireView();
    void showRunning(bool running);
    void showRate(const RunRate& rate);
    void showClock();
    void showLauncherProgress(int percent);
    void notifyEnd(RunEnd end, const QString& message);

    MainWindow& m_window;
    // The platform goes last: a run still active when the window closes releases its lock.
    std::unique_ptr<PowerService> m_systemPower;
    std::unique_ptr<FolderOpener> m_systemFolders;
    std::unique_ptr<MessageSink> m_systemMessages;
    std::unique_ptr<BatchRun> m_run;
    QLabel* m_rate = nullptr;
    DesktopNotifier* m_notifier = nullptr;
};

} // namespace mirelo
