#pragma once

#include "settings/AppSettings.h"

#include <QDialog>
#include <QPointer>

#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace mirelo {

class SettingBinding;

// The settings dialog "Video Options": output folder, existing-file policy, shutdown after a
// batch, how many files convert at once and the yt-dlp program of the online import. Each widget
// is bound to its setting; the dialog loads them all when it opens and saves them on "OK".
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(AppSettings settings, const QString& skinFile, QWidget* parent = nullptr);
    ~SettingsDialog() override;

    QLineEdit* outputFolderEdit() const { return m_outputFolder; }
    QPushButton* browseButton() const { return m_browse; }
    QRadioButton* addNewOption() const { return m_addNew; }
    QRadioButton* overwriteOption() const { return m_overwrite; }
    QCheckBox* autoShutCheck() const { return m_shutDown; }
    QComboBox* jobsCombo() const { return m_jobs; }
    QLineEdit* ytdlpProgramEdit() const { return m_ytdlp; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    // The open folder picker while "Browse..." waits for the user; nullptr otherwise.
    QFileDialog* folderPicker() const;

private:
    void buildUi();
    QWidget* buildOutputFolder();
    QWidget* buildExistingFile();
    QWidget* buildShutDown();
    QWidget* buildJobs();
    QWidget* buildImport();
    QLayout* buildButtons();
    void bindSettings();
    void load();
    void browse();
    void save();

    AppSettings m_settings;
    std::vector<std::unique_ptr<SettingBinding>> m_bindings;
    QLineEdit* m_outputFolder = nullptr;
    QPushButton* m_browse = nullptr;
    QRadioButton* m_addNew = nullptr;
    QRadioButton* m_overwrite = nullptr;
    QCheckBox* m_shutDown = nullptr;
    QComboBox* m_jobs = nullptr;
    QLineEdit* m_ytdlp = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPointer<QFileDialog> m_picker;
};

} // namespace mirelo
