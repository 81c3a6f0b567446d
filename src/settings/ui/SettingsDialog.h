#pragma once

#include "settings/AppSettings.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QFileDialog;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace mirelo {

// The settings dialog "Video Options": output folder, existing-file policy, shutdown after a
// batch, how many files convert at once and the yt-dlp program of the online import. It loads the
// stored values when it opens and writes them all on "OK".
class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(AppSettings settings, const QString& skinFile, QWidget* parent = nullptr);

    QLineEdit* outputFolderEdit() const { return m_folder; }      // Text2
    QPushButton* browseButton() const { return m_browse; }        // Command4
    QRadioButton* addNewOption() const { return m_addNew; }       // Option1
    QRadioButton* overwriteOption() const { return m_overwrite; } // Option2
    QCheckBox* autoShutCheck() const { return m_autoShut; }       // Check1
    QComboBox* jobsCombo() const { return m_jobs; }               // cboJobs
    QLineEdit* ytdlpProgramEdit() const { return m_ytdlp; }       // txtYtdlp
    QPushButton* okButton() const { return m_ok; }                // Command1
    QPushButton* cancelButton() const { return m_cancel; }        // Command2
    // The open folder picker while "Browse..." waits for the user; nullptr otherwise.
    QFileDialog* folderPicker() const;

private:
    void buildUi();
    QWidget* buildJobs();
    void load();
    void browse();
    void save();
    bool saveJobs();

    AppSettings m_settings;
    QLineEdit* m_folder = nullptr;
    QPushButton* m_browse = nullptr;
    QRadioButton* m_addNew = nullptr;
    QRadioButton* m_overwrite = nullptr;
    QCheckBox* m_autoShut = nullptr;
    QComboBox* m_jobs = nullptr;
    QLineEdit* m_ytdlp = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPointer<QFileDialog> m_picker;
};

} // namespace mirelo
