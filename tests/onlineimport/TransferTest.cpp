#include "onlineimport/Transfer.h"
#include "common/TestSupport.h"
#include "onlineimport/CacheFetch.h"
#include "onlineimport/StreamDownload.h"

#include "onlineimport/TestHttpServer.h"
#include "onlineimport/TestWait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace mirelo {
namespace {

using test::readFile;
using test::writeFile;

using test::runUntil;
using test::TestHttpServer;

QByteArray streamBytes(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 256) & 0xff);
    return bytes;
}

// What one request did: its states and how it ended.
struct Outcome {
    QList<int> states;
    std::optional<bool> ok;
};

// Fetches `url` whole or streamed; *body gets the body either way.
Outcome fetch(Transfer& transfer, const QString& url, QByteArray* body = nullptr,
              TransferBody mode = TransferBody::Whole) {
    Outcome outcome;
    QByteArray streamed;
    auto takeStreamed = [&] {
        char piece[4096];
        for (qint64 n; (n = transfer.read(piece, sizeof piece)) > 0;)
            streamed.append(piece, n);
    };
    QObject context;
    QObject::connect(&transfer, &Transfer::stateChanged, &context,
                     [&](int s) { outcome.states += s; });
    QObject::connect(&transfer, &Transfer::dataArrived, &context, [&] {
        if (mode == TransferBody::Streamed)
            takeStreamed();
    });
    QObject::connect(&transfer, &Transfer::finished, &context, [&](bool ok) {
        outcome.ok = ok;
        if (mode == TransferBody::Streamed)
            takeStreamed();
        if (body)
            *body = mode == TransferBody::Whole ? transfer.takeBody() : streamed;
    });
    if (!transfer.execute(url, mode))
        return outcome;
    runUntil([&] { return outcome.ok.has_value(); });
    return outcome;
}

constexpr TransferBody kBothModes[] = {TransferBody::Whole, TransferBody::Streamed};

const char* modeName(TransferBody mode) {
    return mode == TransferBody::Whole ? "whole" : "streamed";
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

class TransferTest : public ::testing::Test {
protected:
    TestHttpServer server;
    Transfer transfer;
};

TEST_F(TransferTest, FetchWalksTheStatesInOrder) {
    server.route(QStringLiteral("/page"), TestHttpServer::ok("hello page"));
    for (const TransferBody mode : kBothModes) {
        QByteArray body;
        const Outcome o = fetch(transfer, server.url(QStringLiteral("/page")), &body, mode);
        EXPECT_EQ(o.ok, true) << modeName(mode);
        EXPECT_EQ(body, "hello page") << modeName(mode);
        EXPECT_EQ(o.states, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12})) << modeName(mode);
        EXPECT_FALSE(transfer.stillExecuting());
    }
}

TEST_F(TransferTest, FailuresCarryTheirCodeAndAddress) {
    server.route(QStringLiteral("/hang"), TestHttpServer::hanging());
    server.route(QStringLiteral("/loop"), TestHttpServer::redirect("/loop"));
    struct Case {
        QString url;
        int timeoutMs;
        int code;
    } cases[] = {
        {server.url(QStringLiteral("/missing")), 10000, 404},
        {QStringLiteral("http://127.0.0.1:%1/x").arg(TestHttpServer::closedPort()), 10000, 12029},
        {server.url(QStringLiteral("/hang")), 700, kTimeoutCode},
        {server.url(QStringLiteral("/loop")), 10000, 12156},
        {QStringLiteral("http://no-such-host.invalid/x"), 10000, 12007},
    };
    for (const TransferBody mode : kBothModes) {
        for (const Case& c : cases) {
            transfer.setTimeoutMs(c.timeoutMs);
            const Outcome o = fetch(transfer, c.url, nullptr, mode);
            EXPECT_EQ(o.ok, false) << c.url.toStdString() << modeName(mode);
            ASSERT_FALSE(o.states.isEmpty());
            EXPECT_EQ(o.states.last(), kTransferError);
            EXPECT_EQ(transfer.responseCode(), c.code) << c.url.toStdString() << modeName(mode);
            EXPECT_TRUE(transfer.errorString().contains(QString::number(c.code)));
            EXPECT_TRUE(transfer.errorString().contains(c.url))
                << transfer.errorString().toStdString();
        }
    }
}

TEST_F(TransferTest, RedirectionsAreFollowed) {
    server.route(QStringLiteral("/page"), TestHttpServer::ok("the page"));
    server.route(QStringLiteral("/relative"), TestHttpServer::redirect("/page", 301));
    server.route(QStringLiteral("/absolute"),
                 TestHttpServer::redirect(server.url(QStringLiteral("/relative")).toLatin1(), 307));
    for (const TransferBody mode : kBothModes) {
        QByteArray body;
        EXPECT_EQ(fetch(transfer, server.url(QStringLiteral("/absolute")), &body, mode).ok, true)
            << modeName(mode) << transfer.errorString().toStdString();
        EXPECT_EQ(body, "the page") << modeName(mode);
        EXPECT_EQ(transfer.httpStatus(), 200) << modeName(mode);
    }
}

TEST_F(TransferTest, StreamedAnswersThatCannotBeTaken) {
    TestHttpServer::Response chunked = TestHttpServer::withoutLength("5\r\nhello\r\n0\r\n\r\n");
    chunked.extraHead = "Transfer-Encoding: chunked\r\n";
    TestHttpServer::Response bigHead = TestHttpServer::ok("x");
    bigHead.extraHead = "X-Filler: " + QByteArray(100 * 1024, 'f') + "\r\n";
    server.route(QStringLiteral("/chunked"), chunked);
    server.route(QStringLiteral("/big-head"), bigHead);
    struct Case {
        const char* path;
        const char* errorHolds;
    } cases[] = {{"/chunked", "Transfer-Encoding"}, {"/big-head", "64 KB"}};
    for (const Case& c : cases) {
        EXPECT_EQ(
            fetch(transfer, server.url(QLatin1String(c.path)), nullptr, TransferBody::Streamed).ok,
            false)
            << c.path;
        EXPECT_TRUE(transfer.errorString().contains(QLatin1String(c.errorHolds)))
            << transfer.errorString().toStdString();
    }
}

TEST_F(TransferTest, OnlyHttpAddressesAndOneRequestAtATime) {
    for (const char* url : {"ftp://127.0.0.1/file", "file:///etc/passwd", "not an address", ""}) {
        EXPECT_FALSE(transfer.execute(QString::fromLatin1(url))) << url;
        EXPECT_TRUE(transfer.errorString().contains(QStringLiteral("http"))) << url;
        EXPECT_FALSE(transfer.stillExecuting());
    }
    server.route(QStringLiteral("/hang"), TestHttpServer::hanging());
    server.route(QStringLiteral("/page"), TestHttpServer::ok("x"));
    ASSERT_TRUE(transfer.execute(server.url(QStringLiteral("/hang"))));
    EXPECT_FALSE(transfer.execute(server.url(QStringLiteral("/page"))));
    EXPECT_TRUE(transfer.errorString().contains(QStringLiteral("still executing")));
    EXPECT_TRUE(transfer.stillExecuting());
    transfer.abort();
    EXPECT_FALSE(transfer.stillExecuting());
    EXPECT_EQ(fetch(transfer, server.url(QStringLiteral("/page"))).ok, true);
}

TEST_F(TransferTest, WholeBodiesAreCappedAt8MB) {
    constexpr qint64 kLimit = 8 * 1024 * 1024;
    server.route(QStringLiteral("/fits"), TestHttpServer::ok(QByteArray(kLimit, 'p')));
    server.route(QStringLiteral("/big"), TestHttpServer::ok(QByteArray(kLimit + 1, 'p')));
    server.route(QStringLiteral("/big-unannounced"),
                 TestHttpServer::withoutLength(QByteArray(kLimit + 1, 'p')));
    server.route(QStringLiteral("/endless"), TestHttpServer::generatedStream(1LL << 40));
    struct Case {
        const char* path;
        bool ok;
    } cases[] = {
        {"/fits", true}, {"/big", false}, {"/big-unannounced", false}, {"/endless", false}};
    for (const Case& c : cases) {
        QByteArray body;
        const QString url = server.url(QString::fromLatin1(c.path));
        EXPECT_EQ(fetch(transfer, url, &body).ok, c.ok) << c.path;
        EXPECT_EQ(body.size(), c.ok ? kLimit : 0) << c.path;
        if (!c.ok) {
            EXPECT_TRUE(transfer.errorString().contains(url))
                << transfer.errorString().toStdString();
            EXPECT_TRUE(transfer.errorString().contains(QStringLiteral("8 MB")));
        }
    }
}

TEST_F(TransferTest, StreamedBodyWaitsForItsReader) {
    // The reader takes nothing for a while: the server must be held back, not read into memory.
    constexpr qint64 kSize = 160LL * 1024 * 1024;
    server.route(QStringLiteral("/s"), TestHttpServer::generatedStream(kSize));
    ASSERT_TRUE(transfer.execute(server.url(QStringLiteral("/s")), TransferBody::Streamed));
    qint64 seen = -1;
    QElapsedTimer still;
    still.start();
    runUntil(
        [&] {
            const qint64 sent = server.generatedBytesSent();
            if (sent != seen) {
                seen = sent;
                still.restart();
            }
            return sent > 0 && still.elapsed() > 500;
        },
        20000);
    // What was sent sits in the system's socket buffers, not in this process.
    EXPECT_LT(server.generatedBytesSent(), kSize / 2);
    EXPECT_LE(transfer.bytesAvailable(), Transfer::kStreamBufferBytes);

    // Then it reads on and gets every byte, in order.
    qint64 offset = 0;
    bool intact = true;
    std::optional<bool> ok;
    QByteArray piece(64 * 1024, Qt::Uninitialized);
    qint64 mostWaiting = 0;
    auto drain = [&] {
        mostWaiting = std::max(mostWaiting, transfer.bytesAvailable());
        for (qint64 n; (n = transfer.read(piece.data(), piece.size())) > 0; offset += n)
            for (qint64 i = 0; i < n; i += 4093)
                intact = intact && piece[i] == TestHttpServer::patternByte(offset + i);
    };
    QObject context;
    QObject::connect(&transfer, &Transfer::dataArrived, &context, drain);
    QObject::connect(&transfer, &Transfer::finished, &context, [&](bool result) {
        drain();
        ok = result;
    });
    drain();
    ASSERT_TRUE(runUntil([&] { return ok.has_value(); }, 120000));
    EXPECT_EQ(ok, true) << transfer.errorString().toStdString();
    EXPECT_EQ(offset, kSize);
    EXPECT_TRUE(intact);
    EXPECT_LE(mostWaiting, Transfer::kStreamBufferBytes);
}

class DownloadTest : public TransferTest {
protected:
    QTemporaryDir dir;
    QList<int> percents;
    std::optional<bool> finished;

    bool download(const QString& path, const QString& fileName) {
        StreamDownload d(transfer);
        QObject::connect(&d, &StreamDownload::progress, [this](int p) { percents += p; });
        QObject::connect(&d, &StreamDownload::finished, [this](bool ok) { finished = ok; });
        if (!d.start(QStringLiteral("  ") + server.url(path) + QStringLiteral(" "),
                     dir.filePath(fileName))) {
            error = d.errorString();
            return false;
        }
        runUntil([this] { return finished.has_value(); });
        error = d.errorString();
        return finished.value_or(false);
    }
    QString error;
};

TEST_F(DownloadTest, WholeStreamWithItsPercentages) {
    const QByteArray bytes = streamBytes(2500);
    server.route(QStringLiteral("/s"), TestHttpServer::ok(bytes, "video/mp4"));
    ASSERT_TRUE(download(QStringLiteral("/s"), QStringLiteral("clip.mp4"))) << error.toStdString();
    EXPECT_EQ(percents, (QList<int>{41, 82, 100}));
    QFile file(dir.filePath(QStringLiteral("clip.mp4")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), bytes);
    EXPECT_EQ(filesIn(dir.path()), QStringList{QStringLiteral("clip.mp4")});
}

TEST_F(DownloadTest, EmptyStreamGivesAnEmptyFile) {
    server.route(QStringLiteral("/empty"), TestHttpServer::ok(""));
    ASSERT_TRUE(download(QStringLiteral("/empty"), QStringLiteral("e.flv")));
    EXPECT_TRUE(percents.isEmpty());
    EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("e.flv"))).size(), 0);
}

TEST_F(DownloadTest, FailuresLeaveNoFileUnderTheFinalName) {
    // An older complete file of the same name is not replaced by a failed download.
    server.route(QStringLiteral("/short"), TestHttpServer::announcing(streamBytes(1000), 4096));
    server.route(QStringLiteral("/nolength"), TestHttpServer::withoutLength(streamBytes(300)));
    server.route(QStringLiteral("/gone"), TestHttpServer::status(404, "x"));
    struct Case {
        const char* path;
        const char* errorHolds;
    } cases[] = {
        {"/short", "1000 of the 4096"},
        {"/nolength", "Content-Length"},
        {"/gone", "404"},
    };
    for (const Case& c : cases) {
        finished.reset();
        EXPECT_FALSE(download(QString::fromLatin1(c.path), QStringLiteral("s.mp4"))) << c.path;
        EXPECT_TRUE(error.contains(QLatin1String(c.errorHolds))) << error.toStdString();
        EXPECT_TRUE(filesIn(dir.path()).isEmpty()) << filesIn(dir.path()).join(' ').toStdString();
    }
    finished.reset();
    EXPECT_FALSE(download(QStringLiteral("/short"), QStringLiteral("no/such/folder/s.mp4")));
    EXPECT_TRUE(error.contains(QStringLiteral("no/such/folder"))) << error.toStdString();
}

TEST_F(DownloadTest, NeverReplacesAFileNorWritesThroughALink) {
    const QByteArray bytes = streamBytes(3000);
    server.route(QStringLiteral("/s"), TestHttpServer::ok(bytes, "video/mp4"));
    QTemporaryDir outside;
    const QString victim = QDir(outside.path()).filePath(QStringLiteral("victim"));
    writeFile(victim, "precious");
    const QString missing = QDir(outside.path()).filePath(QStringLiteral("created-through-link"));

    struct Case {
        const char* name;
        std::function<void(const QString& path)> plant; // what sits under the name beforehand
        const char* savedAs;
    } cases[] = {
        {"free.mp4", [](const QString&) {}, "free.mp4"},
        {"taken.mp4", [](const QString& p) { writeFile(p, "older download"); }, "taken (2).mp4"},
        {"link.mp4", [&](const QString& p) { QFile::link(victim, p); }, "link (2).mp4"},
        {"dangling.mp4", [&](const QString& p) { QFile::link(missing, p); }, "dangling (2).mp4"},
        {"folder.mp4", [](const QString& p) { QDir().mkpath(p); }, "folder (2).mp4"},
        {"twice.mp4",
         [](const QString& p) {
             writeFile(p, "1");
             writeFile(QString(p).replace(QStringLiteral(".mp4"), QStringLiteral(" (2).mp4")), "2");
         },
         "twice (3).mp4"},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QLatin1String(c.name));
        c.plant(path);
        const QFileInfo before(path);
        const bool planted = before.exists() || before.isSymLink(); // QFileInfo caches from here
        const QByteArray previous = readFile(path);
        finished.reset();
        StreamDownload d(transfer);
        QObject::connect(&d, &StreamDownload::finished, [this](bool ok) { finished = ok; });
        ASSERT_TRUE(d.start(server.url(QStringLiteral("/s")), path)) << c.name;
        ASSERT_TRUE(runUntil([this] { return finished.has_value(); })) << c.name;
        ASSERT_EQ(finished, true) << c.name << d.errorString().toStdString();
        EXPECT_EQ(d.filePath(), dir.filePath(QLatin1String(c.savedAs))) << c.name;
        EXPECT_EQ(readFile(d.filePath()), bytes) << c.name;
        EXPECT_FALSE(QFileInfo(d.filePath()).isSymLink()) << c.name;
        // Whatever was there is still there, as it was.
        if (planted) {
            const QFileInfo after(path);
            EXPECT_EQ(after.isSymLink(), before.isSymLink()) << c.name;
            EXPECT_EQ(after.isDir(), before.isDir()) << c.name;
            EXPECT_EQ(readFile(path), previous) << c.name;
        }
    }
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_FALSE(QFileInfo::exists(missing));
    // No temporary file is left behind.
    for (const QString& name : filesIn(dir.path()))
        EXPECT_FALSE(name.startsWith(QLatin1Char('.'))) << name.toStdString();
}

TEST_F(DownloadTest, LargeStreamSignalsEachPercentOnce) {
    constexpr qint64 kSize = 24LL * 1024 * 1024 + 517;
    server.route(QStringLiteral("/big"), TestHttpServer::generatedStream(kSize));
    ASSERT_TRUE(download(QStringLiteral("/big"), QStringLiteral("big.mp4"))) << error.toStdString();
    ASSERT_FALSE(percents.isEmpty());
    EXPECT_LE(percents.size(), 101);
    for (qsizetype i = 1; i < percents.size(); ++i)
        EXPECT_GT(percents[i], percents[i - 1]) << i;
    EXPECT_EQ(percents.last(), 100);
    QFile file(dir.filePath(QStringLiteral("big.mp4")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), kSize);
    bool intact = true;
    for (qint64 offset = 0; offset < kSize; offset += 1000003) {
        file.seek(offset);
        char byte = 0;
        file.getChar(&byte);
        intact = intact && byte == TestHttpServer::patternByte(offset);
    }
    EXPECT_TRUE(intact);
}

TEST_F(TransferTest, FetchToCacheCreatesTheCacheFolder) {
    QTemporaryDir dir;
    server.route(QStringLiteral("/t.jpg"), TestHttpServer::ok("JPEGDATA", "image/jpeg"));
    QString stored = QStringLiteral("pending");
    ASSERT_TRUE(FetchToCache(transfer, server.url(QStringLiteral("/t.jpg")), dir.path(),
                             QStringLiteral("../../id.jpg"), &transfer,
                             [&](const QString& path) { stored = path; }));
    runUntil([&] { return stored != QLatin1String("pending"); });
    EXPECT_EQ(stored, dir.filePath(QStringLiteral("Cache/id.jpg"))); // no hidden file
    QFile file(stored);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "JPEGDATA");

    // Busy or unfetchable: false at once, nothing called.
    server.route(QStringLiteral("/hang"), TestHttpServer::hanging());
    ASSERT_TRUE(transfer.execute(server.url(QStringLiteral("/hang"))));
    bool called = false;
    EXPECT_FALSE(FetchToCache(transfer, server.url(QStringLiteral("/t.jpg")), dir.path(),
                              QStringLiteral("x.jpg"), &transfer, [&](auto&) { called = true; }));
    transfer.abort();
    EXPECT_FALSE(FetchToCache(transfer, QString(), dir.path(), QStringLiteral("x.jpg"), &transfer,
                              [&](auto&) { called = true; }));
    EXPECT_FALSE(called);
}

TEST_F(TransferTest, FetchToCacheReplacesAnEntryButNeverWritesThroughALink) {
    QTemporaryDir dir;
    QTemporaryDir outside;
    const QString victim = QDir(outside.path()).filePath(QStringLiteral("victim"));
    writeFile(victim, "precious");
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("Cache"))));
    const QString entry = dir.filePath(QStringLiteral("Cache/id.jpg"));
    ASSERT_TRUE(QFile::link(victim, entry));
    for (const QByteArray& picture : {QByteArray("FIRST"), QByteArray("SECOND")}) {
        server.route(QStringLiteral("/t.jpg"), TestHttpServer::ok(picture, "image/jpeg"));
        QString stored = QStringLiteral("pending");
        ASSERT_TRUE(FetchToCache(transfer, server.url(QStringLiteral("/t.jpg")), dir.path(),
                                 QStringLiteral("id.jpg"), &transfer,
                                 [&](const QString& path) { stored = path; }));
        ASSERT_TRUE(runUntil([&] { return stored != QLatin1String("pending"); }));
        EXPECT_EQ(stored, entry);
        EXPECT_FALSE(QFileInfo(entry).isSymLink());
        EXPECT_EQ(readFile(entry), picture);
    }
    EXPECT_EQ(readFile(victim), "precious");
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("Cache")))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("id.jpg")});
}

TEST(SecureTransferTest, HttpsBothWaysAndNeverBackToHttp) {
    TestHttpServer::trustTestCertificate();
    TestHttpServer secure(true);
    TestHttpServer plain;
    const QByteArray bytes = streamBytes(300000);
    secure.route(QStringLiteral("/s"), TestHttpServer::ok(bytes, "video/mp4"));
    plain.route(QStringLiteral("/s"), TestHttpServer::ok(bytes, "video/mp4"));
    secure.route(QStringLiteral("/down"),
                 TestHttpServer::redirect(plain.url(QStringLiteral("/s")).toLatin1()));
    Transfer transfer;
    for (const TransferBody mode : kBothModes) {
        QByteArray body;
        EXPECT_EQ(fetch(transfer, secure.url(QStringLiteral("/s")), &body, mode).ok, true)
            << modeName(mode) << transfer.errorString().toStdString();
        EXPECT_EQ(body, bytes) << modeName(mode);
        EXPECT_EQ(fetch(transfer, secure.url(QStringLiteral("/down")), &body, mode).ok, false)
            << modeName(mode);
        EXPECT_EQ(transfer.responseCode(), 12156) << modeName(mode);
    }
    EXPECT_FALSE(plain.requests().contains(QStringLiteral("/s")));
}

} // namespace
} // namespace mirelo
