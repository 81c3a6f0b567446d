#include "platform/CpuLoad.h"

#include "base/CoreCount.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <unistd.h>

namespace mirelo {

namespace {

// /proc files report a size of 0: read until the end.
QByteArray readProcFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

double ticksPerSecond() {
    const long hz = ::sysconf(_SC_CLK_TCK);
    return hz > 0 ? double(hz) : 100.0;
}

// The first line of /proc/stat: "cpu  user nice system idle iowait irq softirq steal ...".
void readMachine(CpuSample& s, int cores) {
    const QByteArray stat = readProcFile(QStringLiteral("/proc/stat"));
    const QList<QByteArray> fields = stat.left(stat.indexOf('\n')).simplified().split(' ');
    if (fields.size() < 5 || fields[0] != "cpu")
        return;
    double total = 0, idle = 0;
    // Guest time is already counted in user time.
    for (qsizetype i = 1; i < fields.size() && i <= 8; ++i) {
        const double v = fields[i].toDouble();
        total += v;
        if (i == 4 || i == 5) // idle, iowait
            idle += v;
    }
    s.wallSeconds = total / ticksPerSecond() / cores;
    s.busyCoreSeconds = (total - idle) / ticksPerSecond();
}

// Fields after the command name in /proc/PID/stat: state is [0], utime [11], stime [12],
// cutime [13], cstime [14]. The name may hold spaces and parentheses: it ends at the last ")".
double processTicks(const QByteArray& stat, bool withWaitedChildren) {
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> f = stat.mid(close + 2).split(' ');
    if (f.size() < 15)
        return 0;
    double ticks = f[11].toDouble() + f[12].toDouble();
    if (withWaitedChildren)
        ticks += f[13].toDouble() + f[14].toDouble();
    return ticks;
}

// This process, the children it has waited for, and the children still running (listed by the
// thread that started them).
void readOwn(CpuSample& s) {
    double ticks = processTicks(readProcFile(QStringLiteral("/proc/self/stat")), true);
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray children =
            readProcFile(tasks.filePath(task + QStringLiteral("/children")));
        for (const QByteArray& pid : children.simplified().split(' '))
            if (!pid.isEmpty())
                ticks += processTicks(
                    readProcFile(QStringLiteral("/proc/%1/stat").arg(QString::fromLatin1(pid))),
                    false);
    }
    s.ownCoreSeconds = ticks / ticksPerSecond();
}

void readMemory(CpuSample& s) {
    const QByteArray info = readProcFile(QStringLiteral("/proc/meminfo"));
    for (const QByteArray& line : info.split('\n')) {
        if (!line.startsWith("MemAvailable:"))
            continue;
        bool ok = false;
        const qint64 kb = line.mid(13).simplified().split(' ').value(0).toLongLong(&ok);
        if (ok)
            s.memAvailableBytes = kb * 1024;
    }
}

} // namespace

int ProcCpuLoad::cores() const {
    return coreCount();
}

CpuSample ProcCpuLoad::sample() {
    CpuSample s;
    readMachine(s, cores());
    readOwn(s);
    readMemory(s);
    return s;
}

} // namespace mirelo
