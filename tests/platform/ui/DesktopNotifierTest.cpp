// Notifications and launcher progress against a private session bus and a recording server.

#include "platform/ui/DesktopNotifier.h"
#include "SessionBus.h"
#include "common/TestApplication.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

MIRELO_TEST_APPLICATION(QApplication)

using namespace mirelo;
using namespace mirelo::test;

namespace {

constexpr int kWaitMs = 5000;

class Notifications : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.isUp())
            GTEST_SKIP() << "dbus-daemon is not installed";
    }
    PrivateSessionBus bus;
};

} // namespace

TEST_F(Notifications, NotifyCarriesTheOutcomeAndOffersTheFolderWhereActionsAreShown) {
    struct Case {
        bool serverShowsActions;
        QString folder;
        QStringList expectedActions;
    };
    const Case cases[] = {
        {true,
         QStringLiteral("/tmp/out"),
         {QStringLiteral("open-folder"), QStringLiteral("Open folder")}},
        {false, QStringLiteral("/tmp/out"), {}},
        {true, QString(), {}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(n);
        FakeNotificationServer server(bus.connect(QStringLiteral("server%1").arg(n)),
                                      c.serverShowsActions);
        ASSERT_TRUE(server.registered());
        DesktopNotifier notifier(bus.connect(QStringLiteral("client%1").arg(n)));
        notifier.notify(QStringLiteral("Mirelo Video Converter"),
                        QStringLiteral("3 of 4 files converted, 1 failed"), c.folder);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !server.calls().empty(); }, kWaitMs));
        const NotifyCall& call = server.calls().front();
        EXPECT_EQ(call.body, QStringLiteral("3 of 4 files converted, 1 failed"));
        EXPECT_EQ(call.icon, QStringLiteral("mirelo-video-converter"));
        EXPECT_EQ(call.actions, c.expectedActions);
        QDBusConnection(bus.connect(QStringLiteral("server%1").arg(n)))
            .unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        ++n;
    }
}

TEST_F(Notifications, TheOpenFolderActionOpensTheRunsFolder) {
    FakeNotificationServer server(bus.connect(QStringLiteral("server")), true);
    ASSERT_TRUE(server.registered());
    DesktopNotifier notifier(bus.connect(QStringLiteral("client")));
    QStringList opened;
    notifier.setFolderAction([&](const QString& folder) { opened << folder; });
    notifier.notify(QStringLiteral("t"), QStringLiteral("4 files converted"),
                    QStringLiteral("/videos/out"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.calls().empty(); }, kWaitMs));
    QTest::qWait(100); // the reply with the notification's id reaches the notifier
    server.invokeAction(99, QStringLiteral("open-folder")); // another program's notification
    server.invokeAction(1, QStringLiteral("default"));
    server.invokeAction(1, QStringLiteral("open-folder"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened.isEmpty(); }, kWaitMs));
    QTest::qWait(100);
    EXPECT_EQ(opened, QStringList{QStringLiteral("/videos/out")});
}

QStringList g_printed;

TEST_F(Notifications, NoServerMeansNothingHappensAndNothingIsPrinted) {
    g_printed.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& text) { g_printed << text; });
    {
        DesktopNotifier notifier(bus.connect(QStringLiteral("client")));
        notifier.notify(QStringLiteral("t"), QStringLiteral("4 files converted"),
                        QStringLiteral("/videos/out"));
        notifier.notify(QStringLiteral("t"), QStringLiteral("no action"));
        QTest::qWait(300); // the calls fail on the bus; nothing may come of it
    }
    {
        DesktopNotifier offline(QDBusConnection(QStringLiteral("never-connected")));
        offline.notify(QStringLiteral("t"), QStringLiteral("no bus"), QStringLiteral("/x"));
        offline.setProgress(0.5);
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(g_printed.isEmpty()) << g_printed.join(u'\n').toStdString();
}

TEST_F(Notifications, LauncherProgressIsSentAndCleared) {
    LauncherSignals launcher(bus.connect(QStringLiteral("dock")));
    {
        DesktopNotifier notifier(bus.connect(QStringLiteral("client")));
        notifier.setProgress(0.25);
        notifier.setProgress(0.251); // finer than a launcher shows: not sent again
        notifier.setProgress(0.5);
        notifier.clearProgress();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return launcher.updates.size() >= 3; }, kWaitMs));
    QTest::qWait(100);
    ASSERT_EQ(launcher.updates.size(), 3u);
    EXPECT_EQ(launcher.updates[0].uri, DesktopNotifier::launcherUri());
    EXPECT_DOUBLE_EQ(launcher.updates[0].properties.value("progress").toDouble(), 0.25);
    EXPECT_TRUE(launcher.updates[0].properties.value("progress-visible").toBool());
    EXPECT_DOUBLE_EQ(launcher.updates[1].properties.value("progress").toDouble(), 0.5);
    EXPECT_FALSE(launcher.updates[2].properties.value("progress-visible").toBool());
}
