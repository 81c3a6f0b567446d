#include "../ConversionWindowSupport.h"

#include "app/ConversionController.h"
#include "app/MainWindow.h"
#include "app/ProfileChooser.h"
#include "app/RunPanel.h"
#include "base/IniFile.h"
#include "base/TimeString.h"
#include "common/MediaFixtures.h"
#include "common/TestSupport.h"
#include "platform/ui/ShutdownCountdown.h"
#include "settings/AppSettings.h"
#include "settings/ui/SettingsDialog.h"
#include "sourcelist/SourceListModel.h"
#include "sourcelist/ui/SourceListView.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace mirelo;
using namespace mirelo::test;

namespace {

class ConversionWindow : public ::testing::Test, protected ConversionWindowParts {
protected:
    void SetUp() override { ASSERT_NO_FATAL_FAILURE(openWindow(true)); }

    SourceListView* list() const { return form->sourceList(); }
    SourceListModel& rows() const { return *form->sourceListModel(); }
    QString status(int row) const { return SourceListModel::statusText(rows().at(row).status); }
    RunPanel* panel() const { return form->runPanel(); }
    BatchRun& run() const { return controller->run(); }

    void addAndProbe(const QStringList& files) {
        list()->addFiles(files);
        QSignalSpy probed(&rows(), &SourceListModel::probingFinished);
        if (rows().isProbing()) {
            ASSERT_TRUE(probed.wait(30000));
        }
    }

    bool convertEnabled() const {
        bool enabled = form->findChild<QAction*>("convertAction")->isEnabled();
        for (QWidget* w : form->findChildren<QWidget*>("Image11"))
            enabled = enabled && w->isEnabled();
        return enabled;
    }
};

TEST_F(ConversionWindow, ConvertNowRunsTheListInThePanel) {
    const QString good = makeVideoClip(QDir(dir.path()), "good.avi");
    const QString bad = dir.filePath("bad.avi");
    writeFile(bad, QByteArray(4096, 'q'));
    addAndProbe({good});
    // A clip chosen beforehand is not probed, so the encoder meets the damaged file and fails;
    // the probe would have marked it unreadable and the run skipped it.
    rows().addClip(bad, 0, 2);
    form->profileChooser()->selectPosition(41);

    QSignalSpy finished(&run(), &BatchRun::finished);
    Q_EMIT form->convertRequested();
    ASSERT_TRUE(run().isRunning());
    EXPECT_TRUE(panel()->isVisibleTo(form.get()));
    EXPECT_FALSE(convertEnabled());
    EXPECT_TRUE(form->conversionClock()->isActive());
    EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
    Q_EMIT form->convertRequested(); // a second start while running changes nothing
    ASSERT_TRUE(finished.wait(120000));

    EXPECT_EQ(status(0), "OK");
    EXPECT_EQ(status(1), "Fail");
    const QString tip =
        list()->model()->index(1, SourceListModel::StatusColumn).data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(tip.contains("Encoder output:")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("Profile command line:"));
    EXPECT_TRUE(tip.contains("Ran:"));
    EXPECT_TRUE(QFile::exists(out.filePath("good.avi")));
    EXPECT_FALSE(panel()->isVisibleTo(form.get()));
    EXPECT_EQ(panel()->totalProgress()->value(), 0);
    EXPECT_EQ(panel()->trackProgress()->value(), 0);
    EXPECT_TRUE(convertEnabled());
    EXPECT_FALSE(form->conversionClock()->isActive());
    EXPECT_EQ(panel()->clockLabel()->text(), formatTimeString(run().elapsedSeconds()));
    EXPECT_NE(form->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(panel()->progressFrame()->title().startsWith("Progress...." + bad + " To "));
    // The run has ended before the end actions reach the user.
    const std::vector<std::string> ends{
        "release", "poweroff",
        "warning Conversion completed: 1 of 2 files converted, 1 failed.\n\nNot converted:\n" +
            bad.toStdString(),
        "open " + out.path().toStdString()};
    EXPECT_TRUE(std::search(log.events.begin(), log.events.end(), ends.begin(), ends.end()) !=
                log.events.end());
}

TEST_F(ConversionWindow, CancelButtonStopsTheRun) {
    addAndProbe({makeVideoClip(QDir(dir.path()), "long.avi", 60)});
    form->profileChooser()->selectPosition(23);
    QObject::connect(&run(), &BatchRun::trackProgressChanged, panel(), [this](int v) {
        if (v > 10)
            panel()->cancelButton()->click();
    });
    QSignalSpy finished(&run(), &BatchRun::finished);
    Q_EMIT form->convertRequested();
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(finished.first().first().value<RunEnd>(), RunEnd::Cancelled);
    EXPECT_EQ(status(0), "Cancel");
    EXPECT_TRUE(log.has("error Conversion Canceled by the user!"));
    EXPECT_FALSE(log.has("poweroff"));
    EXPECT_TRUE(out.entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(panel()->isVisibleTo(form.get()));
    EXPECT_TRUE(convertEnabled());
}

// One reading of the stored policy serves the dialog and the run: whatever the file holds, the
// dialog's choice is what the run then does with an existing output.
TEST_F(ConversionWindow, TheSettingsDialogShowsWhatTheRunDoes) {
    const QString clip = makeVideoClip(QDir(dir.path()), "clip.avi");
    addAndProbe({clip});
    form->profileChooser()->selectPosition(41); // AVI: the output is clip.avi
    QDir().mkpath(out.path());
    for (const char* stored : {"1", "0", "2", "7", "abc", "", " 1 ", "01"}) {
        SCOPED_TRACE(stored);
        ASSERT_TRUE(writeIniValue(form->paths().settingsFile, "set", "existedfile", stored));
        const bool dialogOverwrites = [&] {
            SettingsDialog dialog(form->settings(), form->paths().skinFile);
            EXPECT_NE(dialog.overwriteOption()->isChecked(), dialog.addNewOption()->isChecked());
            return dialog.overwriteOption()->isChecked();
        }();
        writeFile(out.filePath("clip.avi"), "old");
        QFile::remove(out.filePath("clip_New.avi"));
        QSignalSpy finished(&run(), &BatchRun::finished);
        Q_EMIT form->convertRequested();
        ASSERT_TRUE(finished.wait(120000));
        ASSERT_EQ(status(0), "OK");
        const bool runOverwrote = readFile(out.filePath("clip.avi")) != "old";
        EXPECT_EQ(runOverwrote, dialogOverwrites);
        EXPECT_EQ(QFile::exists(out.filePath("clip_New.avi")), !runOverwrote);
        EXPECT_EQ(dialogOverwrites, QString(stored).trimmed() == "1");
    }
}

TEST(ShutdownCountdown, AcceptsAtZeroUnlessCancelled) {
    ShutdownCountdown counting(1);
    QSignalSpy accepted(&counting, &QDialog::accepted);
    counting.show();
    EXPECT_TRUE(accepted.wait(5000));

    ShutdownCountdown cancelled(30);
    QSignalSpy rejected(&cancelled, &QDialog::rejected);
    cancelled.show();
    cancelled.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    EXPECT_EQ(rejected.count(), 1);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
}

} // namespace
