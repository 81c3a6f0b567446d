// The settings file's parser and writer on any content: bytes survive decoding, a written value
// reads back, other keys and other lines are left as they were, and writing again changes nothing.

#include "FuzzCheck.h"

#include "base/IniFile.h"

#include <QList>

#include <algorithm>

using namespace mirelo;

namespace {

const char* const kKeys[] = {"outputfolder", "existedfile", "autoshut", "profile"};

// The lines of the result that are not lines of the content must be one run: the lines written.
bool onlyOneRunOfLinesChanged(const QByteArray& before, const QByteArray& after) {
    const QList<QByteArray> a = before.split('\n');
    const QList<QByteArray> b = after.split('\n');
    qsizetype prefix = 0;
    while (prefix < a.size() && prefix < b.size() && a[prefix] == b[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
           a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
        ++suffix;
    const qsizetype replaced = a.size() == b.size() ? 1 : 0;
    // A content without a final line end has its last line continued by the lines added.
    const qsizetype continued = !before.isEmpty() && !before.endsWith('\n') ? 1 : 0;
    return prefix + suffix + std::max(replaced, continued) >= a.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input = fuzz::bytesOf(data, size);
    // Input: the file's content, then optionally a \x01 and the bytes of the value to write.
    const qsizetype split = input.indexOf('\x01');
    const QByteArray content = split < 0 ? input : input.left(split);
    const QString value =
        split < 0 ? QStringLiteral("76") : decodeSettingsText(input.mid(split + 1));
    const QString key = QLatin1String(kKeys[size % 4]);

    FUZZ_CHECK(encodeSettingsText(decodeSettingsText(input)) == input);

    QStringList before;
    for (const char* k : kKeys)
        before << iniValueIn(content, QStringLiteral("set"), QLatin1String(k));
    const QString otherBefore = iniValueIn(content, QStringLiteral("other"), QStringLiteral("k"));

    const std::optional<QByteArray> written =
        iniWithValue(content, QStringLiteral("Set"), key, value);
    if (!written)
        return 0;
    FUZZ_CHECK(iniValueIn(*written, QStringLiteral("SET"), key) == value.trimmed());
    for (int i = 0; i < 4; ++i) {
        if (QLatin1String(kKeys[i]) != key)
            FUZZ_CHECK(iniValueIn(*written, QStringLiteral("set"), QLatin1String(kKeys[i])) ==
                       before[i]);
    }
    FUZZ_CHECK(iniValueIn(*written, QStringLiteral("other"), QStringLiteral("k")) == otherBefore);
    FUZZ_CHECK(onlyOneRunOfLinesChanged(content, *written));
    FUZZ_CHECK(iniWithValue(*written, QStringLiteral("set"), key, value) == written);
    return 0;
}
