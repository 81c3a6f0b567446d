// The watch-page parser, the stream map and the download's file name on any page: every code
// stored is a known format with a link, and the file name is always a safe single name.

#include "FuzzCheck.h"

#include "onlineimport/StreamLinks.h"
#include "onlineimport/WatchPage.h"

using namespace mirelo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString page = QString::fromUtf8(fuzz::bytesOf(data, size));
    WatchPageInfo info;
    QStringList warnings;
    ParseWatchPage(page, info, &warnings);

    GetStreamMap(page);
    StreamLinks links;
    const QList<int> codes = readStreamLinks(page, links, &warnings);
    for (const int code : codes) {
        FUZZ_CHECK(links.contains(code));
        FUZZ_CHECK(streamFormat(code) != nullptr);
    }
    for (auto it = links.cbegin(); it != links.cend(); ++it)
        FUZZ_CHECK(streamFormat(it.key()) != nullptr);

    const QString name = downloadFileName(info.title, QStringLiteral(".mp4"));
    FUZZ_CHECK(name.endsWith(QLatin1String(".mp4")));
    const QString base = name.chopped(4);
    FUZZ_CHECK(!base.isEmpty() && base != QLatin1String(".") && base != QLatin1String(".."));
    FUZZ_CHECK(!name.contains(QLatin1Char('/')));
    FUZZ_CHECK(name.toUtf8().size() <= 255);
    for (const QChar c : name)
        FUZZ_CHECK(c.unicode() >= 0x20 && c.unicode() != 0x7F);
    return 0;
}
