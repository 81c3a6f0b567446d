// Files handed to the desktop program on its command line (a file manager's "Open with").

#include "sourcelist/SourceFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mirelo;

TEST(CommandLineFiles, PathsAndFileAddressesBecomeAbsolutePathsOptionsAndWebAddressesDoNot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDir here(dir.path());
    // A real file whose name looks like an address stays a file.
    QFile odd(here.filePath("clip:1.avi"));
    ASSERT_TRUE(odd.open(QIODevice::WriteOnly));
    struct Case {
        QStringList arguments;
        QStringList expected;
    };
    const Case cases[] = {
        {{"a.avi", "sub/../b.mp4"}, {here.filePath("a.avi"), here.filePath("b.mp4")}},
        {{"/media/x y.avi"}, {"/media/x y.avi"}},
        {{"file:///media/x%20y.avi"}, {"/media/x y.avi"}},
        {{"clip:1.avi"}, {here.filePath("clip:1.avi")}},
        {{"https://example.org/v.mp4", "smb://host/v.avi"}, {}},
        {{"-style", "--reverse", "", "a.avi"}, {here.filePath("a.avi")}},
        {{"--", "-dash.avi", "--"}, {here.filePath("-dash.avi"), here.filePath("--")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        EXPECT_EQ(filesFromCommandLine(c.arguments, dir.path()), c.expected);
    }
}
