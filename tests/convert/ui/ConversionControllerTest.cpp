#include "../ConvertTestSupport.h"

#include "app/Form1.h"
#include "app/ProfileChooser.h"
#include "app/RunPanel.h"
#include "common/TestSupport.h"
#include "convert/ui/ConversionController.h"
#include "platform/ui/ShutdownCountdown.h"
#include "settings/AppSettings.h"
#include "sourcelist/ui/SourceListView.h"
#include "tools/MediaFixtures.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace mirelo;
using namespace mirelo::test;

namespace {

class ConversionWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        out = QDir(dir.filePath("out"));
        const AppPaths paths{appDir(), dir.filePath("settings.dat"),
                             QDir(appDir()).filePath("skins/frmmain.skn")};
        const AppSettings settings(paths.settingsFile, paths.appFolder);
        settings.setOutputFolder(out.path());
        settings.setAutoShut(true);
        form = std::make_unique<Form1>(paths);
        controller = form->findChild<ConversionController*>();
        ASSERT_NE(controller, nullptr);
        controller->setPlatform(&power, &folders, &messages);
        list()->setMessagePresenter([](QMessageBox::Icon, const QString&) {});
    }

    SourceListView* list() const { return form->sourceList(); }
    RunPanel* panel() const { return form->runPanel(); }
    BatchRun& run() const { return controller->run(); }

    void addAndProbe(const QStringList& files) {
        list()->addFiles(files);
        QSignalSpy probed(list(), &SourceListView::probingFinished);
        if (list()->isProbing()) {
            ASSERT_TRUE(probed.wait(30000));
        }
    }

    bool convertEnabled() const {
        bool enabled = form->findChild<QAction*>("BurnNow")->isEnabled();
        for (QWidget* w : form->findChildren<QWidget*>("Image11"))
            enabled = enabled && w->isEnabled();
        return enabled;
    }

    QTemporaryDir dir;
    QDir out;
    std::unique_ptr<Form1> form;
    ConversionController* controller = nullptr;
    EdgeLog log;
    FakePower power{log};
    FakeFolders folders{log};
    FakeMessages messages{log};
};

TEST_F(ConversionWindow, ConvertNowRunsTheListInThePanel) {
    const QString good = makeVideoClip(QDir(dir.path()), "good.avi");
    const QString bad = dir.filePath("bad.avi");
    writeFile(bad, QByteArray(4096, 'q'));
    addAndProbe({good, bad});
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

    EXPECT_EQ(list()->status(0), "OK");
    EXPECT_EQ(list()->status(1), "Fail");
    const QString tip = list()->topLevelItem(1)->toolTip(SourceListView::StatusColumn);
    EXPECT_TRUE(tip.contains("Encoder output:")) << tip.toStdString();
    EXPECT_TRUE(tip.contains("Profile command line:"));
    EXPECT_TRUE(tip.contains("Ran:"));
    EXPECT_TRUE(QFile::exists(out.filePath("good.avi")));
    EXPECT_FALSE(panel()->isVisibleTo(form.get()));
    EXPECT_EQ(panel()->totalProgress()->value(), 0);
    EXPECT_EQ(panel()->trackProgress()->value(), 0);
    EXPECT_TRUE(convertEnabled());
    EXPECT_FALSE(form->conversionClock()->isActive());
    EXPECT_NE(form->cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(panel()->progressFrame()->title().startsWith("Progress...." + bad + " To "));
    const std::vector<std::string> ends{"poweroff", "info Conversion completed!",
                                        "open " + out.path().toStdString(), "release"};
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
    EXPECT_EQ(list()->status(0), "Cancel");
    EXPECT_TRUE(log.has("error Conversion Canceled by the user!"));
    EXPECT_FALSE(log.has("poweroff"));
    EXPECT_TRUE(out.entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_FALSE(panel()->isVisibleTo(form.get()));
    EXPECT_TRUE(convertEnabled());
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
