#include "capture/CaptureFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace mirelo {
namespace {

TEST(CaptureFolder, IsMadeWhenMissingOrSaysWhyItCannotBe) {
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("there")));
    QFile blocker(dir.filePath(QStringLiteral("a file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const struct {
        const char* file; // relative to the temporary folder
        const char* folder;
        const char* reason; // nullptr: usable
    } cases[] = {
        {"there/capture.avi", "there", nullptr},
        {"new/capture.avi", "new", nullptr},
        {"new/deeper/still/capture.avi", "new/deeper/still", nullptr},
        {"a file/capture.avi", "a file", "is a file, not a folder"},
        {"a file/below/capture.avi", "a file/below", "is a file, not a folder"},
    };
    for (const auto& c : cases) {
        const QString file = dir.filePath(QString::fromUtf8(c.file));
        const QString folder = dir.filePath(QString::fromUtf8(c.folder));
        const QString problem = prepareCaptureFolder(QDir::toNativeSeparators(file));
        if (!c.reason) {
            EXPECT_TRUE(problem.isEmpty()) << c.file << ": " << problem.toStdString();
            EXPECT_TRUE(QFileInfo(folder).isDir()) << c.file;
            continue;
        }
        EXPECT_TRUE(problem.contains(QDir::toNativeSeparators(folder))) << problem.toStdString();
        EXPECT_TRUE(problem.contains(QLatin1String(c.reason))) << problem.toStdString();
        EXPECT_FALSE(QFileInfo(folder).isDir()) << c.file;
    }
}

} // namespace
} // namespace mirelo
