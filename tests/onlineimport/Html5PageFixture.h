#pragma once

// A page of today's kind for the yt-dlp tests: an HTML5 <video> with a poster and two sources of
// different sizes, served by the test server, and yt-dlp programs that misbehave.

#include "onlineimport/TestHttpServer.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

namespace mirelo::test {

inline const char* const kHtml5Title = "Sunset Over Harbour";
inline const char* const kHtml5Description = "A quiet evening clip by the sea.";

// Distinct bytes for each source, so that a download can be told apart and compared.
inline QByteArray patternedBytes(int size, char salt) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + salt) % 251);
    return bytes;
}
inline QByteArray smallSource() {
    return patternedBytes(30000, 's');
}
inline QByteArray bigSource() {
    return patternedBytes(90000, 'b');
}

inline QByteArray html5Page() {
    return QByteArrayLiteral(
        "<!DOCTYPE html>\n<html><head><title>Sunset Over Harbour</title>\n"
        "<meta name=\"description\" content=\"A quiet evening clip by the sea.\">\n"
        "<meta property=\"og:title\" content=\"Sunset Over Harbour\">\n"
        "<meta property=\"og:description\" content=\"A quiet evening clip by the sea.\">\n"
        "</head><body>\n"
        "<video poster=\"/poster.jpg\" controls>\n"
        "<source src=\"/small.mp4\" type=\"video/mp4\">\n"
        "<source src=\"/big.mp4\" type=\"video/mp4\">\n"
        "</video></body></html>\n");
}

// Routes the page at /video.html with its sources and `poster` at /poster.jpg.
inline void serveHtml5Page(TestHttpServer& server, const QByteArray& poster = "poster") {
    server.route(QStringLiteral("/video.html"), TestHttpServer::ok(html5Page()));
    server.route(QStringLiteral("/poster.jpg"), TestHttpServer::ok(poster, "image/jpeg"));
    server.route(QStringLiteral("/small.mp4"), TestHttpServer::ok(smallSource(), "video/mp4"));
    server.route(QStringLiteral("/big.mp4"), TestHttpServer::ok(bigSource(), "video/mp4"));
}

inline bool ytDlpInstalled() {
    return !QStandardPaths::findExecutable(QStringLiteral("yt-dlp")).isEmpty();
}

// Tests of the real yt-dlp need it installed (scripts/install-deps.sh does).
#define MIRELO_REQUIRE_YTDLP()                                                                     \
    do {                                                                                           \
        if (!mirelo::test::ytDlpInstalled())                                                       \
            GTEST_SKIP() << "yt-dlp is not installed; scripts/install-deps.sh installs it";        \
    } while (false)

// An executable shell script `name` in `folder` with `body`; its path.
inline QString writeScript(const QString& folder, const QString& name, const QByteArray& body) {
    const QString path = QDir(folder).filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace mirelo::test
