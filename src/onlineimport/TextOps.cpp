#include "onlineimport/TextOps.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace mirelo {

QString TextBetween(const QString& text, const QString& startMarker, const QString& endMarker) {
    // 0-based: the character right after the start marker, or length - 1 when it is absent.
    const qsizetype startAt = text.indexOf(startMarker);
    const qsizetype from = std::max<qsizetype>(0, startAt + startMarker.size());
    if (from > text.size())
        return {};
    const qsizetype end = text.indexOf(endMarker, from);
    if (end < from)
        return {};
    return text.mid(from, end - from);
}

QString RegexFirstGroup(const QString& text, const QString& pattern) {
    const QRegularExpression re(pattern);
    if (!re.isValid())
        return {};
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? m.captured(1) : QString();
}

namespace {

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

QString decodeBytes(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

} // namespace

LenientDecoding URLDecodeLenient(const QString& text) {
    QString in = text;
    in.replace(QLatin1Char('+'), QLatin1Char(' '));
    LenientDecoding result;
    QString& out = result.text;
    out.reserve(in.size());
    QByteArray run; // consecutive escaped bytes, decoded together so multi-byte characters hold
    const auto flushRun = [&] {
        out += decodeBytes(run);
        run.clear();
    };
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != QLatin1Char('%')) {
            flushRun();
            out += in[i];
            continue;
        }
        if (in.size() - i - 1 < 2)
            continue; // a "%" too close to the end is dropped
        const int high = hexValue(in[i + 1]);
        const int low = hexValue(in[i + 2]);
        if (high < 0 || low < 0) {
            flushRun();
            result.badEscapes += out.size();
            out += in[i];
            continue;
        }
        run += char(high * 16 + low);
        i += 2;
    }
    flushRun();
    return result;
}

std::optional<QString> URLDecode(const QString& text) {
    LenientDecoding decoded = URLDecodeLenient(text);
    if (!decoded.badEscapes.isEmpty())
        return std::nullopt;
    return std::move(decoded.text);
}

QString elidedText(const QString& text, qsizetype shown) {
    return text.size() <= shown ? text : text.left(shown) + QStringLiteral("...");
}

QString leftUtf8Bytes(const QString& text, qsizetype maxBytes) {
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const char32_t c = text[i].unicode();
        const bool pair =
            QChar::isHighSurrogate(c) && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        // A lone surrogate is written as a 3-byte replacement character.
        const qsizetype size = pair ? 4 : c < 0x80 ? 1 : c < 0x800 ? 2 : 3;
        if (bytes + size > maxBytes)
            break;
        bytes += size;
        i += pair ? 2 : 1;
    }
    return text.left(i);
}

} // namespace mirelo
