#include "base/ByteNames.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mirelo;

namespace {

// QFile decodes names as UTF-8: byte names are written and read with the system calls.
void writeBytes(const QByteArray& path, const QByteArray& content) {
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ::close(fd);
}

QByteArray readBytes(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_RDONLY);
    if (fd < 0)
        return "<missing>";
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return QByteArray(buffer, n < 0 ? 0 : qsizetype(n));
}

bool entryExists(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

} // namespace

TEST(ByteNames, InvalidBytesAreShownEscapedAndValidTextAsItIs) {
    const struct {
        QByteArray bytes;
        bool utf8;
        const char* visible;
    } cases[] = {
        {"clip.avi", true, "clip.avi"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xac.avi", true, "caf\u00e9 \u20ac \U0001F3AC.avi"},
        {"\xef\xbf\xbd", true, "\ufffd"}, // a real U+FFFD is text
        {"bad\xff\xfe.avi", false, "bad\\xff\\xfe.avi"},
        {"caf\xe9", false, "caf\\xe9"},
        {"\xc0\xaf", false, "\\xc0\\xaf"},                   // overlong "/"
        {"\xed\xa0\x80", false, "\\xed\\xa0\\x80"},          // a surrogate
        {"\xf4\x90\x80\x80", false, "\\xf4\\x90\\x80\\x80"}, // past U+10FFFF
        {"\xe0\x9f\xbf", false, "\\xe0\\x9f\\xbf"},          // overlong U+07FF
        {"\xe0\x80\xaf", false, "\\xe0\\x80\\xaf"},          // overlong "/" in three
        {"\xf0\x8f\xbf\xbf", false, "\\xf0\\x8f\\xbf\\xbf"}, // overlong U+FFFF
        {"\xf0\x80\x80\xaf", false, "\\xf0\\x80\\x80\\xaf"}, // overlong "/" in four
        {"\xed\xbf\xbf", false, "\\xed\\xbf\\xbf"},          // the last surrogate
        {"\xf4\xbf\xbf\xbf", false, "\\xf4\\xbf\\xbf\\xbf"}, // far past U+10FFFF
        {"\xf5\x80\x80\x80", false, "\\xf5\\x80\\x80\\x80"}, // no code point starts so
        // The edges of those ranges are text.
        {"\xe0\xa0\x80 \xed\x9f\xbf \xee\x80\x80", true, "\u0800 \ud7ff \ue000"},
        {"\xf0\x90\x80\x80 \xf4\x8f\xbf\xbf", true, "\U00010000 \U0010FFFF"},
        {"end\xe2\x82", false, "end\\xe2\\x82"},           // cut short
        {"\xe2\x82x\xc3\xa9", false, "\\xe2\\x82x\u00e9"}, // recovers after a bad sequence
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.visible);
        EXPECT_EQ(isUtf8(c.bytes), c.utf8);
        EXPECT_EQ(visibleName(c.bytes), QString::fromUtf8(c.visible));
        EXPECT_FALSE(visibleName(c.bytes).contains(QChar::ReplacementCharacter) && !c.utf8);
    }
}

TEST(ByteNames, StemStopsAtTheFirstDotAfterLeadingDots) {
    const struct {
        QByteArray name;
        QByteArray stem;
    } cases[] = {
        {"bad\xff\xfe.avi", "bad\xff\xfe"},
        {"show\xff.part1.avi", "show\xff"},
        {"..\xe9t\xe9.avi", "\xe9t\xe9"},
        {"noext\xff", "noext\xff"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(byteStem(c.name), c.stem) << c.name.toHex().constData();
}

// The links open the byte-named files, show their targets' names, and go with the object, leaving
// the targets as they were.
TEST(StandInLinks, LinksOpenTheByteNamedFilesAndGoAwayAfterwards) {
    QTemporaryDir dir;
    const mirelo::test::ByteNamesCleaner cleaner(dir.path());
    const QByteArray base = QFile::encodeName(dir.path());
    const QByteArray folderA = base + "/a", folderB = base + "/b";
    ASSERT_EQ(::mkdir(folderA.constData(), 0700), 0);
    ASSERT_EQ(::mkdir(folderB.constData(), 0700), 0);
    const QByteArray first = folderA + "/bad\xff\xfe.avi";
    const QByteArray second = folderB + "/bad\xff\xfe.avi"; // the same name in another folder
    writeBytes(first, "first");
    writeBytes(second, "second");

    QString folder;
    {
        StandInLinks links;
        QString error;
        const QString one = links.add(first, &error);
        ASSERT_FALSE(one.isEmpty()) << error.toStdString();
        ASSERT_EQ(::chdir(folderB.constData()), 0);
        const QString two = links.add("bad\xff\xfe.avi", &error); // relative to the working folder
        ASSERT_EQ(::chdir("/"), 0);
        ASSERT_FALSE(two.isEmpty()) << error.toStdString();
        folder = links.folder();

        EXPECT_NE(one, two);
        EXPECT_EQ(QFileInfo(one).fileName(), QStringLiteral("bad\\xff\\xfe.avi"));
        QFile f(one), g(two);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly) && g.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), "first");
        EXPECT_EQ(g.readAll(), "second");
        EXPECT_EQ(*links.target(two), second);
        EXPECT_EQ(links.target(dir.path()), nullptr);
        EXPECT_EQ(links.visible(one), visibleName(first));
        EXPECT_EQ(links.visible(QStringLiteral("plain.avi")), QStringLiteral("plain.avi"));
        EXPECT_EQ(links.visibleText(one + QStringLiteral(": Invalid data")),
                  visibleName(first) + QStringLiteral(": Invalid data"));
    }
    EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();
    EXPECT_EQ(readBytes(first), "first");
    EXPECT_EQ(readBytes(second), "second");
}

// A visible name too long for a file name (each bad byte shows as four) still makes a link; it
// loses what follows the stem first, since the stem names the output.
TEST(StandInLinks, AVeryLongByteNameGetsALinkThatFits) {
    const struct {
        QByteArray name;
        const char* linkStart;
    } cases[] = {
        {QByteArray(200, '\xff') + ".avi", "\\xff\\xff"},
        {"clip." + QByteArray(200, '\xff'), "clip."},
        {QByteArray(250, 'a') + '.' + QByteArray(4, '\xff'), "aaaa"},
    };
    QTemporaryDir dir;
    const mirelo::test::ByteNamesCleaner cleaner(dir.path());
    StandInLinks links;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.linkStart);
        const QByteArray path = QFile::encodeName(dir.path()) + '/' + c.name;
        writeBytes(path, c.name.left(8));
        QString error;
        const QString link = links.add(path, &error);
        ASSERT_FALSE(link.isEmpty()) << error.toStdString();
        const QString name = QFileInfo(link).fileName();
        EXPECT_LE(name.toUtf8().size(), 255);
        EXPECT_TRUE(name.startsWith(QString::fromUtf8(c.linkStart))) << name.toStdString();
        if (isUtf8(byteStem(c.name))) {
            EXPECT_TRUE(name.startsWith(QString::fromUtf8(byteStem(c.name) + '.')));
        }
        QFile f(link);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), c.name.left(8));
    }
}

// The naming rules on byte names: "_New" while the name is taken (keep policy), is the input, or
// is an output of this run; overwrite replaces files and links (never what a link points at) but
// not folders.
TEST(ByteOutputName, TakesTheFirstNameTheRulesAllow) {
    enum Existing { Nothing, File, Link, Folder, Input, RunOutput };
    const struct {
        const char* name;
        Existing existing;
        bool overwrite;
        QByteArray expected;
    } cases[] = {
        {"free name", Nothing, false, "bad\xff.mp4"},
        {"taken, keep", File, false, "bad\xff_New.mp4"},
        {"taken, overwrite", File, true, "bad\xff.mp4"},
        {"link there, keep", Link, false, "bad\xff_New.mp4"},
        {"link there, overwrite", Link, true, "bad\xff.mp4"},
        {"folder there, overwrite", Folder, true, "bad\xff_New.mp4"},
        {"the input itself, overwrite", Input, true, "bad\xff_New.mp4"},
        {"made by this run, overwrite", RunOutput, true, "bad\xff_New.mp4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const mirelo::test::ByteNamesCleaner cleaner(dir.path());
        const QByteArray base = QFile::encodeName(dir.path());
        const QByteArray out = base + "/out";
        ASSERT_EQ(::mkdir(out.constData(), 0700), 0);
        const QByteArray taken = out + "/bad\xff.mp4";
        const QByteArray outside = base + "/outside";
        writeBytes(outside, "outside");
        QByteArray input = base + "/bad\xff.avi";
        QSet<QByteArray> runOutputs;
        switch (c.existing) {
        case Nothing:
            break;
        case File:
            writeBytes(taken, "old");
            break;
        case Link:
            ASSERT_EQ(::symlink(outside.constData(), taken.constData()), 0);
            break;
        case Folder:
            ASSERT_EQ(::mkdir(taken.constData(), 0700), 0);
            break;
        case Input:
            writeBytes(taken, "input");
            input = taken;
            break;
        case RunOutput:
            writeBytes(taken, "made before");
            runOutputs.insert(taken);
            break;
        }
        const QString produced = dir.filePath(QStringLiteral("out/bad\\xff.mp4"));
        writeBytes(QFile::encodeName(produced), "new");

        const ByteOutput moved =
            moveToByteName(produced, dir.filePath(QStringLiteral("out")), "bad\xff",
                           QStringLiteral(".mp4"), input, c.overwrite, runOutputs);
        ASSERT_TRUE(moved.error.isEmpty()) << moved.error.toStdString();
        EXPECT_EQ(moved.path, out + '/' + c.expected);
        EXPECT_EQ(readBytes(moved.path), "new");
        EXPECT_TRUE(runOutputs.contains(moved.path));
        EXPECT_FALSE(QFileInfo::exists(produced));
        EXPECT_EQ(readBytes(outside), "outside");
        if (c.existing == Input || c.existing == RunOutput ||
            (c.existing == File && !c.overwrite)) {
            EXPECT_NE(readBytes(taken), "new");
        }
        EXPECT_TRUE(c.existing == Nothing || entryExists(taken));
    }
}

TEST(ByteOutputName, AFailedMoveNamesTheFolder) {
    QSet<QByteArray> runOutputs;
    const ByteOutput moved = moveToByteName(
        QStringLiteral("/nonexistent/a.mp4"), QStringLiteral("/nonexistent/out"), "bad\xff",
        QStringLiteral(".mp4"), "/nonexistent/bad\xff.avi", false, runOutputs);
    EXPECT_TRUE(moved.path.isEmpty());
    EXPECT_TRUE(moved.error.contains(QStringLiteral("/nonexistent/out")))
        << moved.error.toStdString();
}
