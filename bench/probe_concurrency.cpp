// Probing 40 clips: concurrent probes (one per core) against one probe at a time, same run.

#include "base/ToolLocator.h"
#include "probe/ProbeQueue.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <cstdio>

namespace {

constexpr int kClips = 40;

bool generateClip(const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                  QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                  QStringLiteral("testsrc=d=2:s=160x120:r=10"), QStringLiteral("-f"),
                  QStringLiteral("lavfi"), QStringLiteral("-i"), QStringLiteral("sine=d=2"),
                  QStringLiteral("-shortest"), path});
    return ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
}

// Probes every file with at most `concurrent` probes at once; milliseconds taken.
qint64 probeAll(const QStringList& files, int concurrent, int* recognized) {
    mirelo::ProbeQueue queue;
    queue.setMaxConcurrent(concurrent);
    *recognized = 0;
    QObject::connect(&queue, &mirelo::ProbeQueue::probed, &queue,
                     [recognized](quint64, const QString&, const mirelo::MediaInfo& info) {
                         *recognized += info.width == 160 ? 1 : 0;
                     });
    QEventLoop loop;
    QObject::connect(&queue, &mirelo::ProbeQueue::idle, &loop, &QEventLoop::quit);
    QElapsedTimer timer;
    timer.start();
    for (const QString& f : files)
        queue.enqueue(f);
    loop.exec();
    return timer.elapsed();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    if (mirelo::locatePlayer().isEmpty()) {
        std::fprintf(stderr, "bench: the media player program \"mplayer\" was not found\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString first = QDir(dir.path()).filePath(QStringLiteral("clip00.avi"));
    if (!generateClip(first)) {
        std::fprintf(stderr, "bench: ffmpeg could not generate %s\n", qPrintable(first));
        return 1;
    }
    QStringList files{first};
    for (int i = 1; i < kClips; ++i) {
        const QString copy =
            QDir(dir.path()).filePath(QStringLiteral("clip%1.avi").arg(i, 2, 10, QLatin1Char('0')));
        QFile::copy(first, copy);
        files << copy;
    }
    const int cores = std::max(1, QThread::idealThreadCount());
    int okSerial = 0;
    int okConcurrent = 0;
    const qint64 serial = probeAll(files, 1, &okSerial);
    const qint64 concurrent = probeAll(files, cores, &okConcurrent);
    out << "probe " << kClips << " clips, one at a time:      " << serial << " ms (" << okSerial
        << " probed)\n";
    out << "probe " << kClips << " clips, " << cores << " at once (cores): " << concurrent
        << " ms (" << okConcurrent << " probed)\n";
    out << "ratio one-at-a-time / concurrent: "
        << QString::number(double(serial) / double(std::max<qint64>(1, concurrent)), 'f', 2)
        << "\n";
    return okSerial == kClips && okConcurrent == kClips ? 0 : 1;
}
