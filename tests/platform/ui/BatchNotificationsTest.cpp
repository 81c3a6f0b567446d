// The end of a batch told to the desktop, and its progress on the launcher icon, against a
// private session bus: the main window's conversion controller with a recording server.

#include "../../convert/ConversionWindowSupport.h"
#include "SessionBus.h"
#include "app/ConversionController.h"
#include "app/MainWindow.h"
#include "app/ProfileChooser.h"
#include "app/RunPanel.h"
#include "common/MediaFixtures.h"
#include "common/TestSupport.h"
#include "platform/ui/DesktopNotifier.h"
#include "settings/AppSettings.h"
#include "sourcelist/SourceListModel.h"
#include "sourcelist/ui/SourceListView.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace mirelo;
using namespace mirelo::test;

namespace {

enum class Batch { Clean, WithFailure, Cancelled };

struct NotificationCase {
    const char* name;
    Batch batch;
    bool windowActive;
    const char* expectedBody; // nullptr: no notification
};

class BatchWindow : public ::testing::Test, protected ConversionWindowParts {
protected:
    void SetUp() override {
        if (!bus.isUp())
            GTEST_SKIP() << "dbus-daemon is not installed";
        ASSERT_NO_FATAL_FAILURE(openWindow(false));
    }

    // Adds the batch's files, runs it to its end and gives the bus time to deliver.
    void runBatch(Batch batch, DesktopNotifier& notifier) {
        controller->setNotifier(&notifier);
        QStringList files{
            makeVideoClip(QDir(dir.path()), "good.avi", batch == Batch::Cancelled ? 60 : 2)};
        if (batch == Batch::WithFailure) {
            files << dir.filePath("bad.avi");
            writeFile(files.last(), QByteArray(4096, 'q'));
        }
        QSignalSpy probed(form->sourceListModel(), &SourceListModel::probingFinished);
        form->sourceList()->addFiles(files);
        ASSERT_TRUE(probed.count() > 0 || probed.wait(30000));
        form->profileChooser()->selectPosition(41);
        BatchRun& run = controller->run();
        if (batch == Batch::Cancelled) {
            QObject::connect(&run, &BatchRun::trackProgressChanged, form.get(), [this](int v) {
                if (v > 10)
                    form->runPanel()->cancelButton()->click();
            });
        }
        QSignalSpy finished(&run, &BatchRun::finished);
        Q_EMIT form->convertRequested();
        ASSERT_TRUE(finished.wait(120000));
        QTest::qWait(300);
    }

    void activateWindow() {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    PrivateSessionBus bus;
};

class BatchNotifications : public BatchWindow,
                           public ::testing::WithParamInterface<NotificationCase> {};

QStringList g_printed;

} // namespace

TEST_P(BatchNotifications, TheOutcomeIsToldOnlyWhenTheWindowIsNotActiveAndNotForACancel) {
    const NotificationCase& c = GetParam();
    FakeNotificationServer server(bus.connect(QStringLiteral("server")), true);
    ASSERT_TRUE(server.registered());
    LauncherSignals launcher(bus.connect(QStringLiteral("dock")));
    DesktopNotifier notifier(bus.connect(QStringLiteral("client")));
    if (c.windowActive)
        activateWindow();
    runBatch(c.batch, notifier);

    if (c.expectedBody) {
        ASSERT_EQ(server.calls().size(), 1u);
        EXPECT_EQ(server.calls()[0].body, QLatin1String(c.expectedBody));
        EXPECT_EQ(server.calls()[0].summary, QStringLiteral("Mirelo Video Converter"));
        EXPECT_EQ(server.calls()[0].actions,
                  (QStringList{QStringLiteral("open-folder"), QStringLiteral("Open folder")}));
    } else {
        EXPECT_TRUE(server.calls().empty());
    }
    // The launcher showed the batch's progress and hides it at the end, whatever the end.
    ASSERT_FALSE(launcher.updates.empty());
    EXPECT_TRUE(launcher.updates.front().properties.value("progress-visible").toBool());
    EXPECT_FALSE(launcher.updates.back().properties.value("progress-visible").toBool());
}

INSTANTIATE_TEST_SUITE_P(
    Batches, BatchNotifications,
    ::testing::Values(NotificationCase{"Clean", Batch::Clean, false, "1 file converted"},
                      NotificationCase{"WithAFailedRow", Batch::WithFailure, false,
                                       "1 of 2 files converted, 1 failed"},
                      NotificationCase{"Cancelled", Batch::Cancelled, false, nullptr},
                      NotificationCase{"WhileTheWindowIsActive", Batch::Clean, true, nullptr}),
    [](const ::testing::TestParamInfo<NotificationCase>& info) { return info.param.name; });

// No notification service on the bus: the batch ends as usual and nothing is printed.
TEST_F(BatchWindow, WithoutANotificationServerNothingHappens) {
    DesktopNotifier notifier(bus.connect(QStringLiteral("client")));
    g_printed.clear();
    const QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
            if (text.contains(QStringLiteral("bus"), Qt::CaseInsensitive) ||
                text.contains(QStringLiteral("Notif")))
                g_printed << text;
        });
    runBatch(Batch::Clean, notifier);
    qInstallMessageHandler(previous);
    EXPECT_EQ(form->sourceListModel()->at(0).status.state, RowState::Done);
    EXPECT_TRUE(g_printed.isEmpty()) << g_printed.join(u'\n').toStdString();
}
