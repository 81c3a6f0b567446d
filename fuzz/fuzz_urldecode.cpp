// URLDecode on any text: no crash, and any text escaped as an address reads back as itself.

#include "FuzzCheck.h"

#include "onlineimport/TextOps.h"

#include <QUrl>

using namespace mirelo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(fuzz::bytesOf(data, size));
    const std::optional<QString> decoded = URLDecode(text);
    if (!text.contains(QLatin1Char('%')) && !text.contains(QLatin1Char('+')))
        FUZZ_CHECK(decoded == text);
    const QString escaped = QString::fromLatin1(QUrl::toPercentEncoding(text));
    FUZZ_CHECK(URLDecode(escaped) == text);
    return 0;
}
