#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace mirelo {

// The text between the first `startMarker` and the next `endMarker` after it. A missing start
// marker is not detected: the search then starts length(startMarker) - 1 characters in, as the
// page parser has always done. Empty when no end marker follows.
QString TextBetween(const QString& text, const QString& startMarker, const QString& endMarker);

// The first capture group of the first match of `pattern` (case-sensitive); empty without a match.
QString RegexFirstGroup(const QString& text, const QString& pattern);

// Decodes an address-encoded text: "+" is a blank, "%XY" a byte. Runs of escaped bytes are read as
// UTF-8 (as Latin-1 when they are not valid UTF-8). A "%" with fewer than two characters after it
// is dropped. Returns nullopt when a "%" is followed by two characters that are not hex digits.
std::optional<QString> URLDecode(const QString& text);

// URLDecode that goes on past bad escapes: each "%" followed by two characters that are not hex
// digits is kept as it is, and its position in the decoded text is listed in badEscapes.
struct LenientDecoding {
    QString text;
    QList<qsizetype> badEscapes;
};
LenientDecoding URLDecodeLenient(const QString& text);

// Page text quoted in a message: at most `shown` characters, then "...".
QString elidedText(const QString& text, qsizetype shown = 60);

// The longest start of `text` whose UTF-8 form has at most `maxBytes` bytes; characters are never
// split.
QString leftUtf8Bytes(const QString& text, qsizetype maxBytes);

} // namespace mirelo
