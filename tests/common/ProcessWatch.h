#pragma once

// Looks at other processes through /proc: whether one is gone, which children one has.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QThread>

#include <csignal>
#include <sys/types.h>

namespace mirelo::test {

// The state letter and parent of a process from /proc/PID/stat; state 0 when there is none.
struct ProcessStat {
    char state = 0;
    qint64 parent = 0;
};

inline ProcessStat readStat(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = f.readAll();
    // "PID (COMMAND) STATE PPID ...": the command may hold blanks and parentheses.
    const qsizetype close = line.lastIndexOf(')');
    const QList<QByteArray> rest = line.mid(close + 2).split(' ');
    if (close < 0 || rest.size() < 2)
        return {};
    return {rest[0].isEmpty() ? char(0) : rest[0][0], rest[1].toLongLong()};
}

// Gone: no such process, or a zombie nobody needs any more.
inline bool processGone(qint64 pid) {
    if (pid <= 0)
        return true;
    if (::kill(pid_t(pid), 0) != 0)
        return true;
    const char state = readStat(pid).state;
    return state == 0 || state == 'Z' || state == 'X';
}

// Tests may block: polls until the process is gone or the time is up.
inline bool waitUntilGone(qint64 pid, int timeoutMs = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!processGone(pid)) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(20);
    }
    return true;
}

// Whether the process has a handler for the signal ("SigCgt" of /proc/PID/status): until then a
// signal would end it without the product's own clean-up.
inline bool catchesSignal(qint64 pid, int signalNumber) {
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (!line.startsWith("SigCgt:"))
            continue;
        bool ok = false;
        const quint64 mask = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (mask >> (signalNumber - 1)) & 1;
    }
    return false;
}

// The running children of a process.
inline QList<qint64> childrenOf(qint64 parent) {
    QList<qint64> children;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (number && readStat(pid).parent == parent && !processGone(pid))
            children += pid;
    }
    return children;
}

} // namespace mirelo::test
