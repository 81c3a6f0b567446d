#include "convert/TemporaryOutput.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using namespace mirelo;

namespace {

using test::readFile;
using test::writeFile;

QStringList entries(const QDir& dir) {
    return dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                         QDir::Name);
}

class TemporaryOutputTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
    QDir out{dir.path()};
};

TEST_F(TemporaryOutputTest, PlannedPathIsShortAndKeepsTheExtension) {
    const QString longName = QString(251, QLatin1Char('n')) + ".avi";
    const struct {
        QString finalName;
        const char* planned; // inside the output folder
    } cases[] = {
        {"a.mp4", ".mirelo-XXXXXX/out.mp4"},
        {longName, ".mirelo-XXXXXX/out.avi"},
        {"show.part1.3g2", ".mirelo-XXXXXX/out.3g2"},
        {"no-extension", ".mirelo-XXXXXX/out"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(temporaryOutputPath(out.filePath(c.finalName)), out.filePath(c.planned))
            << c.finalName.toStdString();
}

TEST_F(TemporaryOutputTest, FoldersArePrivateUnpredictableAndGoWithWhatTheyHold) {
    const QString planned = temporaryOutputPath(out.filePath("a.mp4"));
    QString error;
    auto first = std::make_unique<TemporaryOutput>();
    TemporaryOutput second;
    ASSERT_TRUE(first->create(planned, &error)) << error.toStdString();
    ASSERT_TRUE(second.create(planned, &error)) << error.toStdString();
    const QFileInfo file(first->filePath());
    EXPECT_EQ(file.fileName(), "out.mp4");
    EXPECT_NE(first->filePath(), second.filePath());
    const QFileInfo folder(file.path());
    EXPECT_EQ(folder.path(), out.path());
    EXPECT_TRUE(folder.fileName().startsWith(".mirelo-"));
    EXPECT_NE(folder.fileName(), ".mirelo-XXXXXX");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(folder.filePath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);

    // What the encoder wrote and a link placed inside go with the folder; the link's target stays.
    const QString kept = dir.filePath("kept.txt");
    writeFile(kept, "kept");
    writeFile(first->filePath(), "partial output");
    ASSERT_TRUE(QFile::link(kept, folder.filePath() + "/link"));
    first.reset();
    EXPECT_FALSE(QFileInfo::exists(folder.filePath()));
    EXPECT_EQ(readFile(kept), "kept");
    second.remove();
    EXPECT_TRUE(second.filePath().isEmpty());
    EXPECT_EQ(entries(out), QStringList{"kept.txt"});
}

TEST_F(TemporaryOutputTest, AFolderThatCannotBeMadeNamesTheOutputFolder) {
    const QString missing = dir.filePath("missing");
    TemporaryOutput t;
    QString error;
    EXPECT_FALSE(t.create(temporaryOutputPath(missing + "/a.mp4"), &error));
    EXPECT_TRUE(error.contains(missing)) << error.toStdString();
    EXPECT_TRUE(t.filePath().isEmpty());
}

TEST_F(TemporaryOutputTest, MovingNeverWritesThroughALink) {
    enum class Existing { Nothing, File, Link }; // what holds the final name before the move
    const QString victim = dir.filePath("victim");
    writeFile(victim, "precious");
    const struct {
        const char* name;
        bool replace;
        Existing existing;
        MoveOutcome outcome;
    } cases[] = {
        {"free, keep", false, Existing::Nothing, MoveOutcome::Moved},
        {"free, replace", true, Existing::Nothing, MoveOutcome::Moved},
        {"file, keep", false, Existing::File, MoveOutcome::NameTaken},
        {"file, replace", true, Existing::File, MoveOutcome::Moved},
        {"link, keep", false, Existing::Link, MoveOutcome::NameTaken},
        {"link, replace", true, Existing::Link, MoveOutcome::Moved},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString from = dir.filePath("from");
        const QString to = dir.filePath("to");
        writeFile(from, "converted");
        if (c.existing == Existing::File) {
            writeFile(to, "old");
        } else if (c.existing == Existing::Link) {
            ASSERT_TRUE(QFile::link(victim, to));
        }
        QString error;
        EXPECT_EQ(moveOutput(from, to, c.replace, &error), c.outcome) << error.toStdString();
        EXPECT_EQ(readFile(victim), "precious");
        if (c.outcome == MoveOutcome::Moved) {
            EXPECT_FALSE(QFileInfo(to).isSymLink());
            EXPECT_EQ(readFile(to), "converted");
            EXPECT_FALSE(QFileInfo::exists(from));
        } else {
            EXPECT_EQ(readFile(from), "converted");
        }
        QFile::remove(from);
        QFile::remove(to);
    }
    QString error;
    EXPECT_EQ(moveOutput(dir.filePath("absent"), dir.filePath("to"), true, &error),
              MoveOutcome::Failed);
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(TemporaryOutputTest, OnlyFoldersLeftByEndedRunsAreRemoved) {
    const QString planned = temporaryOutputPath(out.filePath("a.mp4"));
    TemporaryOutput inUse;
    ASSERT_TRUE(inUse.create(planned, nullptr));
    writeFile(inUse.filePath(), "being written");
    // A folder whose run has ended holds no lock: one made here and then let go of by hand.
    const QString left = out.filePath(".mirelo-Ab12Cd");
    ASSERT_TRUE(out.mkdir(".mirelo-Ab12Cd"));
    writeFile(left + "/out.mp4", "partial");
    // Not ours to remove: other names, a file with the name of a folder, a link to a folder.
    const QString target = dir.filePath("target");
    ASSERT_TRUE(out.mkdir("target"));
    writeFile(target + "/keep", "keep");
    ASSERT_TRUE(out.mkdir(".mirelo-longer-name"));
    ASSERT_TRUE(out.mkdir("mirelo-Ab12Cd"));
    writeFile(out.filePath(".mirelo-File01"), "a file");
    ASSERT_TRUE(QFile::link(target, out.filePath(".mirelo-Link01")));

    EXPECT_EQ(removeStaleTemporaryOutputs(out.path()), 1);
    EXPECT_FALSE(QFileInfo::exists(left));
    EXPECT_EQ(readFile(inUse.filePath()), "being written");
    EXPECT_EQ(readFile(target + "/keep"), "keep");
    for (const char* name :
         {".mirelo-longer-name", "mirelo-Ab12Cd", ".mirelo-File01", ".mirelo-Link01"})
        EXPECT_TRUE(QFileInfo::exists(out.filePath(name))) << name;
}

} // namespace
