#include "settings/ui/SettingsDialog.h"

#include "base/CoreCount.h"
#include "base/Product.h"
#include "ui/MessageBoxes.h"
#include "ui/Skin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace mirelo {

namespace {

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

SettingsDialog::SettingsDialog(AppSettings settings, const QString& skinFile, QWidget* parent)
    : QDialog(parent), m_settings(std::move(settings)) {
    setObjectName(QStringLiteral("SettingsDialog"));
    setWindowTitle(QStringLiteral("Video Options"));
    setModal(true);
    applySkin(this, skinFile);
    buildUi();
    load();
}

void SettingsDialog::buildUi() {
    auto* folderFrame = named(new QGroupBox(QStringLiteral("Save Video Files to"), this), "Frame1");
    auto* folderCaption =
        named(new QLabel(QStringLiteral("Output Folder"), folderFrame), "SkinLabel1");
    m_folder = named(new QLineEdit(folderFrame), "Text2");
    m_folder->setMinimumWidth(320);
    folderCaption->setBuddy(m_folder);
    m_browse = named(new QPushButton(QStringLiteral("Browse..."), folderFrame), "Command4");
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_browse);
    auto* folderLayout = new QVBoxLayout(folderFrame);
    folderLayout->addWidget(folderCaption);
    folderLayout->addLayout(folderRow);

    auto* policyFrame =
        named(new QGroupBox(QStringLiteral("If same as an existed file"), this), "Frame2");
    m_addNew = named(new QRadioButton(QStringLiteral("Add \"New\" after filename"), policyFrame),
                     "Option1");
    m_overwrite = named(new QRadioButton(QStringLiteral("Overwrite the existed file"), policyFrame),
                        "Option2");
    auto* policyLayout = new QVBoxLayout(policyFrame);
    policyLayout->addWidget(m_addNew);
    policyLayout->addWidget(m_overwrite);

    auto* shutFrame = named(new QGroupBox(this), "Frame3");
    m_autoShut =
        named(new QCheckBox(QStringLiteral("Automatically Shutdown Computer After Conversion"),
                            shutFrame),
              "Check1");
    auto* shutLayout = new QVBoxLayout(shutFrame);
    shutLayout->addWidget(m_autoShut);

    auto* importFrame = named(new QGroupBox(QStringLiteral("Online import"), this), "frmImport");
    auto* ytdlpCaption =
        named(new QLabel(QStringLiteral("yt-dlp program (empty: the one on PATH)"), importFrame),
              "lblYtdlp");
    m_ytdlp = named(new QLineEdit(importFrame), "txtYtdlp");
    m_ytdlp->setPlaceholderText(QStringLiteral("yt-dlp"));
    ytdlpCaption->setBuddy(m_ytdlp);
    auto* importLayout = new QVBoxLayout(importFrame);
    importLayout->addWidget(ytdlpCaption);
    importLayout->addWidget(m_ytdlp);

    m_ok = named(new QPushButton(QStringLiteral("OK"), this), "Command1");
    m_ok->setDefault(true);
    m_cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "Command2");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderFrame);
    layout->addWidget(policyFrame);
    layout->addWidget(shutFrame);
    layout->addWidget(buildJobs());
    layout->addWidget(importFrame);
    layout->addLayout(buttons);

    connect(m_browse, &QPushButton::clicked, this, &SettingsDialog::browse);
    connect(m_ok, &QPushButton::clicked, this, &SettingsDialog::save);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// "Simultaneous conversions": 1 up to the cores, or "Automatic"; the item data is the stored text.
QWidget* SettingsDialog::buildJobs() {
    auto* frame = named(new QGroupBox(this), "Frame4");
    auto* caption = new QLabel(QStringLiteral("Simultaneous conversions"), frame);
    m_jobs = named(new QComboBox(frame), "cboJobs");
    for (int count = 1; count <= coreCount(); ++count)
        m_jobs->addItem(QString::number(count), simultaneousJobsText({false, count}));
    m_jobs->addItem(QStringLiteral("Automatic (while a core is idle)"),
                    simultaneousJobsText({true, coreCount()}));
    caption->setBuddy(m_jobs);
    auto* row = new QHBoxLayout(frame);
    row->addWidget(caption);
    row->addWidget(m_jobs);
    row->addStretch();
    return frame;
}

void SettingsDialog::load() {
    m_folder->setText(m_settings.outputFolder());
    const bool overwrite = m_settings.existedFile() == AppSettings::ExistingFile::Overwrite;
    (overwrite ? m_overwrite : m_addNew)->setChecked(true);
    m_autoShut->setChecked(m_settings.autoShut());
    m_ytdlp->setText(m_settings.ytdlpProgram());
    m_jobs->setCurrentIndex(std::max(0, m_jobs->findData(simultaneousJobsText(m_settings.jobs()))));
}

// Written only when changed: "1" is what a missing key means, and the file keeps its bytes.
bool SettingsDialog::saveJobs() {
    const SimultaneousJobs chosen =
        parseSimultaneousJobs(m_jobs->currentData().toString()).value_or(SimultaneousJobs{});
    return chosen == m_settings.jobs() || m_settings.setJobs(chosen);
}

QFileDialog* SettingsDialog::folderPicker() const {
    return m_picker.data();
}

void SettingsDialog::browse() {
    if (m_picker)
        return;
    // Opened without a nested event loop; the answer arrives as a signal.
    m_picker = new QFileDialog(this, applicationTitle(), m_folder->text().trimmed());
    m_picker->setObjectName(QStringLiteral("folderPicker"));
    m_picker->setFileMode(QFileDialog::Directory);
    m_picker->setOption(QFileDialog::ShowDirsOnly);
    m_picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_picker, &QFileDialog::fileSelected, this, [this](const QString& folder) {
        if (!folder.isEmpty())
            m_folder->setText(QDir::toNativeSeparators(folder));
    });
    m_picker->open();
}

void SettingsDialog::save() {
    // All are written on every "OK", in this order, even when one fails.
    const bool folderSaved = m_settings.setOutputFolder(m_folder->text());
    const bool policySaved =
        m_settings.setExistedFile(m_addNew->isChecked() ? AppSettings::ExistingFile::AddNew
                                                        : AppSettings::ExistingFile::Overwrite);
    const bool shutSaved = m_settings.setAutoShut(m_autoShut->isChecked());
    const bool jobsSaved = saveJobs();
    // Only a change is written: a file that never named a yt-dlp program keeps not naming one.
    const bool ytdlpSaved = m_ytdlp->text().trimmed() == m_settings.ytdlpProgram() ||
                            m_settings.setYtdlpProgram(m_ytdlp->text());
    if (!(folderSaved && policySaved && shutSaved && jobsSaved && ytdlpSaved)) {
        // Over the main window: this dialog closes at once.
        showMessageBox(parentWidget(), QMessageBox::Warning,
                       QStringLiteral("The settings could not be saved to %1.")
                           .arg(QDir::toNativeSeparators(m_settings.filePath())));
    }
    accept();
}

} // namespace mirelo
