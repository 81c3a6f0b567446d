#include "convert/EncoderOutput.h"
#include "convert/OutputNaming.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace mirelo;

namespace {

TEST(ProgressParser, BlocksSplitAcrossReadsAndTheEndMark) {
    ProgressParser p;
    EXPECT_TRUE(p.feed("frame=10\nout_time_us=1500").isEmpty());
    QList<ProgressReport> r = p.feed("000\nspeed=2.5x\nprogress=continue\nout_time_us=N/A\r\n"
                                     "speed=N/A\nprogress=end\n");
    ASSERT_EQ(r.size(), 2);
    EXPECT_DOUBLE_EQ(*r[0].doneSeconds, 1.5);
    EXPECT_DOUBLE_EQ(*r[0].speed, 2.5);
    EXPECT_FALSE(r[0].end);
    EXPECT_FALSE(r[1].doneSeconds);
    EXPECT_FALSE(r[1].speed);
    EXPECT_TRUE(r[1].end);
}

// A time or speed that is not a finite number (or a time past 1000 hours) is no progress: the
// block keeps no value for it rather than an infinity that later becomes a percentage. The bytes
// written count only as a whole number of at least 0.
TEST(ProgressParser, IgnoresTimesSpeedsAndSizesThatAreNotUsableNumbers) {
    const struct {
        const char* line;
        std::optional<double> doneSeconds;
        std::optional<double> speed;
        std::optional<qint64> bytes;
    } cases[] = {
        {"out_time_us=2500000", 2.5, std::nullopt, std::nullopt},
        {"out_time_us=3600000000000", 3600000.0, std::nullopt, std::nullopt},
        {"out_time_us=3600000000001", std::nullopt, std::nullopt, std::nullopt},
        {"out_time_us=inf", std::nullopt, std::nullopt, std::nullopt},
        {"out_time_us=-inf", std::nullopt, std::nullopt, std::nullopt},
        {"out_time_us=nan", std::nullopt, std::nullopt, std::nullopt},
        {"out_time_us=1e300", std::nullopt, std::nullopt, std::nullopt},
        {"out_time_us=-1", std::nullopt, std::nullopt, std::nullopt},
        {"speed=1.5x", std::nullopt, 1.5, std::nullopt},
        {"speed=infx", std::nullopt, std::nullopt, std::nullopt},
        {"speed=inf", std::nullopt, std::nullopt, std::nullopt},
        {"speed=nanx", std::nullopt, std::nullopt, std::nullopt},
        {"speed=1e400x", std::nullopt, std::nullopt, std::nullopt},
        {"speed=0x", std::nullopt, std::nullopt, std::nullopt},
        {"total_size=1048576", std::nullopt, std::nullopt, 1048576},
        {"total_size=0", std::nullopt, std::nullopt, 0},
        {"total_size=-4096", std::nullopt, std::nullopt, std::nullopt},
        {"total_size=N/A", std::nullopt, std::nullopt, std::nullopt},
        {"total_size=12.5", std::nullopt, std::nullopt, std::nullopt},
        {"total_size=99999999999999999999", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        ProgressParser p;
        const QList<ProgressReport> r = p.feed(QByteArray(c.line) + "\nprogress=continue\n");
        ASSERT_EQ(r.size(), 1) << c.line;
        EXPECT_EQ(r[0].doneSeconds, c.doneSeconds) << c.line;
        EXPECT_EQ(r[0].speed, c.speed) << c.line;
        EXPECT_EQ(r[0].bytesWritten, c.bytes) << c.line;
    }
}

TEST(DurationLine, ReadsTheEncodersDurationLine) {
    const struct {
        const char* line;
        std::optional<double> seconds;
    } cases[] = {
        {"  Duration: 00:00:02.04, start: 0.000000, bitrate: 327 kb/s", 2.04},
        {"  Duration: 01:20:00.50, start: 0.0", 4800.5},
        {"  Duration: N/A, bitrate: N/A", std::nullopt},
        {"Stream #0:0: Video: mpeg4", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::optional<double> d = parseDurationLine(QString::fromLatin1(c.line));
        ASSERT_EQ(d.has_value(), c.seconds.has_value()) << c.line;
        if (d) {
            EXPECT_NEAR(*d, *c.seconds, 1e-9) << c.line;
        }
    }
}

TEST(LastLines, KeepsTheLastLinesAndAnUnfinishedOne) {
    LastLines log(2);
    log.feed("one\ntwo\r\nthree\nfou");
    EXPECT_EQ(log.lines(), (QStringList{"three", "fou"}));
}

TEST(OutputNaming, StemUpToTheFirstDot) {
    const struct {
        const char* path;
        const char* stem;
    } cases[] = {
        {"/in/clip.part1.avi", "clip"},
        {"/in/a.avi", "a"},
        {"/in/noext", "noext"},
        {"/in/.hidden.avi", "hidden"},
        {"/in/my clip -1.wmv", "my clip -1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(inputStem(QString::fromUtf8(c.path)).toStdString(), c.stem);
}

void touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
}

TEST(OutputNaming, NewRuleSourceProtectionAndOverwrite) {
    QTemporaryDir dir;
    const QDir d(dir.path());
    const QString input = d.filePath("a.mp4"); // the source lies in the output folder
    touch(input);
    // Whatever the policy, the source is never the target.
    EXPECT_EQ(chooseOutputPath(dir.path(), "a", ".mp4", input, false), d.filePath("a_New.mp4"));
    EXPECT_EQ(chooseOutputPath(dir.path(), "a", ".mp4", input, true), d.filePath("a_New.mp4"));
    touch(d.filePath("a_New.mp4"));
    EXPECT_EQ(chooseOutputPath(dir.path(), "a", ".mp4", input, false), d.filePath("a_New_New.mp4"));
    EXPECT_EQ(chooseOutputPath(dir.path(), "a", ".mp4", input, true), d.filePath("a_New.mp4"));
    // A doubled separator still names the source.
    EXPECT_EQ(chooseOutputPath(dir.path() + "/", "a", ".mp4", dir.path() + "//a.mp4", true),
              d.filePath("a_New.mp4"));
    EXPECT_EQ(chooseOutputPath(dir.path(), "b", ".mp4", input, false), d.filePath("b.mp4"));
}

// A name longer than the file system takes (255 bytes) is shortened at the end of its stem, by
// whole characters, the first time and when "_New" is added.
TEST(OutputNaming, NamesLongerThanTheFileSystemTakesAreShortened) {
    QTemporaryDir dir;
    const struct {
        const char* name;
        QString stem;
        QString extension;
        int bytes; // of the first name
    } cases[] = {
        {"one byte per character", QString(300, QLatin1Char('a')), ".mp4", 255},
        {"two bytes per character", QString::fromUtf8("\xc3\xa9").repeated(200), ".mp4", 254},
        {"four bytes per character", QString::fromUtf8("\xf0\x9f\x98\x80").repeated(100), ".3gp",
         252},
        {"fits as it is", QString(251, QLatin1Char('b')), ".mp4", 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString previous;
        for (const char* added : {"", "_New", "_New_New"}) {
            const QString path =
                chooseOutputPath(dir.path(), c.stem, c.extension, "/nowhere/in.avi", false);
            const QString name = QFileInfo(path).fileName();
            const QByteArray bytes = QFile::encodeName(name);
            EXPECT_LE(bytes.size(), 255);
            EXPECT_EQ(QString::fromUtf8(bytes), name) << "cut inside a character";
            EXPECT_TRUE(name.endsWith(added + c.extension)) << name.toStdString();
            EXPECT_TRUE(c.stem.startsWith(name.chopped(c.extension.size() + qstrlen(added))));
            if (!*added) {
                EXPECT_EQ(bytes.size(), c.bytes);
            }
            EXPECT_NE(path, previous);
            touch(path); // the file system takes it
            ASSERT_TRUE(QFile::exists(path));
            previous = path;
        }
    }
}

} // namespace
