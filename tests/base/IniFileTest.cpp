#include "base/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace mirelo;

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The bytes of a literal, NULs included.
template <std::size_t N> QByteArray raw(const char (&text)[N]) {
    return QByteArray(text, qsizetype(N - 1));
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
    ASSERT_TRUE(writeIniValue(file, QStringLiteral("Set"), QStringLiteral("profile"),
                              QStringLiteral("76")));
    EXPECT_EQ(readIniValue(file, QStringLiteral("set"), QStringLiteral("PROFILE")), "76");
    EXPECT_EQ(readIniValue(file, QStringLiteral("SET"), QStringLiteral("Profile")), "76");

    // A second write under other spellings updates the same line of the same section.
    ASSERT_TRUE(writeIniValue(file, QStringLiteral("sEt"), QStringLiteral("Profile"),
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
    ASSERT_TRUE(writeIniValue(file, QStringLiteral("set"), QStringLiteral("existedfile"),
                              QStringLiteral("1")));
    ASSERT_TRUE(writeIniValue(file, QStringLiteral("set"), QStringLiteral("autoshut"),
                              QStringLiteral("0")));
    ASSERT_TRUE(
        writeIniValue(file, QStringLiteral("new"), QStringLiteral("k"), QStringLiteral("v")));
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
    EXPECT_EQ(readIniValue(file, QStringLiteral("other"), QStringLiteral("profile")), "3");
    EXPECT_EQ(readIniValue(file, QStringLiteral("set"), QStringLiteral("profile")), "");
}

TEST_F(IniFile, MissingFileSectionOrKeyReadsEmpty) {
    EXPECT_EQ(readIniValue(file, QStringLiteral("set"), QStringLiteral("profile")), "");
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
        EXPECT_EQ(readIniValue(file, QLatin1String(m.section), QLatin1String(m.key)), "")
            << m.section << "/" << m.key;
    }
    EXPECT_EQ(readIniValue(dir.filePath(QStringLiteral("no/such/dir/settings.dat")),
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
        EXPECT_EQ(readIniValue(file, QStringLiteral("set"), QLatin1String(c.key)),
                  QLatin1String(c.value))
            << c.key;
    }
}

TEST_F(IniFile, ValuesOfAnyLengthAndScriptRoundTrip) {
    const QString values[] = {
        QStringLiteral("/media/") + QString(300, QLatin1Char('x')), // longer than 128 characters
        QString(5000, QLatin1Char('y')),
        QStringLiteral("/home/jürgen/Видео/映画 folder"),
        QStringLiteral("a=b;c#d[e]"),
        QString(),
    };
    for (const QString& v : values) {
        ASSERT_TRUE(writeIniValue(file, QStringLiteral("set"), QStringLiteral("outputfolder"), v));
        EXPECT_EQ(readIniValue(file, QStringLiteral("set"), QStringLiteral("outputfolder")), v);
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
            writeIniValue(file, QString::fromUtf8(r.section), QString::fromUtf8(r.key), r.value))
            << r.section << "/" << r.key;
        EXPECT_EQ(readAll(file), before);
    }
    EXPECT_EQ(readIniValue(file, QStringLiteral("evil"), QStringLiteral("profile")), "");
    EXPECT_EQ(readIniValue(file, QStringLiteral("set"), QStringLiteral("profile")), "5");
}

TEST_F(IniFile, WritingCreatesTheFolder) {
    const QString nested = dir.filePath(QStringLiteral("config/mirelo/settings.dat"));
    ASSERT_TRUE(
        writeIniValue(nested, QStringLiteral("set"), QStringLiteral("k"), QStringLiteral("v")));
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
    const bool written = writeIniValue(file, QStringLiteral("set"), QStringLiteral("outputfolder"),
                                       QString(4096, QLatin1Char('z')));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(written);
    EXPECT_EQ(readAll(file), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("settings.dat")})
        << "no temporary file may be left behind";
}

// Writing one key (as the desktop program does with "profile" on exit) changes that line only:
// bytes that are not UTF-8, line ends and the lack of a final line end elsewhere stay as read.
TEST_F(IniFile, WritingOneKeyKeepsEveryOtherByte) {
    const struct {
        const char* name;
        QByteArray before;
        QByteArray after; // after profile=76 is written to section "Set"
    } cases[] = {
        {"Latin-1 folder in a key the product does not own",
         "[set]\noutputfolder=/srv/caf\xe9\nmine=\xff\xfe\x80\nprofile=3\n",
         "[set]\noutputfolder=/srv/caf\xe9\nmine=\xff\xfe\x80\nprofile=76\n"},
        {"CR LF line ends, a new key gets them too",
         "; \xe9t\xe9\r\n[set]\r\noutputfolder=/a\xa0\r\n\r\n[x]\r\ny=1\r\n",
         "; \xe9t\xe9\r\n[set]\r\noutputfolder=/a\xa0\r\nprofile=76\r\n\r\n[x]\r\ny=1\r\n"},
        {"the replaced line keeps its CR", "[set]\nprofile=3\r\nz=\xc3\x28\n",
         "[set]\nprofile=76\r\nz=\xc3\x28\n"},
        {"no line end at the end of the file", "[other]\nk=\xe9",
         "[other]\nk=\xe9\n\n[Set]\nprofile=76\n"},
        {"key replaced on the last line, which has no line end", "[set]\nprofile=3",
         "[set]\nprofile=76"},
        {"a NUL byte, overlong and surrogate forms, a truncated sequence",
         raw("[set]\na=\0b\xc0\xaf\xed\xa0\x80\xe2\x82\nprofile=1\n"),
         raw("[set]\na=\0b\xc0\xaf\xed\xa0\x80\xe2\x82\nprofile=76\n")},
        {"a byte-order mark and a bare CR inside a line", "\xef\xbb\xbf; note\n[set]\nx=a\rb\n",
         "\xef\xbb\xbf; note\n[set]\nx=a\rb\nprofile=76\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeAll(file, c.before);
        ASSERT_TRUE(writeIniValue(file, QStringLiteral("Set"), QStringLiteral("profile"),
                                  QStringLiteral("76")));
        EXPECT_EQ(readAll(file), c.after);
        EXPECT_EQ(readIniValue(file, QStringLiteral("set"), QStringLiteral("profile")), "76");
    }
}

// A value that is not UTF-8 is read as text that stands for the same bytes: written back it
// stores those bytes, and it says it cannot reach the file system through Qt as it is.
TEST_F(IniFile, NonUtf8ValuesKeepTheirBytes) {
    const struct {
        QByteArray stored;
        const char* printable;
    } cases[] = {
        {"/home/me/caf\xe9", "/home/me/caf\\xE9"}, {"/v/\xff\xfe", "/v/\\xFF\\xFE"},
        {"/v/\xc3\xa9\xe9", "/v/\xc3\xa9\\xE9"},   {"/v/\xf0\x9f\x98", "/v/\\xF0\\x9F\\x98"},
        {"/v/\xed\xb3\xa9", "/v/\\xED\\xB3\\xA9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.printable);
        const QByteArray content = "[set]\noutputfolder=" + c.stored + "\n";
        writeAll(file, content);
        const QString value =
            readIniValue(file, QStringLiteral("set"), QStringLiteral("outputfolder"));
        EXPECT_EQ(encodeSettingsText(value), std::optional<QByteArray>(c.stored));
        EXPECT_EQ(printableSettingsText(value), QString::fromUtf8(c.printable));
        EXPECT_FALSE(pathReachesFileSystemIntact(value));
        // The settings dialog writes back what it showed: the same bytes.
        ASSERT_TRUE(
            writeIniValue(file, QStringLiteral("set"), QStringLiteral("outputfolder"), value));
        EXPECT_EQ(readAll(file), content);
    }
    for (const char* good : {"/home/me/caf\xc3\xa9", "/v/\xf0\x9f\x98\x80", "/plain"}) {
        writeAll(file, QByteArray("[set]\noutputfolder=") + good + "\n");
        const QString value =
            readIniValue(file, QStringLiteral("set"), QStringLiteral("outputfolder"));
        EXPECT_EQ(value, QString::fromUtf8(good));
        EXPECT_TRUE(pathReachesFileSystemIntact(value)) << good;
    }
}

TEST(SettingsText, DecodingKeepsEveryByteAndEncodingGivesItBack) {
    const QByteArray samples[] = {
        "",
        "plain ascii",
        "\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80\xf4\x8f\xbf\xbf", // valid: 2, 3, 4 bytes, U+10FFFF
        "\x80\xbf\xc0\x80\xc1\xbf\xe0\x80\x80\xf0\x80\x80\x80", // lone continuations, overlong
        "\xed\xa0\x80\xed\xbf\xbf\xf4\x90\x80\x80\xf8\x88\x80\x80\x80\xff\xfe",
        "\xc3\xe2\x82\xf0\x9f\x98", // truncated sequences
        "a\xc3(b\xe2\x28\xa1"
        "c\xf0\x28\x8c\xbc", // a bad continuation byte
        raw("nul\0in\0side"),
    };
    for (const QByteArray& bytes : samples) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        const QString text = decodeSettingsText(bytes);
        EXPECT_EQ(encodeSettingsText(text), std::optional<QByteArray>(bytes));
        if (QString::fromUtf8(bytes).toUtf8() == bytes) {
            EXPECT_EQ(text, QString::fromUtf8(bytes)) << "valid UTF-8 decodes as usual";
        }
    }
    // Any byte alone, and every pair of bytes, survives.
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            const QByteArray bytes{char(a), char(b)};
            ASSERT_EQ(encodeSettingsText(decodeSettingsText(bytes)),
                      std::optional<QByteArray>(bytes))
                << a << " " << b;
        }
    }
}

// Text the file cannot hold as itself is refused and leaves the file as it was.
TEST_F(IniFile, TextThatCannotBeReadBackIsRefused) {
    writeAll(file, "[set]\nprofile=5\n");
    const QByteArray before = readAll(file);
    const struct {
        const char* name;
        QString section;
        QString key;
        QString value;
    } refused[] = {
        {"unpaired high surrogate", QStringLiteral("set"), QStringLiteral("k"),
         QString(QChar(0xD800))},
        {"unpaired low surrogate outside the kept bytes", QStringLiteral("set"),
         QStringLiteral("k"), QString(QChar(0xDC41))},
        {"kept bytes that read back as a character", QStringLiteral("set"), QStringLiteral("k"),
         QString(QChar(0xDCC3)) + QChar(0xDCA9)},
        {"a key with a bad surrogate", QStringLiteral("set"), QString(QChar(0xDFFF)),
         QStringLiteral("v")},
        {"a section with a bad surrogate", QString(QChar(0xD83D)), QStringLiteral("k"),
         QStringLiteral("v")},
    };
    for (const auto& r : refused) {
        EXPECT_FALSE(writeIniValue(file, r.section, r.key, r.value)) << r.name;
        EXPECT_EQ(readAll(file), before) << r.name;
    }
    EXPECT_EQ(encodeSettingsText(QString(QChar(0xD800))), std::nullopt);
}

// Only a regular file of at most 1 MB is read. Anything else reads as defaults at once, is
// reported once naming the file, and is never rewritten.
TEST_F(IniFile, OnlyRegularFilesUpToTheLimitAreReadAndNoneOtherIsWritten) {
    QStringList reports;
    setIniProblemReporter([&reports](const QString& message) { reports << message; });

    const QString fifo = dir.filePath(QStringLiteral("fifo/settings.dat"));
    const QString zero = dir.filePath(QStringLiteral("zero/settings.dat"));
    const QString folder = dir.filePath(QStringLiteral("folder/settings.dat"));
    const QString large = dir.filePath(QStringLiteral("large/settings.dat"));
    const QString limit = dir.filePath(QStringLiteral("limit/settings.dat"));
    for (const QString& f : {fifo, zero, folder, large, limit})
        ASSERT_TRUE(QDir().mkpath(QFileInfo(f).absolutePath()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QByteArray head = "[set]\nprofile=7\n";
    const QByteArray largeContent = head + QByteArray(kLargestSettingsFile + 1 - head.size(), '#');
    writeAll(large, largeContent);
    writeAll(limit, head + QByteArray(kLargestSettingsFile - head.size(), '#'));

    const struct {
        const char* name;
        QString file;
        const char* reason;
    } refused[] = {{"FIFO", fifo, "is not a regular file"},
                   {"link to /dev/zero", zero, "is not a regular file"},
                   {"folder", folder, "is not a regular file"},
                   {"over 1 MB", large, "is larger than 1 MB"}};
    for (const auto& r : refused) {
        SCOPED_TRACE(r.name);
        reports.clear();
        // A FIFO would block the reader for ever; a watchdog feeds it an end of file instead,
        // so a blocked read fails the test rather than hanging it.
        std::promise<QString> done;
        std::future<QString> value = done.get_future();
        std::thread reader([&] {
            done.set_value(readIniValue(r.file, QStringLiteral("set"), QStringLiteral("profile")));
        });
        const bool returned = value.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        if (!returned)
            ::close(::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK));
        reader.join();
        EXPECT_TRUE(returned) << "the read blocked";
        EXPECT_EQ(value.get(), QString());

        EXPECT_FALSE(writeIniValue(r.file, QStringLiteral("set"), QStringLiteral("profile"),
                                   QStringLiteral("76")));
        ASSERT_EQ(reports.size(), 1)
            << "one report per file and reason: " << reports.join('|').toStdString();
        EXPECT_TRUE(reports[0].contains(r.file)) << reports[0].toStdString();
        EXPECT_TRUE(reports[0].contains(QLatin1String(r.reason))) << reports[0].toStdString();
    }
    // Left as they were.
    EXPECT_EQ(QFileInfo(fifo).isFile(), false);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(QFileInfo(zero).symLinkTarget(), QStringLiteral("/dev/zero"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_EQ(readAll(large), largeContent);

    // Exactly 1 MB is still a settings file.
    reports.clear();
    EXPECT_EQ(readIniValue(limit, QStringLiteral("set"), QStringLiteral("profile")), "7");
    EXPECT_TRUE(writeIniValue(limit, QStringLiteral("set"), QStringLiteral("profile"),
                              QStringLiteral("8")));
    EXPECT_EQ(readIniValue(limit, QStringLiteral("set"), QStringLiteral("profile")), "8");
    EXPECT_TRUE(reports.isEmpty()) << reports.join('|').toStdString();
    setIniProblemReporter({});
}
