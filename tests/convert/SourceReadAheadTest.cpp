#include "convert/SourceReadAhead.h"

#include "base/ToolLocator.h"
#include "common/MediaFixtures.h"
#include "common/TestSupport.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

using namespace mirelo;
using namespace mirelo::test;

namespace {

// An encoder that logs each command line it is given, then runs as the installed one.
QString loggingEncoder(const QDir& folder) {
    const QString path = folder.filePath(QStringLiteral("encoder"));
    writeFile(path, "#!/bin/sh\necho \"$*\" >> '" + path.toUtf8() + ".log'\nexec '" +
                        locateEncoder().toUtf8() + "' \"$@\"\n");
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

enum class Kind { Video, Audio, Corrupt, Missing };

struct FileKind {
    Kind kind;
    int seconds = 0;
    bool posing = false; // named to pose as another file's part of the report
};

struct Seen {
    bool reported = false;
    SourceStreams streams;
};

// Reads `files` ahead and waits for every file that exists to be reported.
std::map<quint64, Seen> readAll(const QString& encoder, const QStringList& files,
                                int expectedReports) {
    SourceReadAhead reader(encoder);
    std::map<quint64, Seen> seen;
    QObject::connect(&reader, &SourceReadAhead::read, [&seen](quint64 key, const SourceStreams& s) {
        seen[key] = {true, s};
    });
    std::vector<SourceReadAhead::File> queue;
    for (qsizetype i = 0; i < files.size(); ++i)
        queue.push_back({quint64(i + 1), files[i]});
    reader.enqueue(queue);
    QSignalSpy spy(&reader, &SourceReadAhead::read);
    while (spy.count() < expectedReports && spy.wait(30000)) {
    }
    return seen;
}

} // namespace

// Later files are opened several to one encoder: each file still gets its own streams, a file the
// encoder cannot open costs only itself, and a name cannot pose as another file's part.
TEST(SourceReadAhead, FilesOpenedTogetherEachGetTheirOwnStreams) {
    const QString posing = QStringLiteral("x.avi':\nInput #2, avi, from 'file2.avi':\n"
                                          "  Stream #2:0: Video: h264, yuv420p, 9999x9999");
    const int many = SourceReadAhead::kFilesPerRead + 2;
    const struct {
        const char* name;
        std::vector<FileKind> files;
        int encoders; // encoder programs started
    } cases[] = {
        {"three files, one encoder", {{Kind::Video, 2}, {Kind::Audio, 3}, {Kind::Video, 4}}, 1},
        {"a file the encoder cannot open: the rest go to the next encoder",
         {{Kind::Video, 2}, {Kind::Corrupt}, {Kind::Video, 3}, {Kind::Audio, 4}},
         2},
        {"a missing file is left out", {{Kind::Video, 2}, {Kind::Missing}, {Kind::Audio, 3}}, 1},
        {"more files than one encoder opens", std::vector<FileKind>(many, {Kind::Video, 1}), 2},
        {"a name that breaks a line goes alone and poses as nothing",
         {{Kind::Video, 2}, {Kind::Video, 3, true}, {Kind::Audio, 4}},
         3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QDir folder(dir.path());
        const QString encoder = loggingEncoder(folder);
        QStringList files;
        int existing = 0;
        for (const FileKind& f : c.files) {
            const QString name = QStringLiteral("file%1.avi").arg(files.size());
            if (f.kind == Kind::Video)
                files << makeVideoClip(folder, name, f.seconds);
            else if (f.kind == Kind::Audio)
                files << makeAudioClip(folder, name, f.seconds);
            else
                files << folder.filePath(name);
            if (f.kind == Kind::Corrupt)
                writeFile(files.last(), QByteArray(4096, 'x'));
            if (f.posing) { // made under a name the encoder can tell the format from
                ASSERT_TRUE(QFile::rename(files.last(), folder.filePath(posing)));
                files.last() = folder.filePath(posing);
            }
            existing += f.kind != Kind::Missing;
        }
        const std::map<quint64, Seen> seen = readAll(encoder, files, existing);

        for (std::size_t i = 0; i < c.files.size(); ++i) {
            const FileKind& f = c.files[i];
            SCOPED_TRACE(files[qsizetype(i)].toStdString());
            const auto it = seen.find(i + 1);
            ASSERT_EQ(it != seen.end(), f.kind != Kind::Missing);
            if (f.kind == Kind::Missing || f.posing)
                continue; // what a posing name's own file holds is not asked
            const SourceStreams& s = it->second.streams;
            EXPECT_EQ(s.streams.empty(), f.kind == Kind::Corrupt);
            if (f.kind == Kind::Corrupt)
                continue;
            EXPECT_EQ(s.hasVideo(), f.kind == Kind::Video);
            EXPECT_TRUE(s.hasAudio());
            ASSERT_TRUE(s.duration);
            EXPECT_EQ(std::lround(*s.duration), f.seconds);
        }
        const QString log = QString::fromUtf8(readFile(encoder + ".log"));
        EXPECT_EQ(log.count(QLatin1String("-nostdin")), c.encoders) << log.toStdString();
    }
}

// A file read already, here listed twice, is not read again.
TEST(SourceReadAhead, AFileListedTwiceIsReadOnce) {
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QString encoder = loggingEncoder(folder);
    const QString clip = makeVideoClip(folder, QStringLiteral("twice.avi"), 2);
    const std::map<quint64, Seen> seen = readAll(encoder, {clip, clip}, 2);
    ASSERT_EQ(seen.size(), 2u);
    for (const auto& [key, s] : seen)
        EXPECT_TRUE(s.streams.hasVideo()) << key;
    EXPECT_EQ(QString::fromUtf8(readFile(encoder + ".log")).count(clip), 1);
}

// A batch given after another has ended, or after stop() cut one short, is counted afresh: each of
// its files is reported once, in the order given, with its own streams.
TEST(SourceReadAhead, ALaterBatchReportsEachOfItsFilesOnceInOrder) {
    const struct {
        const char* name;
        bool stopAtFirstReport; // the first batch is stopped once it has reported a file
    } cases[] = {
        {"after a batch that ended", false},
        {"after a batch that was stopped", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QDir folder(dir.path());
        const QString encoder = loggingEncoder(folder);
        SourceReadAhead reader(encoder);
        std::vector<std::pair<quint64, int>> reports; // key, seconds read
        bool stopNow = c.stopAtFirstReport;
        QObject::connect(&reader, &SourceReadAhead::read, [&](quint64 key, const SourceStreams& s) {
            reports.emplace_back(key, s.duration ? int(std::lround(*s.duration)) : -1);
            if (std::exchange(stopNow, false))
                reader.stop();
        });
        QSignalSpy spy(&reader, &SourceReadAhead::read);
        const std::vector<std::vector<int>> batches = {{1, 2, 3}, {4, 5, 6}}; // seconds per file
        std::vector<std::pair<quint64, int>> expected;
        quint64 key = 0;
        for (std::size_t b = 0; b < batches.size(); ++b) {
            std::vector<SourceReadAhead::File> files;
            for (std::size_t i = 0; i < batches[b].size(); ++i) {
                ++key;
                const int seconds = batches[b][i];
                const QString name = QStringLiteral("file%1.wav").arg(key);
                files.push_back({key, makeAudioClip(folder, name, seconds)});
                const bool cutShort = c.stopAtFirstReport && b == 0 && i > 0;
                if (!cutShort)
                    expected.emplace_back(key, seconds);
            }
            reader.enqueue(files);
            while (reports.size() < expected.size() && spy.wait(30000)) {
            }
            EXPECT_EQ(reports, expected);
        }
        const QString log = QString::fromUtf8(readFile(encoder + ".log"));
        EXPECT_EQ(log.count(QLatin1String("-nostdin")), 2) << log.toStdString();
    }
}
