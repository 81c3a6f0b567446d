// The main window's responsiveness: the longest stall of its event loop (the worst lateness of a
// 5 ms timer, and the processor time the window's thread spent in that stretch) on the offscreen
// platform while 300 files are added and probed, while a batch converts, and while a download
// from a server on 127.0.0.1 runs. The product's own work must stay under 50 ms; the lateness
// equals it on an idle machine and grows with other load.

#include "BenchSupport.h"

#include "app/ConversionController.h"
#include "app/MainWindow.h"
#include "app/ProfileChooser.h"
#include "app/RunPanel.h"
#include "onlineimport/StreamDownload.h"
#include "onlineimport/Transfer.h"
#include "platform/FolderOpener.h"
#include "platform/MessageSink.h"
#include "platform/PowerService.h"
#include "settings/AppPaths.h"
#include "settings/AppSettings.h"
#include "sourcelist/SourceListModel.h"
#include "sourcelist/ui/SourceListView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>

#include <ctime>

using namespace mirelo;
using namespace mirelo::bench;

namespace {

constexpr int kListedFiles = 300;
constexpr int kConvertedFiles = 6;
constexpr int kProfile = 41; // Creative Zen AVI: mpeg4 and mp3
constexpr qint64 kStreamBytes = 200LL * 1024 * 1024;
constexpr int kTickMs = 5;
constexpr int kBudgetMs = 50;

// Milliseconds of processor time the calling thread has used.
double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

struct Stall {
    qint64 wallMs = 0; // the worst lateness of the 5 ms timer, whatever held it up
    double busyMs = 0; // the most processor time the window's thread spent between two ticks
};

// Between start() and stop(): how long the window's loop could not answer. On a machine shared
// with other work the lateness also counts time the thread waited for a processor; the busy time
// is the product's own share.
class StallMeter : public QObject {
public:
    void start() {
        m_worst = {};
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(kTickMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double cpu = threadCpuMs();
            m_worst.wallMs = std::max(m_worst.wallMs, m_sinceTick.restart() - kTickMs);
            m_worst.busyMs = std::max(m_worst.busyMs, cpu - m_cpuAtTick);
            m_cpuAtTick = cpu;
        });
        m_sinceTick.start();
        m_cpuAtTick = threadCpuMs();
        m_timer.start();
    }
    Stall stop() {
        m_timer.stop();
        m_timer.disconnect(this);
        return m_worst;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceTick;
    double m_cpuAtTick = 0;
    Stall m_worst;
};

// The run's edges, kept quiet: no sleep lock, no file manager, no message boxes.
class QuietPlatform : public PowerService, public FolderOpener, public MessageSink {
public:
    void inhibitSleep(const QString&) override {}
    void releaseSleep() override {}
    void requestPowerOff() override {}
    void openFolder(const QString&) override {}
    void showError(const QString& text) override { errors << text; }
    void showWarning(const QString& text, const QString&) override { errors << text; }
    void showInformation(const QString&) override {}
    QStringList errors;
};

template <typename Sender, typename Signal> void waitFor(Sender* sender, Signal signal) {
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, &QEventLoop::quit);
    loop.exec();
}

Stall addAndProbe(MainWindow& window, const QStringList& files) {
    StallMeter meter;
    meter.start();
    window.sourceList()->addFiles(files);
    waitFor(window.sourceListModel(), &SourceListModel::probingFinished);
    return meter.stop();
}

Stall convert(MainWindow& window, QuietPlatform& platform, const QStringList& files) {
    auto* controller = window.findChild<ConversionController*>();
    controller->setPlatform(&platform, &platform, &platform);
    window.sourceList()->clearAll();
    for (const QString& file : files)
        window.sourceListModel()->addClip(file, 0, std::nullopt);
    window.profileChooser()->selectPosition(kProfile);
    StallMeter meter;
    meter.start();
    QEventLoop loop;
    QObject::connect(&controller->run(), &BatchRun::finished, &loop, &QEventLoop::quit);
    Q_EMIT window.convertRequested();
    loop.exec();
    return meter.stop();
}

Stall download(MainWindow& window, const QString& url, const QString& target, bool* ok) {
    Transfer transfer;
    StreamDownload stream(transfer);
    QProgressBar* bar = window.runPanel()->trackProgress();
    QObject::connect(&stream, &StreamDownload::progress, bar, &QProgressBar::setValue);
    QObject::connect(&stream, &StreamDownload::finished, [ok](bool done) { *ok = done; });
    window.runPanel()->show();
    StallMeter meter;
    meter.start();
    QEventLoop loop;
    QObject::connect(&stream, &StreamDownload::finished, &loop, &QEventLoop::quit);
    if (!stream.start(url, target)) {
        std::fprintf(stderr, "bench: download did not start: %s\n",
                     qPrintable(stream.errorString()));
        return {-1, -1};
    }
    loop.exec();
    window.runPanel()->hide();
    return meter.stop();
}

bool within(const Stall& s) {
    return s.busyMs >= 0 && s.busyMs < kBudgetMs;
}

void report(const char* what, const Stall& s) {
    std::printf("%-36s %6lld ms %9.1f ms   %s\n", what, static_cast<long long>(s.wallMs), s.busyMs,
                within(s) ? "ok" : "OVER 50 ms");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QDir work(dir.path());
    const QString clip = work.filePath(QStringLiteral("clip.avi"));
    if (!makeClip({"-f", "lavfi", "-i", "testsrc=d=2:s=320x240:r=25", "-f", "lavfi", "-i",
                   "sine=d=2", "-shortest", clip}))
        return 1;
    QStringList listed;
    for (int i = 0; i < kListedFiles; ++i) {
        listed << work.filePath(QStringLiteral("clip %1.avi").arg(i, 3, 10, QLatin1Char('0')));
        if (!QFile::copy(clip, listed.back()))
            return 1;
    }
    const QString output = work.filePath(QStringLiteral("out"));
    QDir().mkpath(output);

    // The program's own application folder (skin, icons), settings of this run's own.
    AppPaths paths = AppPaths::inFolder(dir.path());
    paths.appFolder = QFileInfo(QStringLiteral(MIRELO_CLI_PATH)).absolutePath();
    paths.skinFile = QDir(paths.appFolder).filePath(QStringLiteral("skins/frmmain.skn"));
    AppSettings(paths.settingsFile, paths.appFolder).setOutputFolder(output);
    MainWindow window(paths);
    window.resize(1024, 700);
    window.show();
    QuietPlatform platform;

    LoopbackServer server(kStreamBytes);
    if (!server.listen())
        return 1;
    bool downloaded = false;
    const Stall probing = addAndProbe(window, listed);
    const Stall converting = convert(window, platform, listed.mid(0, kConvertedFiles));
    const Stall downloading = download(window, server.url("/stream.mp4"),
                                       work.filePath(QStringLiteral("stream.mp4")), &downloaded);

    std::printf("Longest stall of the main window's event loop      lateness   own work\n");
    report("adding and probing 300 files", probing);
    report("converting 6 files", converting);
    report("downloading 200 MB from 127.0.0.1", downloading);
    const int converted = int(QDir(output).entryList(QDir::Files).size());
    if (!platform.errors.isEmpty() || converted != kConvertedFiles || !downloaded) {
        std::fprintf(stderr, "bench: the work itself failed (%d of %d converted, download %s) %s\n",
                     converted, kConvertedFiles, downloaded ? "ok" : "failed",
                     qPrintable(platform.errors.join(QLatin1Char('\n'))));
        return 1;
    }
    return within(probing) && within(converting) && within(downloading) ? 0 : 2;
}
