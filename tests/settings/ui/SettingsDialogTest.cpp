#include "settings/ui/SettingsDialog.h"
#include "base/CoreCount.h"
#include "base/IniFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

class SettingsDialogTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString appFolder = dir.filePath(QStringLiteral("app"));
    QString file = dir.filePath(QStringLiteral("app/settings.dat"));
    QString skin = dir.filePath(QStringLiteral("app/skins/frmmain.skn"));

    void SetUp() override { ASSERT_TRUE(QDir().mkpath(appFolder + QStringLiteral("/skins"))); }

    AppSettings settings() const { return AppSettings(file, appFolder); }

    void writeFile(const QByteArray& data) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
    }

    QByteArray fileContents() const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

} // namespace

TEST_F(SettingsDialogTest, HasEveryControlWithItsCaption) {
    SettingsDialog dialog(settings(), skin);
    EXPECT_EQ(dialog.windowTitle(), "Video Options");
    EXPECT_TRUE(dialog.isModal());
    const struct {
        const char* name;
        const char* caption;
    } controls[] = {
        {"outputFolderBox", "Save Video Files to"},
        {"browseButton", "Browse..."},
        {"existingFileBox", "If same as an existed file"},
        {"addNewOption", "Add \"New\" after filename"},
        {"overwriteOption", "Overwrite the existed file"},
        {"shutDownBox", ""},
        {"shutDownCheck", "Automatically Shutdown Computer After Conversion"},
        {"outputFolderCaption", "Output Folder"},
        {"okButton", "OK"},
        {"cancelButton", "Cancel"},
        {"outputFolderEdit", nullptr},
        {"jobsBox", ""},
        {"jobsCaption", "Simultaneous conversions"},
        {"jobsCombo", nullptr},
        {"importBox", "Online import"},
        {"ytdlpCaption", "yt-dlp program (empty: the one on PATH)"},
        {"ytdlpEdit", nullptr},
    };
    for (const auto& c : controls) {
        auto* w = dialog.findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(w, nullptr) << c.name;
        QString caption;
        if (auto* box = qobject_cast<QGroupBox*>(w))
            caption = box->title();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            caption = button->text();
        else if (auto* label = qobject_cast<QLabel*>(w))
            caption = label->text();
        else
            continue;
        EXPECT_EQ(caption, QString::fromUtf8(c.caption)) << c.name;
    }
    EXPECT_TRUE(dialog.outputFolderEdit()->isAncestorOf(dialog.browseButton()) ||
                dialog.findChild<QGroupBox*>(QStringLiteral("outputFolderBox"))
                    ->isAncestorOf(dialog.browseButton()));
}

TEST_F(SettingsDialogTest, LoadShowsTheStoredValues) {
    const struct {
        const char* file; // nullptr: no settings.dat
        QString folder;   // expected in the folder edit; empty: the application folder
        bool overwrite;
        bool autoShut;
    } cases[] = {
        {nullptr, {}, false, false},
        {"[set]\noutputfolder=  /srv/out dir  \nexistedfile=1\nautoshut=1\n",
         QStringLiteral("/srv/out dir"), true, true},
        {"[SET]\nexistedfile=0\nautoshut=0\n", {}, false, false},
        {"[set]\noutputfolder=\nexistedfile=abc\nautoshut=2\n", {}, false, false},
        // Only "1" overwrites, as in the run; any other value keeps existing files.
        {"[set]\nexistedfile=7\n", {}, false, false},
        {"[set]\nexistedfile=2\nautoshut=01\n", {}, false, false},
    };
    for (const auto& c : cases) {
        QFile::remove(file);
        if (c.file)
            writeFile(c.file);
        SettingsDialog dialog(settings(), skin);
        EXPECT_EQ(dialog.outputFolderEdit()->text(), c.folder.isEmpty() ? appFolder : c.folder)
            << (c.file ? c.file : "no file");
        EXPECT_EQ(dialog.overwriteOption()->isChecked(), c.overwrite);
        EXPECT_EQ(dialog.addNewOption()->isChecked(), !c.overwrite);
        EXPECT_EQ(dialog.autoShutCheck()->isChecked(), c.autoShut);
    }
}

TEST_F(SettingsDialogTest, OkOnFirstStartWritesTheThreeKeys) {
    SettingsDialog dialog(settings(), skin);
    dialog.show();
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(fileContents(),
              "[set]\noutputfolder=" + appFolder.toUtf8() + "\nexistedfile=0\nautoshut=0\n");
}

TEST_F(SettingsDialogTest, OkStoresTheEditsAndKeepsOtherKeys) {
    writeFile("; mine\n[Set]\nprofile=76\n");
    SettingsDialog dialog(settings(), skin);
    const QString longFolder =
        QStringLiteral("  /media/") + QString(300, QLatin1Char('v')) + QStringLiteral("  ");
    dialog.outputFolderEdit()->setText(longFolder);
    dialog.overwriteOption()->setChecked(true);
    dialog.autoShutCheck()->setChecked(true);
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    EXPECT_EQ(fileContents(), "; mine\n[Set]\nprofile=76\noutputfolder=" +
                                  longFolder.trimmed().toUtf8() + "\nexistedfile=1\nautoshut=1\n");
    EXPECT_EQ(settings().outputFolder(), longFolder.trimmed());
}

TEST_F(SettingsDialogTest, CancelWritesNothing) {
    for (const char* before : {static_cast<const char*>(nullptr), "[set]\nexistedfile=1\n"}) {
        QFile::remove(file);
        if (before)
            writeFile(before);
        SettingsDialog dialog(settings(), skin);
        dialog.outputFolderEdit()->setText(QStringLiteral("/changed"));
        dialog.addNewOption()->setChecked(true);
        dialog.autoShutCheck()->setChecked(true);
        QTest::mouseClick(dialog.cancelButton(), Qt::LeftButton);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(fileContents(), before ? QByteArray(before) : QByteArray("<missing>"));
    }
}

TEST_F(SettingsDialogTest, BrowseCancelChangesNothingAndAPickFillsTheFolder) {
    writeFile("[set]\noutputfolder=/kept\n");
    SettingsDialog dialog(settings(), skin);
    dialog.show();

    QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
    QFileDialog* picker = dialog.folderPicker();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->windowTitle(), "Mirelo Video Converter");
    EXPECT_EQ(picker->fileMode(), QFileDialog::Directory);
    picker->reject();
    QTRY_COMPARE(dialog.folderPicker(), nullptr);
    EXPECT_EQ(dialog.outputFolderEdit()->text(), "/kept");
    EXPECT_TRUE(dialog.isVisible());

    const QString chosen = dir.filePath(QStringLiteral("chosen folder"));
    ASSERT_TRUE(QDir().mkpath(chosen));
    QTest::mouseClick(dialog.browseButton(), Qt::LeftButton);
    ASSERT_NE(dialog.folderPicker(), nullptr);
    Q_EMIT dialog.folderPicker()->fileSelected(chosen);
    dialog.folderPicker()->reject();
    EXPECT_EQ(dialog.outputFolderEdit()->text(), QDir::toNativeSeparators(chosen));
    EXPECT_EQ(fileContents(), "[set]\noutputfolder=/kept\n") << "nothing is saved before OK";
}

TEST_F(SettingsDialogTest, GetsTheSkin) {
    QFile f(skin);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("QDialog { background: #123456; }");
    f.close();
    SettingsDialog skinned(settings(), skin);
    EXPECT_EQ(skinned.styleSheet(), "QDialog { background: #123456; }");
    SettingsDialog plain(settings(), dir.filePath(QStringLiteral("no-such.skn")));
    EXPECT_EQ(plain.styleSheet(), "");
}

TEST_F(SettingsDialogTest, AFailedSaveIsReportedWithTheFileName) {
    ASSERT_TRUE(QDir().mkpath(file)); // settings.dat is a folder: no write can succeed
    SettingsDialog dialog(settings(), skin);
    dialog.show();
    QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
    // The dialog closes at once; the message stays on screen without holding anything up.
    QString shown;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
            shown = box->text();
            delete box;
        }
    }
    EXPECT_TRUE(shown.contains(file)) << shown.toStdString();
    EXPECT_FALSE(dialog.isVisible());
}

// "Simultaneous conversions" shows the stored "jobs" (anything unreadable as one at a time) and
// writes it on "OK" only when the user changed it, so a file without the key keeps its bytes.
TEST_F(SettingsDialogTest, SimultaneousConversionsShowsAndStoresJobs) {
    const int cores = coreCount();
    const struct {
        const char* stored; // nullptr: no key
        QString shown;
        QString chosen;    // the item picked before "OK"; empty: none
        const char* after; // the stored value after "OK"; nullptr: still no key
    } cases[] = {
        {nullptr, "1", {}, nullptr},   {"auto", "auto", {}, "auto"},
        {"zero", "1", {}, "zero"},     {nullptr, "1", "auto", "auto"},
        {"auto", "auto", "1", "1"},    {"999", QString::number(cores), {}, "999"},
        {"zero", "1", "auto", "auto"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.stored ? c.stored : "no key") + " " + c.chosen.toStdString());
        writeFile(c.stored ? "[set]\nexistedfile=0\njobs=" + QByteArray(c.stored) + "\n"
                           : QByteArray("[set]\nexistedfile=0\n"));
        SettingsDialog dialog(settings(), skin);
        QComboBox* combo = dialog.jobsCombo();
        ASSERT_EQ(combo, dialog.findChild<QComboBox*>(QStringLiteral("jobsCombo")));
        EXPECT_EQ(combo->count(), cores + 1);
        EXPECT_EQ(combo->currentData().toString(), c.shown);
        auto* caption = combo->parentWidget()->findChild<QLabel*>();
        ASSERT_NE(caption, nullptr);
        EXPECT_EQ(caption->text(), "Simultaneous conversions");
        if (!c.chosen.isEmpty())
            combo->setCurrentIndex(combo->findData(c.chosen));
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        EXPECT_EQ(fileContents().contains("\njobs="), c.after != nullptr) << fileContents().data();
        if (c.after) {
            EXPECT_EQ(readIniValue(file, "set", "jobs"), QLatin1String(c.after));
        }
    }
}

TEST_F(SettingsDialogTest, TheYtDlpProgramIsShownAndStoredWhenChanged) {
    const struct {
        const char* before;
        const char* shown;
        QString typed;
        const char* after;
    } cases[] = {
        // Untouched: the file keeps not naming one (the run then takes yt-dlp from PATH).
        {"[set]\noutputfolder=/o\nexistedfile=0\nautoshut=0\n", "", "",
         "[set]\noutputfolder=/o\nexistedfile=0\nautoshut=0\n"},
        {"[set]\noutputfolder=/o\nexistedfile=0\nautoshut=0\n", "", " /opt/new/yt-dlp ",
         "[set]\noutputfolder=/o\nexistedfile=0\nautoshut=0\nytdlp=/opt/new/yt-dlp\n"},
        {"[set]\nytdlp=/home/u/bin/yt-dlp\noutputfolder=/o\nexistedfile=0\nautoshut=0\n",
         "/home/u/bin/yt-dlp", "", "[set]\nytdlp=\noutputfolder=/o\nexistedfile=0\nautoshut=0\n"},
    };
    for (const auto& c : cases) {
        writeFile(c.before);
        SettingsDialog dialog(settings(), skin);
        QLineEdit* edit = dialog.findChild<QLineEdit*>(QStringLiteral("ytdlpEdit"));
        ASSERT_EQ(edit, dialog.ytdlpProgramEdit());
        EXPECT_EQ(edit->text(), QLatin1String(c.shown)) << c.before;
        edit->setText(c.typed);
        QTest::mouseClick(dialog.okButton(), Qt::LeftButton);
        EXPECT_EQ(fileContents(), QByteArray(c.after)) << c.before;
        EXPECT_EQ(settings().ytdlpProgram(), c.typed.trimmed());
    }
}
