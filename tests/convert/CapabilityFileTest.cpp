#include "ConvertTestSupport.h"

#include "base/ToolLocator.h"
#include "convert/EncoderCapabilities.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <gtest/gtest.h>

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

} // namespace
