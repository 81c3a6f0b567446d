#pragma once

#include <QDir>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace mirelo::test {

// Generates a small clip with ffmpeg's lavfi sources; fails the test when ffmpeg does.
inline QString makeClip(const QDir& dir, const QString& name, const QStringList& lavfiArgs) {
    const QString path = dir.filePath(name);
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y")};
    args << lavfiArgs << path;
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), args);
    const bool ok = ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0;
    EXPECT_TRUE(ok) << "ffmpeg could not make " << name.toStdString() << ": "
                    << ffmpeg.readAllStandardError().toStdString();
    return path;
}

// Video 160x120 (or the given size) with a sine sound track, `seconds` long.
inline QString makeVideoClip(const QDir& dir, const QString& name, int seconds = 2,
                             const QString& size = QStringLiteral("160x120")) {
    return makeClip(dir, name,
                    {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc=d=%1:s=%2:r=10").arg(seconds).arg(size),
                     QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("sine=d=%1").arg(seconds), QStringLiteral("-shortest")});
}

inline QString makeAudioClip(const QDir& dir, const QString& name, int seconds = 3) {
    return makeClip(dir, name,
                    {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("sine=d=%1").arg(seconds)});
}

} // namespace mirelo::test
