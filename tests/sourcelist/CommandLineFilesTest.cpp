// Files handed to the desktop program on its command line (a file manager's "Open with") or
// dropped on its list as an address list.

#include "base/ByteNames.h"
#include "common/TestSupport.h"
#include "sourcelist/SourceFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mirelo;
using namespace mirelo::test;

namespace {

QList<QByteArray> bytesOf(const QStringList& arguments) {
    QList<QByteArray> bytes;
    for (const QString& a : arguments)
        bytes += a.toUtf8();
    return bytes;
}

} // namespace

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
        StandInLinks links;
        QStringList problems;
        EXPECT_EQ(filesFromCommandLine(bytesOf(c.arguments), dir.path(), links, &problems),
                  c.expected);
        EXPECT_TRUE(problems.isEmpty());
        EXPECT_TRUE(links.folder().isEmpty()); // text names need no link
    }
}

// A name that is not UTF-8 reaches the list as a link to it, in its place among the others.
TEST(CommandLineFiles, NamesThatAreNotUtf8BecomeLinksToTheFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const ByteNamesCleaner cleaner(dir.path());
    const QByteArray here = QFile::encodeName(dir.path());
    for (const QByteArray name : {"bad\xff\xfe.avi", "-d\xe9.avi", "a.avi"}) {
        const QByteArray path = here + '/' + name;
        FILE* f = std::fopen(path.constData(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs(name.constData(), f);
        std::fclose(f);
    }
    struct Case {
        const char* name;
        QList<QByteArray> arguments;
        QList<QByteArray> expected; // a byte path: a link to it; else the text path itself
    };
    const Case cases[] = {
        {"relative", {"bad\xff\xfe.avi"}, {here + "/bad\xff\xfe.avi"}},
        {"absolute, between text names",
         {"a.avi", here + "/bad\xff\xfe.avi", "a.avi"},
         {here + "/a.avi", here + "/bad\xff\xfe.avi", here + "/a.avi"}},
        {"an option, then a file after \"--\"",
         {"-d\xe9.avi", "--", "-d\xe9.avi"},
         {here + "/-d\xe9.avi"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInLinks links;
        QStringList problems;
        const QStringList files = filesFromCommandLine(c.arguments, dir.path(), links, &problems);
        EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
        ASSERT_EQ(files.size(), c.expected.size());
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QByteArray& expected = c.expected[i];
            EXPECT_FALSE(files[i].contains(QChar::ReplacementCharacter));
            if (isUtf8(expected)) {
                EXPECT_EQ(files[i], QString::fromUtf8(expected));
                continue;
            }
            ASSERT_TRUE(links.isStandIn(files[i])) << files[i].toStdString();
            EXPECT_EQ(*links.target(files[i]), expected);
            EXPECT_EQ(links.visible(files[i]), visibleName(expected));
            // The link opens the file itself.
            EXPECT_EQ(readFile(files[i]), expected.mid(expected.lastIndexOf('/') + 1));
        }
    }
}

// A link that cannot be made leaves the file out, with a line naming it.
TEST(CommandLineFiles, AFileThatCannotBeLinkedIsNamedInAProblem) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A file where the private folder should go: no folder can be made in it.
    writeFile(dir.filePath("file"), "x");
    const QByteArray tmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(dir.filePath("file")));
    StandInLinks links;
    QStringList problems;
    const QStringList files =
        filesFromCommandLine({"a.avi", "/x/bad\xff.avi"}, dir.path(), links, &problems);
    tmp.isNull() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", tmp);
    EXPECT_EQ(files, QStringList{dir.filePath("a.avi")});
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].contains("/x/bad\\xff.avi")) << problems[0].toStdString();
}

// A drop's address list: file addresses of this machine, their escapes taken as the name's bytes.
TEST(DroppedFiles, FileAddressesBecomePathsAndNamesThatAreNotUtf8BecomeLinks) {
    struct Case {
        const char* name;
        QByteArray uriList;
        QList<QByteArray> expected; // a byte path: a link to it; else the text path itself
    };
    const Case cases[] = {
        {"text names, CRLF lines and a comment",
         "# from a file manager\r\nfile:///v/a%20b.avi\r\nfile://localhost/v/c.avi\r\n",
         {"/v/a b.avi", "/v/c.avi"}},
        {"UTF-8 escapes", "file:///v/caf%C3%A9.avi\n", {"/v/caf\xc3\xa9.avi"}},
        {"a name that is not UTF-8, between text names",
         "file:///v/a.avi\nfile:///v/bad%FF%FE.avi\nfile:/v/b.avi",
         {"/v/a.avi", "/v/bad\xff\xfe.avi", "/v/b.avi"}},
        {"other machines and schemes", "file://host/v/a.avi\nhttps://example.org/v.mp4\n", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandInLinks links;
        QStringList problems;
        const QStringList files = filesFromUriList(c.uriList, links, &problems);
        EXPECT_TRUE(problems.isEmpty()) << problems.join('\n').toStdString();
        ASSERT_EQ(files.size(), c.expected.size());
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QByteArray& expected = c.expected[i];
            if (isUtf8(expected)) {
                EXPECT_EQ(files[i], QString::fromUtf8(expected));
                continue;
            }
            ASSERT_TRUE(links.isStandIn(files[i])) << files[i].toStdString();
            EXPECT_EQ(*links.target(files[i]), expected);
            EXPECT_TRUE(files[i].endsWith("bad\\xff\\xfe.avi")) << files[i].toStdString();
        }
    }
}
