#include "settings/ui/SettingsWarnings.h"

#include "app/MainWindow.h"
#include "base/IniFile.h"
#include "common/TestSupport.h"
#include "settings/AppPaths.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace mirelo;

namespace {

// Should a read block on the FIFO, this gives it an end of file after a while, so the test
// fails on the time taken instead of hanging.
class FifoWatchdog {
public:
    explicit FifoWatchdog(const QString& fifo)
        : m_fifo(QFile::encodeName(fifo)), m_thread([this] { run(); }) {}
    ~FifoWatchdog() {
        {
            const std::lock_guard lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        if (!m_wake.wait_for(lock, std::chrono::seconds(10), [this] { return m_done; }))
            ::close(::open(m_fifo.constData(), O_WRONLY | O_NONBLOCK));
    }

    QByteArray m_fifo;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};

QList<QMessageBox*> problemBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w);
            box && box->objectName() == QLatin1String("settingsProblem") && box->isVisible())
            boxes << box;
    return boxes;
}

// A settings.dat that is a FIFO neither holds up the main window nor goes unnoticed: the window
// opens with the defaults and a warning names the file, once.
TEST(SettingsWarnings, AFileThatIsNotReadIsNamedInAWarningOnceTheWindowIsUp) {
    QTemporaryDir dir;
    const QString settings = dir.filePath(QStringLiteral("settings.dat"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(settings).constData(), 0600), 0);
    showSettingsProblemsAsWarnings();

    QElapsedTimer clock;
    clock.start();
    {
        const FifoWatchdog watchdog(settings);
        MainWindow window(
            AppPaths{test::appDir(), settings,
                     QDir(test::appDir()).filePath(QStringLiteral("skins/frmmain.skn"))});
        window.show();
        EXPECT_LT(clock.elapsed(), 5000) << "the window waited on the FIFO";
        EXPECT_TRUE(problemBoxes().isEmpty()) << "shown from the event loop, not while building";
        EXPECT_TRUE(QTest::qWaitFor([] { return !problemBoxes().isEmpty(); }, 5000));
        QTest::qWait(50);
        const QList<QMessageBox*> boxes = problemBoxes();
        ASSERT_EQ(boxes.size(), 1);
        EXPECT_TRUE(boxes[0]->text().contains(settings)) << boxes[0]->text().toStdString();
        EXPECT_FALSE(boxes[0]->isModal());
        EXPECT_EQ(boxes[0]->icon(), QMessageBox::Warning);
        boxes[0]->close();
        window.close();
    }
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(settings).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode)) << "left as it was";
    setIniProblemReporter({});
}

} // namespace
