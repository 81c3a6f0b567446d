#include "onlineimport/NewFileWriter.h"
#include "common/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace mirelo {
namespace {

using test::readFile;
using test::writeFile;

QStringList entriesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

TEST(NumberedFileName, NumberBeforeTheLastExtension) {
    struct Case {
        const char* name;
        int number;
        const char* expected;
    } cases[] = {
        {"Title.mp4", 2, "Title (2).mp4"},
        {"Title_Full_HD.flv", 3, "Title_Full_HD (3).flv"},
        {"v1.2 final.mp4", 2, "v1.2 final (2).mp4"},
        {"video", 2, "video (2)"},
        {"a.", 10, "a (10)."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(numberedFileName(QString::fromUtf8(c.name), c.number),
                  QString::fromUtf8(c.expected));
    // A name at the limit loses stem characters, never its extension or a part of a character.
    const QString full = QStringLiteral("\u00e9").repeated(125) + QStringLiteral("x.mp4");
    ASSERT_EQ(full.toUtf8().size(), 255);
    const QString numbered = numberedFileName(full, 12);
    EXPECT_LE(numbered.toUtf8().size(), 255);
    EXPECT_TRUE(numbered.endsWith(QStringLiteral(" (12).mp4")));
    EXPECT_TRUE(numbered.startsWith(QStringLiteral("\u00e9\u00e9")));
}

class NewFileWriterTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
};

TEST_F(NewFileWriterTest, WritesUnderAHiddenNameUntilCommitted) {
    NewFileWriter writer;
    ASSERT_TRUE(writer.open(dir.path(), QStringLiteral("clip.mp4")))
        << writer.errorString().toStdString();
    ASSERT_TRUE(writer.write("abc", 3));
    const QStringList during = entriesIn(dir.path());
    ASSERT_EQ(during.size(), 1);
    EXPECT_TRUE(during[0].startsWith(QLatin1Char('.')));
    EXPECT_FALSE(QFileInfo::exists(path("clip.mp4")));
    ASSERT_TRUE(writer.commit()) << writer.errorString().toStdString();
    EXPECT_EQ(writer.finalPath(), path("clip.mp4"));
    EXPECT_EQ(entriesIn(dir.path()), QStringList{QStringLiteral("clip.mp4")});
    EXPECT_EQ(readFile(path("clip.mp4")), "abc");
}

TEST_F(NewFileWriterTest, TemporaryNamesCannotBeForeseen) {
    // A link can only be planted under a name known beforehand: neither the file's name nor the
    // process id may give it away, and two writers never share one.
    NewFileWriter first;
    NewFileWriter second;
    ASSERT_TRUE(first.open(dir.path(), QStringLiteral("same.mp4")));
    ASSERT_TRUE(second.open(dir.path(), QStringLiteral("same.mp4")));
    const QStringList names = entriesIn(dir.path());
    ASSERT_EQ(names.size(), 2);
    for (const QString& name : names) {
        EXPECT_FALSE(name.contains(QStringLiteral("same"))) << name.toStdString();
        EXPECT_FALSE(name.contains(QString::number(QCoreApplication::applicationPid())))
            << name.toStdString();
    }
}

TEST_F(NewFileWriterTest, DiscardedOrDestroyedLeavesNothing) {
    {
        NewFileWriter writer;
        ASSERT_TRUE(writer.open(dir.path(), QStringLiteral("a.mp4")));
        writer.write("x", 1);
    }
    NewFileWriter writer;
    ASSERT_TRUE(writer.open(dir.path(), QStringLiteral("b.mp4")));
    writer.discard();
    EXPECT_TRUE(entriesIn(dir.path()).isEmpty()) << entriesIn(dir.path()).join(' ').toStdString();
}

TEST_F(NewFileWriterTest, FailuresNameTheFileAndTheReason) {
    NewFileWriter writer;
    const QString missing = path("no/such/folder");
    EXPECT_FALSE(writer.open(missing, QStringLiteral("a.mp4")));
    EXPECT_TRUE(writer.errorString().contains(missing)) << writer.errorString().toStdString();
    EXPECT_TRUE(writer.errorString().contains(QStringLiteral("No such file or directory")));
}

TEST_F(NewFileWriterTest, MoveToFreeNameNeverReplaces) {
    QTemporaryDir source;
    auto sourceFile = [&](const QByteArray& bytes) {
        const QString p = QDir(source.path()).filePath(QStringLiteral("part"));
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return p;
    };
    QString error;
    const auto first =
        moveToFreeName(sourceFile("one"), dir.path(), QStringLiteral("t.mp4"), &error);
    const auto second =
        moveToFreeName(sourceFile("two"), dir.path(), QStringLiteral("t.mp4"), &error);
    ASSERT_TRUE(first && second) << error.toStdString();
    EXPECT_EQ(*first, path("t.mp4"));
    EXPECT_EQ(*second, path("t (2).mp4"));
    EXPECT_EQ(readFile(*first), "one");
    EXPECT_EQ(readFile(*second), "two");

    EXPECT_FALSE(moveToFreeName(QDir(source.path()).filePath(QStringLiteral("gone")), dir.path(),
                                QStringLiteral("t.mp4"), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("gone"))) << error.toStdString();
}

} // namespace
} // namespace mirelo
