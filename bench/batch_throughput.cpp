// Batch throughput: eight clips converted by `mirelo-cli convert` one at a time (--jobs 1) and
// with as many at once as the machine has idle cores for (--jobs auto), alternating, for an
// encoder that keeps about one core busy and for one that keeps every core busy.

#include "BenchSupport.h"

#include "base/CoreCount.h"
#include "settings/SimultaneousJobs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

using namespace mirelo;
using namespace mirelo::bench;

namespace {

constexpr int kClips = 8;
constexpr int kPairs = 3;

double childCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

QString loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(' ', 0, 2)
                                       : QStringLiteral("?");
}

QStringList makeClips(const QString& folder) {
    const QString first = QDir(folder).filePath(QStringLiteral("clip1.avi"));
    if (!makeClip({"-f", "lavfi", "-i", "testsrc=d=20:s=640x480:r=25", "-f", "lavfi", "-i",
                   "sine=d=20", "-c:v", "mpeg4", "-q:v", "3", "-c:a", "libmp3lame", first}))
        return {};
    QStringList clips{first};
    for (int i = 2; i <= kClips; ++i) {
        clips << QDir(folder).filePath(QStringLiteral("clip%1.avi").arg(i));
        QFile::copy(first, clips.last());
    }
    return clips;
}

struct Run {
    double wall = -1;
    double cpu = 0;
    int mostAtOnce = 0;
};

// mirelo-cli prints "[i/N] Progress...." as a file starts and "[i/N] OK" as it ends.
int mostAtOnce(const QByteArray& progress) {
    int running = 0, most = 0;
    for (const QByteArray& line : progress.split('\n')) {
        if (!line.startsWith('['))
            continue;
        running += line.contains("] Progress....") ? 1 : -1;
        most = std::max(most, running);
    }
    return most;
}

// Like timedRun(), keeping what the program prints on stderr.
double timedRunWithProgress(const QStringList& args, QByteArray* progress) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral(MIRELO_CLI_PATH), args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "mirelo-cli failed: %s\n", qPrintable(args.join(' ')));
        return -1;
    }
    *progress = p.readAllStandardError();
    return t.elapsed() / 1000.0;
}

Run convert(const QStringList& clips, int profile, const char* jobs, const QString& folder) {
    const QStringList args =
        QStringList{"convert"} + clips + QStringList{"--profile",       QString::number(profile),
                                                     "--output-folder", folder,
                                                     "--existing",      "overwrite",
                                                     "--jobs",          jobs};
    const double cpu0 = childCpuSeconds();
    Run r;
    QByteArray progress;
    r.wall = timedRunWithProgress(args, &progress);
    r.cpu = childCpuSeconds() - cpu0;
    r.mostAtOnce = mostAtOnce(progress);
    return r;
}

double utilisation(const Run& r) {
    return r.wall > 0 ? r.cpu / r.wall / coreCount() : 0;
}

// Pairs alternate which side goes first, so a slow spell of the machine hits both alike.
bool measure(const QStringList& clips, int profile, const char* name, double limit,
             const QString& folder) {
    std::vector<double> ratios;
    for (int i = 0; i < kPairs; ++i) {
        const bool oneFirst = i % 2 == 0;
        const Run first = convert(clips, profile, oneFirst ? "1" : "auto", folder);
        const Run second = convert(clips, profile, oneFirst ? "auto" : "1", folder);
        const Run& one = oneFirst ? first : second;
        const Run& automatic = oneFirst ? second : first;
        if (one.wall <= 0 || automatic.wall <= 0)
            return false;
        ratios.push_back(one.wall / automatic.wall);
        std::printf("profile %d pair %d: --jobs 1 %.1f s (CPU utilisation %.2f), --jobs auto "
                    "%.1f s (CPU utilisation %.2f, at most %d files at once), load average %s\n",
                    profile, i + 1, one.wall, utilisation(one), automatic.wall,
                    utilisation(automatic), automatic.mostAtOnce, qPrintable(loadAverage()));
        std::fflush(stdout);
    }
    std::printf("profile %d (%s): wall time --jobs 1 / --jobs auto = %.2f (median of %d pairs, "
                "limit %.2f)\n",
                profile, name, median(ratios), kPairs, limit);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QStringList clips = makeClips(dir.path());
    if (clips.isEmpty())
        return 1;
    const QString folder = QDir(dir.path()).filePath(QStringLiteral("out"));
    QDir().mkpath(folder);
    std::printf("%d clips of 20 s, 640x480 with sound; %d cores; load average %s\n", kClips,
                coreCount(), qPrintable(loadAverage()));
    const bool ok =
        measure(clips, 2, "MPEG-4", 1.7, folder) && measure(clips, 9, "libx264", 0.97, folder);
    return ok ? 0 : 1;
}
