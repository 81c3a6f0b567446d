#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace mirelo::bench {

// Runs a program to its end (benchmarks may block); returns the wall time in seconds, or -1.
inline double timedRun(const QString& program, const QStringList& args) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), qPrintable(args.join(' ')));
        return -1;
    }
    return t.elapsed() / 1000.0;
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

inline bool makeClip(const QStringList& args) {
    return timedRun(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + args) >= 0;
}

} // namespace mirelo::bench
