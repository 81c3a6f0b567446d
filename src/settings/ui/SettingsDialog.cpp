#include "settings/ui/SettingsDialog.h"

#include "base/CoreCount.h"
#include "base/Product.h"
#include "settings/ui/SettingBinding.h"
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
    bindSettings();
    load();
}

SettingsDialog::~SettingsDialog() = default;

void SettingsDialog::buildUi() {
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildOutputFolder());
    layout->addWidget(buildExistingFile());
    layout->addWidget(buildShutDown());
    layout->addWidget(buildJobs());
    layout->addWidget(buildImport());
    layout->addLayout(buildButtons());
}

QWidget* SettingsDialog::buildOutputFolder() {
    auto* frame =
        named(new QGroupBox(QStringLiteral("Save Video Files to"), this), "outputFolderBox");
    auto* caption =
        named(new QLabel(QStringLiteral("Output Folder"), frame), "outputFolderCaption");
    m_outputFolder = named(new QLineEdit(frame), "outputFolderEdit");
    m_outputFolder->setMinimumWidth(320);
    caption->setBuddy(m_outputFolder);
    m_browse = named(new QPushButton(QStringLiteral("Browse..."), frame), "browseButton");
    connect(m_browse, &QPushButton::clicked, this, &SettingsDialog::browse);
    auto* row = new QHBoxLayout;
    row->addWidget(m_outputFolder, 1);
    row->addWidget(m_browse);
    auto* column = new QVBoxLayout(frame);
    column->addWidget(caption);
    column->addLayout(row);
    return frame;
}

QWidget* SettingsDialog::buildExistingFile() {
    auto* frame =
        named(new QGroupBox(QStringLiteral("If same as an existed file"), this), "existingFileBox");
    m_addNew = named(new QRadioButton(QStringLiteral("Add \"New\" after filename"), frame),
                     "addNewOption");
    m_overwrite = named(new QRadioButton(QStringLiteral("Overwrite the existed file"), frame),
                        "overwriteOption");
    auto* column = new QVBoxLayout(frame);
    column->addWidget(m_addNew);
    column->addWidget(m_overwrite);
    return frame;
}

QWidget* SettingsDialog::buildShutDown() {
    auto* frame = named(new QGroupBox(this), "shutDownBox");
    m_shutDown = named(
        new QCheckBox(QStringLiteral("Automatically Shutdown Computer After Conversion"), frame),
        "shutDownCheck");
    auto* column = new QVBoxLayout(frame);
    column->addWidget(m_shutDown);
    return frame;
}

// "Simultaneous conversions": 1 up to the cores, or "Automatic"; the item data is the stored text.
QWidget* SettingsDialog::buildJobs() {
    auto* frame = named(new QGroupBox(this), "jobsBox");
    auto* caption =
        named(new QLabel(QStringLiteral("Simultaneous conversions"), frame), "jobsCaption");
    m_jobs = named(new QComboBox(frame), "jobsCombo");
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

QWidget* SettingsDialog::buildImport() {
    auto* frame = named(new QGroupBox(QStringLiteral("Online import"), this), "importBox");
    auto* caption =
        named(new QLabel(QStringLiteral("yt-dlp program (empty: the one on PATH)"), frame),
              "ytdlpCaption");
    m_ytdlp = named(new QLineEdit(frame), "ytdlpEdit");
    m_ytdlp->setPlaceholderText(QStringLiteral("yt-dlp"));
    caption->setBuddy(m_ytdlp);
    auto* column = new QVBoxLayout(frame);
    column->addWidget(caption);
    column->addWidget(m_ytdlp);
    return frame;
}

QLayout* SettingsDialog::buildButtons() {
    m_ok = named(new QPushButton(QStringLiteral("OK"), this), "okButton");
    m_ok->setDefault(true);
    m_cancel = named(new QPushButton(QStringLiteral("Cancel"), this), "cancelButton");
    connect(m_ok, &QPushButton::clicked, this, &SettingsDialog::save);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_ok);
    row->addWidget(m_cancel);
    return row;
}

// Saved in this order. The folder, the policy and the shutdown flag are written on every "OK";
// the jobs and the yt-dlp program only when changed, so a file without them keeps its bytes.
void SettingsDialog::bindSettings() {
    using Write = SettingBinding::Write;
    m_bindings.push_back(bindLineEdit(m_outputFolder, setting::outputFolder, Write::Always));
    m_bindings.push_back(bindOptions<ExistingFilePolicy>(
        {{m_addNew, ExistingFilePolicy::AddNew}, {m_overwrite, ExistingFilePolicy::Overwrite}},
        setting::existingFile, Write::Always));
    m_bindings.push_back(bindCheckBox(m_shutDown, setting::autoShut, Write::Always));
    m_bindings.push_back(bindComboBox(m_jobs, setting::jobs, Write::WhenChanged));
    m_bindings.push_back(bindLineEdit(m_ytdlp, setting::ytdlpProgram, Write::WhenChanged));
}

void SettingsDialog::load() {
    for (const auto& binding : m_bindings)
        binding->load(m_settings);
}

QFileDialog* SettingsDialog::folderPicker() const {
    return m_picker.data();
}

void SettingsDialog::browse() {
    if (m_picker)
        return;
    // Opened without a nested event loop; the answer arrives as a signal.
    m_picker = new QFileDialog(this, applicationTitle(), m_outputFolder->text().trimmed());
    m_picker->setObjectName(QStringLiteral("folderPicker"));
    m_picker->setFileMode(QFileDialog::Directory);
    m_picker->setOption(QFileDialog::ShowDirsOnly);
    m_picker->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_picker, &QFileDialog::fileSelected, this, [this](const QString& folder) {
        if (!folder.isEmpty())
            m_outputFolder->setText(QDir::toNativeSeparators(folder));
    });
    m_picker->open();
}

void SettingsDialog::save() {
    // Every binding is saved, even after one fails.
    bool allSaved = true;
    for (const auto& binding : m_bindings)
        allSaved = binding->save(m_settings) && allSaved;
    if (!allSaved) {
        // Over the main window: this dialog closes at once.
        showMessageBox(parentWidget(), QMessageBox::Warning,
                       QStringLiteral("The settings could not be saved to %1.")
                           .arg(QDir::toNativeSeparators(m_settings.filePath())));
    }
    accept();
}

} // namespace mirelo
