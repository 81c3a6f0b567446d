#include "ConvertTestSupport.h"

#include "base/ToolLocator.h"
#include "convert/EncoderCapabilities.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace mirelo;
using namespace mirelo::test;

namespace {

const EncoderCapabilities kLists{{"libx264", "aac"}, {"mp4", "adts"}};

class CapabilityFileTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        program = dir.filePath("encoder");
        writeFile(program, "#!/bin/sh\n");
        file = dir.filePath("Cache/lists.json");
    }

    QTemporaryDir dir;
    QString program;
    QString file;
};

bool sameLists(const EncoderCapabilities& a, const EncoderCapabilities& b) {
    return a.encoders == b.encoders && a.muxers == b.muxers;
}

// What happens to the kept lists between writing and reading them back.
TEST_F(CapabilityFileTest, KeptListsHoldOnlyForTheSameProgram) {
    struct Case {
        const char* name;
        std::function<void(CapabilityFileTest&)> between;
        bool kept;
    };
    const Case cases[] = {
        {"unchanged program", [](CapabilityFileTest&) {}, true},
        {"program upgraded",
         [](CapabilityFileTest& t) { writeFile(t.program, "#!/bin/sh\nexit 0\n"); }, false},
        {"program touched",
         [](CapabilityFileTest& t) {
             QFile f(t.program);
             ASSERT_TRUE(f.open(QIODevice::ReadWrite));
             f.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                           QFileDevice::FileModificationTime);
         },
         false},
        {"file damaged", [](CapabilityFileTest& t) { writeFile(t.file, "{\"version\": 1, \"pro"); },
         false},
        {"file of another layout",
         [](CapabilityFileTest& t) {
             QJsonObject root = QJsonDocument::fromJson(readFile(t.file)).object();
             root["version"] = 99;
             writeFile(t.file, QJsonDocument(root).toJson());
         },
         false},
        {"file gone", [](CapabilityFileTest& t) { QFile::remove(t.file); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(program, "#!/bin/sh\n");
        ASSERT_TRUE(writeStoredCapabilities(file, program, kLists));
        c.between(*this);
        const std::optional<EncoderCapabilities> read = readStoredCapabilities(file, program);
        ASSERT_EQ(read.has_value(), c.kept);
        if (read) {
            EXPECT_TRUE(sameLists(*read, kLists));
        }
    }
}

TEST_F(CapabilityFileTest, ProgramsSinceRemovedAreDropped) {
    const QString other = dir.filePath("other-encoder");
    writeFile(other, "#!/bin/sh\n");
    ASSERT_TRUE(writeStoredCapabilities(file, other, kLists));
    ASSERT_TRUE(writeStoredCapabilities(file, program, kLists));
    EXPECT_TRUE(readStoredCapabilities(file, other));
    QFile::remove(other);
    ASSERT_TRUE(writeStoredCapabilities(file, program, kLists));
    EXPECT_FALSE(readFile(file).contains("other-encoder"));
    EXPECT_TRUE(readStoredCapabilities(file, program));
}

// The loader answers from the file without asking the program, with the audio encoders' limits
// kept beside the lists, and asks it when the file is stale, keeping the fresh answer and dropping
// the limits read from the program that was.
TEST_F(CapabilityFileTest, LoaderUsesTheFileAndRefreshesAStaleOne) {
    const QString encoder = locateEncoder();
    ASSERT_FALSE(encoder.isEmpty());
    struct Case {
        const char* name;
        bool stale;
    };
    for (const Case c : {Case{"kept lists", false}, Case{"stale lists", true}}) {
        SCOPED_TRACE(c.name);
        // A link of its own per case: the process keeps lists per program path.
        const QString link = dir.filePath(QString("ffmpeg-") + (c.stale ? "stale" : "kept"));
        ASSERT_TRUE(QFile::link(encoder, link));
        ASSERT_TRUE(writeStoredCapabilities(file, link, kLists));
        const AudioLimits wma{2, {44100, 48000}};
        ASSERT_TRUE(writeStoredHelp(file, link, "wmav2", {true, wma}));
        if (c.stale) {
            QJsonObject root = QJsonDocument::fromJson(readFile(file)).object();
            QJsonObject programs = root["programs"].toObject();
            QJsonObject entry = programs[link].toObject();
            entry["modified"] = 1.0;
            programs[link] = entry;
            root["programs"] = programs;
            writeFile(file, QJsonDocument(root).toJson());
        }
        CapabilityLoader loader;
        loader.setCapabilityFile(file);
        QSignalSpy loaded(&loader, &CapabilityLoader::loaded);
        loader.start(link);
        EXPECT_EQ(loaded.count(), 0); // never from inside start()
        ASSERT_TRUE(loaded.wait(20000));
        const EncoderCapabilities* lists = cachedCapabilities(link);
        ASSERT_NE(lists, nullptr);
        EXPECT_EQ(sameLists(*lists, kLists), !c.stale);
        EXPECT_EQ(hasCachedAudioLimits(link, "wmav2"), !c.stale);
        EXPECT_EQ(readStoredHelp(file, link).value("wmav2").audio == wma, !c.stale);
        if (!c.stale) {
            EXPECT_EQ(cachedAudioLimits(link).value("wmav2"), wma);
        }
        if (c.stale) {
            EXPECT_TRUE(lists->hasEncoder("mpeg4"));
            EXPECT_TRUE(lists->hasMuxer("mp4"));
            const std::optional<EncoderCapabilities> kept = readStoredCapabilities(file, link);
            ASSERT_TRUE(kept);
            EXPECT_TRUE(sameLists(*kept, *lists));
        }
    }
}

// The capture window's compressors come from the same lists: their descriptions are kept too.
TEST_F(CapabilityFileTest, VideoEncodersAndTheirDescriptionsAreKept) {
    EncoderCapabilities lists = kLists;
    lists.videoEncoders = {{"mpeg4", "V.S...", "MPEG-4 part 2"},
                           {"libx264", "V....D", "libx264 H.264 / AVC / MPEG-4 AVC"}};
    ASSERT_TRUE(writeStoredCapabilities(file, program, lists));
    const std::optional<EncoderCapabilities> read = readStoredCapabilities(file, program);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->videoEncoders.size(), 2);
    for (qsizetype i = 0; i < 2; ++i) {
        EXPECT_EQ(read->videoEncoders[i].name, lists.videoEncoders[i].name);
        EXPECT_EQ(read->videoEncoders[i].flags, lists.videoEncoders[i].flags);
        EXPECT_EQ(read->videoEncoders[i].description, lists.videoEncoders[i].description);
    }
}

// A listing that never ends, or a program that cannot run: one failure naming the program, and
// no listing left running.
TEST_F(CapabilityFileTest, ListingsThatHangOrCannotStartFailNamingTheProgram) {
    const QString hanging = dir.filePath("hanging-encoder");
    writeFile(hanging, "#!/bin/sh\nexec sleep 60\n");
    QFile::setPermissions(hanging, QFile::permissions(hanging) | QFile::ExeOwner);
    const struct {
        QString program;
        const char* reason;
    } cases[] = {
        {hanging, "did not finish within 0.5 seconds"},
        {dir.filePath("missing-encoder"), "could not be started"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program.toStdString());
        CapabilityLoader loader;
        loader.setCapabilityFile(QString());
        loader.setTimeout(500);
        QSignalSpy failed(&loader, &CapabilityLoader::failed);
        QSignalSpy loaded(&loader, &CapabilityLoader::loaded);
        loader.start(c.program);
        ASSERT_TRUE(failed.wait(10000));
        const QString message = failed.first().first().toString();
        EXPECT_TRUE(message.contains(c.program)) << message.toStdString();
        EXPECT_TRUE(message.contains(c.reason)) << message.toStdString();
        for (int i = 0; i < 100 && ProgramRunner::runningCount() > 0; ++i)
            QTest::qWait(50);
        EXPECT_EQ(failed.count(), 1);
        EXPECT_EQ(loaded.count(), 0);
        EXPECT_EQ(ProgramRunner::runningCount(), 0);
    }
}

// A portable copy of mirelo-cli, whose capability cache is Cache/encoder-capabilities.json beside
// it, and the real encoder that rebuilds the cache.
class CapabilityCacheCli : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(dir.filePath("app/Cache")));
        ASSERT_TRUE(QFile::copy(QStringLiteral(MIRELO_CLI_PATH), cli));
        ASSERT_FALSE(encoder.isEmpty());
    }

    // A sound cache of made-up lists with aac's help and a trial, then `key` of the entry (or of
    // aac's help) set to `value`.
    void writeCache(bool inHelp = false, const char* key = nullptr, const QJsonValue& value = {}) {
        ASSERT_TRUE(writeStoredCapabilities(cache, encoder, {{"mpeg4", "aac"}, {"mp4", "psp"}}));
        ASSERT_TRUE(writeStoredHelp(cache, encoder, "aac", {false, AudioLimits{2, {44100}}}));
        ASSERT_TRUE(writeStoredTrial(cache, encoder, "h264_vaapi", {{"works", true}}));
        QJsonObject root = QJsonDocument::fromJson(readFile(cache)).object();
        QJsonObject programs = root["programs"].toObject();
        QJsonObject entry = programs[encoder].toObject();
        QJsonObject help = entry["help"].toObject();
        QJsonObject aac = help["aac"].toObject();
        if (key)
            (inHelp ? aac : entry)[key] = value;
        help["aac"] = aac;
        entry["help"] = help;
        programs[encoder] = entry;
        root["programs"] = programs;
        writeFile(cache, QJsonDocument(root).toJson());
    }

    // mirelo-cli plans profile 18 in time, with its own audio options (aac at 24000 Hz, which no
    // limit from the cache changed), and leaves a fresh cache: the encoder's real lists, without
    // the help and trials of the cache that was.
    void expectRebuilt() {
        QElapsedTimer clock;
        clock.start();
        const CliResult r =
            runProgram(cli,
                       {"command", "--run-argv", "--profile", "18", "--input",
                        dir.filePath("in.mkv"), "--output", dir.path(), "--encoder", encoder},
                       QProcessEnvironment::systemEnvironment(), 20000);
        EXPECT_LT(clock.elapsed(), 20000) << "mirelo-cli hung";
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        const QStringList arguments = r.out.split('\n');
        const qsizetype rate = arguments.indexOf("-ar") + 1;
        ASSERT_GT(rate, 0) << r.out.toStdString();
        EXPECT_EQ(arguments.value(rate).toStdString(), "24000");
        EXPECT_EQ(arguments.value(arguments.indexOf("-ac") + 1).toStdString(), "2");

        const QFileInfo rebuilt(cache);
        // Reading anything else could hang the test.
        ASSERT_TRUE(!rebuilt.isSymLink() && rebuilt.isFile() && rebuilt.size() < 4 * 1024 * 1024);
        const QJsonObject entry =
            QJsonDocument::fromJson(readFile(cache))["programs"][encoder].toObject();
        EXPECT_TRUE(entry["encoders"].toArray().contains("pcm_s16le")) << "not asked again";
        EXPECT_FALSE(entry.contains("help"));
        EXPECT_FALSE(entry.contains("trials"));
    }

    QTemporaryDir dir;
    QString cli = dir.filePath("app/mirelo-cli");
    QString cache = dir.filePath("app/Cache/encoder-capabilities.json");
    QString encoder = locateEncoder();
};

} // namespace

// Whatever lies under the cache's name, or whatever value it holds out of range or of the wrong
// kind, mirelo-cli ends in time, uses none of it, and rebuilds the cache from the encoder.
TEST_F(CapabilityCacheCli, HostileCachesAreRebuiltAndNeverHang) {
    const QByteArray path = QFile::encodeName(cache);
    const struct {
        const char* name;
        std::function<void(CapabilityCacheCli&)> plant;
    } files[] = {
        {"FIFO", [&](auto&) { ASSERT_EQ(::mkfifo(path.constData(), 0600), 0); }},
        {"link to /dev/zero",
         [&](auto&) { ASSERT_EQ(::symlink("/dev/zero", path.constData()), 0); }},
        {"over 4 MB",
         [&](auto& t) {
             t.writeCache();
             writeFile(t.cache, readFile(t.cache) + QByteArray(5 * 1024 * 1024, ' '));
         }},
        {"not JSON", [&](auto& t) { writeFile(t.cache, "<html>a proxy's error page</html>"); }},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        QFile::remove(cache);
        f.plant(*this);
        expectRebuilt();
    }
    const struct {
        const char* name;
        bool inHelp;
        const char* key;
        QJsonValue value;
    } values[] = {
        {"rate too high", true, "rates", QJsonArray{2147483647}},
        {"rate too low", true, "rates", QJsonArray{1}},
        {"rate not whole", true, "rates", QJsonArray{44100.5}},
        {"rate as text", true, "rates", QJsonArray{"44100"}},
        {"channels too many", true, "channels", 65},
        {"channels negative", true, "channels", -2},
        {"thread fact a number", true, "oneThread", 7},
        {"trial verdict as text", false, "trials", QJsonObject{{"h264_vaapi", "yes"}}},
        {"encoder name an option", false, "encoders", QJsonArray{"aac", "-y"}},
    };
    for (const auto& v : values) {
        SCOPED_TRACE(v.name);
        writeCache(v.inHelp, v.key, v.value);
        expectRebuilt();
    }
    struct stat zero {};
    ASSERT_EQ(::stat("/dev/zero", &zero), 0);
    EXPECT_TRUE(S_ISCHR(zero.st_mode)) << "/dev/zero was written through the link";
}
