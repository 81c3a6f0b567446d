// Files a file manager hands the desktop program ("Open with") by their bytes.

#include "common/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <unistd.h>

using namespace mirelo::test;

namespace {

// The private folders of links the program has made in `tmp`.
QList<QByteArray> linkFolders(const QByteArray& tmp) {
    QList<QByteArray> folders;
    for (const QByteArray& name : namesIn(tmp))
        if (name.startsWith("mirelo-names-"))
            folders += tmp + '/' + name;
    return folders;
}

QByteArray linkTarget(const QByteArray& link) {
    char target[PATH_MAX];
    const ssize_t length = ::readlink(link.constData(), target, sizeof target);
    return length < 0 ? QByteArray() : QByteArray(target, length);
}

} // namespace

// A name that is not UTF-8 is read through a link with a text name, in a private folder that
// lives as long as the program: a signal that ends it removes the folder too.
TEST(OpenWith, ANameThatIsNotUtf8IsReadThroughALinkUntilTheProgramEnds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const ByteNamesCleaner cleaner(dir.path());
    for (const char* folder : {"home", "tmp", "logs"})
        ASSERT_TRUE(QDir(dir.path()).mkpath(QLatin1String(folder)));
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray input = base + "/bad\xff\xfe.avi";
    FILE* f = std::fopen(input.constData(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("not a video", f);
    std::fclose(f);

    const QString home = dir.filePath(QStringLiteral("home"));
    ByteProcess program(
        {QFile::encodeName(appDir()) + "/mirelo-video-converter", input},
        dir.filePath(QStringLiteral("logs")), dir.filePath(QStringLiteral("tmp")),
        {QStringLiteral("QT_QPA_PLATFORM=offscreen"), QStringLiteral("HOME=") + home,
         QStringLiteral("XDG_CONFIG_HOME=") + home + QStringLiteral("/.config"),
         QStringLiteral("XDG_DATA_HOME=") + home + QStringLiteral("/.local/share")});
    ASSERT_GT(program.pid(), 0);
    QElapsedTimer clock;
    clock.start();
    while (linkFolders(base + "/tmp").isEmpty() && clock.elapsed() < 30000)
        QThread::msleep(50);
    const QList<QByteArray> folders = linkFolders(base + "/tmp");
    ASSERT_EQ(folders.size(), 1);
    EXPECT_EQ(namesIn(folders[0] + "/1"), QList<QByteArray>{"bad\\xff\\xfe.avi"});
    EXPECT_EQ(linkTarget(folders[0] + "/1/bad\\xff\\xfe.avi"), input);

    ::kill(program.pid(), SIGTERM);
    const ByteRun ended = program.wait();
    EXPECT_EQ(ended.exitCode, 128 + SIGTERM) << ended.err.constData();
    EXPECT_TRUE(linkFolders(base + "/tmp").isEmpty());
    EXPECT_EQ(readBytePath(input), "not a video");
}
