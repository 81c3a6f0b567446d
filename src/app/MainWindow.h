#pragma once

#include "app/ImageList.h"
#include "settings/AppPaths.h"
#include "settings/AppSettings.h"

#include <QMainWindow>
#include <QTimer>

class QGroupBox;
class QLabel;
class QPushButton;

namespace mirelo {

class ConversionController;
class DesktopNotifier;
class HardwareTrial;
class MainCommands;
class OptionSheet;
class OptionSheetView;
class OutputSizeEstimates;
class PathLabel;
class PreviewFrame;
class ProfileChooser;
class RunPanel;
class SourceListModel;
class SourceListView;
class StandInLinks;
class Toolbar;

// The main window: command strip, source list, profile chooser, option sheet, preview and the
// run panel. Constructing it runs the start-up sequence; closing it runs the shutdown sequence.
// It only lays the controls out and wires the settings; other parts reach the controls through
// the accessors and give them their behaviour.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(AppPaths paths, QWidget* parent = nullptr);
    ~MainWindow() override;

    const AppPaths& paths() const { return m_paths; }
    AppSettings settings() const;
    bool skinApplied() const { return m_skinApplied; }

    Toolbar* toolbar() const { return m_toolbar; } // the command strip
    // The commands' actions, shown by the menu bar, the command strip and the list's context menu.
    MainCommands* commands() const { return m_commands; }
    SourceListView* sourceList() const { return m_sourceList; }
    SourceListModel* sourceListModel() const { return m_sources; }
    ProfileChooser* profileChooser() const { return m_chooser; }
    OptionSheet* optionSheet() const { return m_sheet; }
    OptionSheetView* optionSheetView() const { return m_sheetView; }
    PreviewFrame* preview() const { return m_preview; }
    RunPanel* runPanel() const { return m_runPanel; }
    PathLabel* outputFolderLabel() const { return m_outputFolder; } // where outputs go
    QPushButton* openFolderButton() const { return m_openFolder; }  // opens that folder
    // Redraws the preview's position while it plays.
    QTimer* previewClock() const { return m_previewClock; }
    // Redraws the run panel's elapsed time while a batch runs.
    QTimer* conversionClock() const { return m_conversionClock; }
    // The pictures of the profile chooser's family headings.
    const ImageList& imageList() const { return m_images; }
    DesktopNotifier* desktopNotifier() const { return m_notifier; } // notifications, launcher

    // Builds the option sheet at its defaults.
    void resetOptionSheet();
    // Opens the settings dialog modally.
    void openSettings();
    // Shows the folder converted files go to, as the settings now say.
    void showOutputFolder();
    // While a run converts, the profile and the options stay editable for the next run, and the
    // window says so: the run converts with what was chosen when it started.
    void showChoicesApplyToNextRun(bool running);
    // The links through which files named by bytes that are not UTF-8 are listed and converted;
    // not owned, and kept until the window is gone.
    void setStandIns(StandInLinks* links);

Q_SIGNALS:
    // The window is closing: whatever runs on its behalf (encoder, player) must stop now.
    void closing();
    // Commands carried out by other parts of the window; their actions end here.
    void convertRequested();
    void playRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    QWidget* buildCommandStrip();
    QWidget* buildListSide();
    QWidget* buildOutputFrame(QWidget* parent);
    QWidget* buildOptionSide();
    void startUp();
    void startHardwareTrial();
    void placeWindow();
    void setTabOrderInReadingOrder();
    void shutDown();
    void applyPicked(int position);

    AppPaths m_paths;
    ImageList m_images;
    bool m_skinApplied = false;
    bool m_shutDown = false;
    Toolbar* m_toolbar = nullptr;
    MainCommands* m_commands = nullptr;
    DesktopNotifier* m_notifier = nullptr;
    SourceListModel* m_sources = nullptr;
    SourceListView* m_sourceList = nullptr;
    QLabel* m_profileLabel = nullptr;
    QGroupBox* m_optionsFrame = nullptr;
    ProfileChooser* m_chooser = nullptr;
    HardwareTrial* m_hardwareTrial = nullptr;
    ConversionController* m_conversion = nullptr;
    OptionSheet* m_sheet = nullptr;
    OutputSizeEstimates* m_sizeEstimates = nullptr;
    OptionSheetView* m_sheetView = nullptr;
    PreviewFrame* m_preview = nullptr;
    RunPanel* m_runPanel = nullptr;
    QWidget* m_runPanelSlot = nullptr;
    PathLabel* m_outputFolder = nullptr;
    QPushButton* m_openFolder = nullptr;
    QTimer* m_previewClock = nullptr;
    QTimer* m_conversionClock = nullptr;
};

} // namespace mirelo
