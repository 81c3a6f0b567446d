#include "settings/Inifun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace mirelo;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

class IniFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("settings.dat"));
};

} // namespace

TEST_F(IniFile, SectionAndKeyNamesIgnoreCase) {
    ASSERT_TRUE(WriteIniValue(file, QStringLiteral("Set"), QStringLiteral("profile"),
                              QStringLiteral("76")));
    EXPECT_EQ(ReadIniValue(file, QStringLiteral("set"), QStringLiteral("PROFILE")), "76");
    EXPECT_EQ(ReadIniValue(file, QStringLiteral("SET"), QStringLiteral("Profile")), "76");

    // A second write under other spellings updates the same line of the same section.
    ASSERT_TRUE(WriteIniValue(file, QStringLiteral("sEt"), QStringLiteral("Profile"),
                              QStringLiteral("18")));
    EXPECT_EQ(readAll(file), "[Set]\nProfile=18\n");
}

TEST_F(IniFile, WritingOneKeyKeepsEverythingElse) {
    writeAll(file, "; written by hand\n"
                   "[other]\n"
                   "profile=3\n"
                   "\n"
                   "[set]\n"
                   "# the folder\n"
                   "outputfolder = /srv/video\n"
                   "existedfile=0\n"
                   "\n"
                   "[last]\n"
                   "x=1\n");
    ASSERT_TRUE(WriteIniValue(file, QStringLiteral("set"), QStringLiteral("existedfile"),
                              QStringLiteral("1")));
    ASSERT_TRUE(WriteIniValue(file, QStringLiteral("set"), QStringLiteral("autoshut"),
                              QStringLiteral("0")));
    ASSERT_TRUE(
        WriteIniValue(file, QStringLiteral("new"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(readAll(file), "; written by hand\n"
                             "[other]\n"
                             "profile=3\n"
                             "\n"
                             "[set]\n"
                             "# the folder\n"
                             "outputfolder = /srv/video\n"
                             "existedfile=1\n"
                             "autoshut=0\n"
                             "\n"
                             "[last]\n"
                             "x=1\n"
                             "\n"
                             "[new]\n"
                             "k=v\n");
    EXPECT_EQ(ReadIniValue(file, QStringLiteral("other"), QStringLiteral("profile")), "3");
    EXPECT_EQ(ReadIniValue(file, QStringLiteral("set"), QStringLiteral("profile")), "");
}

TEST_F(IniFile, MissingFileSectionOrKeyReadsEmpty) {
    EXPECT_EQ(ReadIniValue(file, QStringLiteral("set"), QStringLiteral("profile")), "");
    EXPECT_FALSE(QFile::exists(file)) << "reading must not create the file";
    writeAll(file, "[set]\noutputfolder=/a\n[empty]\n");
    const struct {
        const char* section;
        const char* key;
    } missing[] = {{"nosuch", "outputfolder"},
                   {"set", "nosuch"},
                   {"empty", "outputfolder"},
                   {"set", "outputfolder=/a"}};
    for (const auto& m : missing) {
        EXPECT_EQ(ReadIniValue(file, QLatin1String(m.section), QLatin1String(m.key)), "")
            << m.section << "/" << m.key;
    }
    EXPECT_EQ(ReadIniValue(dir.filePath(QStringLiteral("no/such/dir/settings.dat")),
                           QStringLiteral("set"), QStringLiteral("profile")),
              "");
}

TEST_F(IniFile, ValuesAreReadTrimmedAndWholeLinesParsed) {
    writeAll(file, "  [ set ]  \r\n"
                   "   outputfolder   =   /home/me/My Videos   \r\n"
                   "existedfile=\r\n"
                   "autoshut=a=b;c # not a comment\r\n"
                   "profile\t=\t12\t\r\n");
    const struct {
        const char* key;
        const char* value;
    } cases[] = {{"outputfolder", "/home/me/My Videos"},
                 {"existedfile", ""},
                 {"autoshut", "a=b;c # not a comment"},
                 {"profile", "12"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ReadIniValue(file, QStringLiteral("set"), QLatin1String(c.key)),
                  QLatin1String(c.value))
            << c.key;
    }
}

TEST_F(IniFile, ValuesOfAnyLengthAndScriptRoundTrip) {
    const QString values[] = {
        QStringLiteral("/media/") + QString(300, QLatin1Char('x')), // past the old 128 limit
        QString(5000, QLatin1Char('y')),
        QStringLiteral("/home/jürgen/Видео/映画 folder"),
        QStringLiteral("a=b;c#d[e]"),
        QString(),
    };
    for (const QString& v : values) {
        ASSERT_TRUE(WriteIniValue(file, QStringLiteral("set"), QStringLiteral("outputfolder"), v));
        EXPECT_EQ(ReadIniValue(file, QStringLiteral("set"), QStringLiteral("outputfolder")), v);
    }
}

TEST_F(IniFile, LineBreaksNeverReachTheFile) {
    writeAll(file, "[set]\nprofile=5\n");
    const QByteArray before = readAll(file);
    const struct {
        const char* section;
        const char* key;
        QString value;
    } refused[] = {
        {"set", "outputfolder", QStringLiteral("/tmp\n[evil]\nprofile=1")},
        {"set", "outputfolder", QStringLiteral("/tmp\rprofile=1")},
        {"set", "outputfolder", QStringLiteral("/tmp\r\nprofile=1")},
        {"set", "outputfolder", QStringLiteral("/tmp") + QChar(0x2028) + QStringLiteral("x")},
        {"set\n[x", "k", QStringLiteral("v")},
        {"se]t", "k", QStringLiteral("v")},
        {"set", "a=b", QStringLiteral("v")},
        {"set", "k\nk2", QStringLiteral("v")},
        {"set", "", QStringLiteral("v")},
        {"", "k", QStringLiteral("v")},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(
            WriteIniValue(file, QString::fromUtf8(r.section), QString::fromUtf8(r.key), r.value))
            << r.section << "/" << r.key;
        EXPECT_EQ(readAll(file), before);
    }
    EXPECT_EQ(ReadIniValue(file, QStringLiteral("evil"), QStringLiteral("profile")), "");
    EXPECT_EQ(ReadIniValue(file, QStringLiteral("set"), QStringLiteral("profile")), "5");
}

TEST_F(IniFile, WritingCreatesTheFolder) {
    const QString nested = dir.filePath(QStringLiteral("config/mirelo/settings.dat"));
    ASSERT_TRUE(
        WriteIniValue(nested, QStringLiteral("set"), QStringLiteral("k"), QStringLiteral("v")));
    EXPECT_EQ(readAll(nested), "[set]\nk=v\n");
}

// A write that fails half-way (here: the file size limit is hit) leaves the old file whole.
TEST_F(IniFile, FailedSaveKeepsTheOldFile) {
    const QByteArray old = "[set]\noutputfolder=/old\nprofile=18\n";
    writeAll(file, old);

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 256;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = WriteIniValue(file, QStringLiteral("set"), QStringLiteral("outputfolder"),
                                       QString(4096, QLatin1Char('z')));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(readAll(file), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("settings.dat")})
        << "no temporary file may be left behind";
}
