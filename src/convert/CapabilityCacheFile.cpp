#include "convert/CapabilityCacheFile.h"

#include "base/SafeRead.h"
#include "base/ToolLocator.h"
#include "convert/EncoderCapabilities.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace mirelo {

namespace {

// Version 2 added the video encoders' descriptions.
constexpr int kFileVersion = 2;
// The file is about as large as the lists, which are about 40 kB each.
constexpr qint64 kLargestCapabilityFile = 4 * 1024 * 1024;

double modifiedMs(const QFileInfo& info) {
    return info.exists() ? double(info.lastModified().toMSecsSinceEpoch()) : 0.0;
}

// What identifies one build of the program and the libraries it loads: an upgrade of either
// changes it. Installing or removing a shared library rewrites the dynamic linker's index.
QJsonObject programStamp(const QString& program) {
    const QFileInfo info(program);
    return {
        {QStringLiteral("size"), double(info.size())},
        {QStringLiteral("modified"), modifiedMs(info)},
        {QStringLiteral("libraries"), modifiedMs(QFileInfo(QStringLiteral("/etc/ld.so.cache")))}};
}

// A file that is not read (not a regular file, too large) is as good as none: the lists are
// read from the encoder again and the file is written anew.
QJsonObject readCapabilityFile(const QString& file) {
    const SmallFileRead read = readSmallRegularFile(file, kLargestCapabilityFile);
    if (!read.bytes) {
        if (!read.missing)
            qWarning("The encoder capability cache %s %s: it is built again.",
                     qUtf8Printable(QDir::toNativeSeparators(file)), qUtf8Printable(read.problem));
        return {};
    }
    const QJsonObject root = QJsonDocument::fromJson(*read.bytes).object();
    if (root.value(QStringLiteral("version")).toInt() != kFileVersion)
        return {};
    return root.value(QStringLiteral("programs")).toObject();
}

QSet<QString> nameSet(const QJsonValue& value) {
    QSet<QString> names;
    for (const QJsonValue& v : value.toArray())
        names.insert(v.toString());
    names.remove(QString());
    return names;
}

QJsonArray nameArray(const QSet<QString>& names) {
    QStringList sorted(names.begin(), names.end());
    sorted.sort();
    return QJsonArray::fromStringList(sorted);
}

QJsonArray listingArray(const QList<EncoderListing>& rows) {
    QJsonArray array;
    for (const EncoderListing& row : rows)
        array.append(QJsonArray{row.flags, row.name, row.description});
    return array;
}

QList<EncoderListing> listingRows(const QJsonValue& value) {
    QList<EncoderListing> rows;
    for (const QJsonValue& v : value.toArray()) {
        const QJsonArray row = v.toArray();
        if (row.size() == 3)
            rows.append({row[1].toString(), row[0].toString(), row[2].toString()});
    }
    return rows;
}

} // namespace

QString defaultCapabilityFile() {
    return QDir(writableFolder()).filePath(QStringLiteral("Cache/encoder-capabilities.json"));
}

bool isListedName(const QString& name) {
    return !name.isEmpty() && name.size() <= kLongestListedName &&
           !name.startsWith(QLatin1Char('-')) && std::all_of(name.begin(), name.end(), [](QChar c) {
               return c.unicode() > 0x20 && c.unicode() < 0x7f;
           });
}

namespace {

const QString kTrials = QStringLiteral("trials");
const QString kHelp = QStringLiteral("help");

bool isNameValue(const QJsonValue& v) {
    return v.isString() && isListedName(v.toString());
}

bool isText(const QJsonValue& v) {
    return v.isString() && v.toString().size() <= kLongestListedText;
}

bool isWholeNumberIn(const QJsonValue& v, int lowest, int highest) {
    const double d = v.toDouble();
    return v.isDouble() && d == std::floor(d) && d >= lowest && d <= highest;
}

bool isArrayOf(const QJsonValue& v, bool (*isSound)(const QJsonValue&)) {
    const QJsonArray array = v.toArray();
    return v.isArray() && std::all_of(array.begin(), array.end(), isSound);
}

bool isListingRow(const QJsonValue& v) {
    const QJsonArray row = v.toArray();
    return row.size() == 3 && row[0].isString() && row[0].toString().size() == 6 &&
           isNameValue(row[1]) && isText(row[2]);
}

bool isSampleRate(const QJsonValue& v) {
    return isWholeNumberIn(v, kLowestSampleRate, kHighestSampleRate);
}

// Channels 0: the help states no limit.
bool isHelp(const QJsonValue& v) {
    const QJsonObject o = v.toObject();
    if (!o.value(QStringLiteral("oneThread")).isBool())
        return false;
    if (!o.contains(QStringLiteral("channels")))
        return !o.contains(QStringLiteral("rates"));
    return isWholeNumberIn(o.value(QStringLiteral("channels")), 0, kMostChannels) &&
           isArrayOf(o.value(QStringLiteral("rates")), isSampleRate);
}

bool isTrial(const QJsonValue& v) {
    const QJsonObject o = v.toObject();
    return o.value(QStringLiteral("works")).isBool() && isText(o.value(QStringLiteral("reason")));
}

// Absent, or results by encoder name.
bool isSection(const QJsonValue& v, bool (*isSound)(const QJsonValue&)) {
    const QJsonObject o = v.toObject();
    if (v.isUndefined())
        return true;
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!isListedName(it.key()) || !isSound(it.value()))
            return false;
    return v.isObject();
}

bool isSoundEntry(const QJsonObject& entry) {
    return isArrayOf(entry.value(QStringLiteral("encoders")), isNameValue) &&
           isArrayOf(entry.value(QStringLiteral("muxers")), isNameValue) &&
           isArrayOf(entry.value(QStringLiteral("video")), isListingRow) &&
           isSection(entry.value(kHelp), isHelp) && isSection(entry.value(kTrials), isTrial);
}

// The program's entry while its stamp holds and all it holds is sound; empty otherwise, and then
// none of it is used: the encoder is asked again and the entry written anew.
QJsonObject currentEntry(const QJsonObject& programs, const QString& program) {
    const QJsonObject entry = programs.value(program).toObject();
    const QJsonObject stamp = programStamp(program);
    for (auto it = stamp.begin(); it != stamp.end(); ++it)
        if (entry.value(it.key()) != it.value())
            return {};
    return isSoundEntry(entry) ? entry : QJsonObject();
}

// Written aside and renamed: a reader never sees half a file.
bool writeCapabilityFile(const QString& file, const QJsonObject& programs) {
    const QJsonObject root{{QStringLiteral("version"), kFileVersion},
                           {QStringLiteral("programs"), programs}};
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!clearNonRegularFile(file)) // the file is written in place of a link, never through it
        return false;
    QSaveFile out(file);
    return out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(root).toJson()) >= 0 &&
           out.commit();
}

} // namespace

std::optional<EncoderCapabilities> readStoredCapabilities(const QString& file,
                                                          const QString& program) {
    const QJsonObject entry = currentEntry(readCapabilityFile(file), program);
    if (entry.isEmpty())
        return std::nullopt;
    EncoderCapabilities c{nameSet(entry.value(QStringLiteral("encoders"))),
                          nameSet(entry.value(QStringLiteral("muxers"))),
                          listingRows(entry.value(QStringLiteral("video")))};
    if (c.encoders.isEmpty() || c.muxers.isEmpty())
        return std::nullopt;
    return c;
}

bool writeStoredCapabilities(const QString& file, const QString& program,
                             const EncoderCapabilities& capabilities) {
    QJsonObject programs;
    const QJsonObject before = readCapabilityFile(file);
    for (auto it = before.begin(); it != before.end(); ++it)
        if (QFileInfo::exists(it.key())) // programs since removed are dropped
            programs.insert(it.key(), it.value());
    QJsonObject entry = programStamp(program);
    entry.insert(QStringLiteral("encoders"), nameArray(capabilities.encoders));
    entry.insert(QStringLiteral("muxers"), nameArray(capabilities.muxers));
    entry.insert(QStringLiteral("video"), listingArray(capabilities.videoEncoders));
    programs.insert(program, entry);
    return writeCapabilityFile(file, programs);
}

namespace {

QJsonObject readStoredSection(const QString& file, const QString& program, const QString& section) {
    return currentEntry(readCapabilityFile(file), program).value(section).toObject();
}

// A result that would not read back as sound is not stored: it would spoil the whole entry.
bool writeStoredResult(const QString& file, const QString& program, const QString& section,
                       const QString& name, const QJsonValue& result,
                       bool (*isSound)(const QJsonValue&)) {
    if (!isListedName(name) || !isSound(result))
        return false;
    QJsonObject programs = readCapabilityFile(file);
    QJsonObject entry = currentEntry(programs, program);
    if (entry.isEmpty())
        return false;
    QJsonObject results = entry.value(section).toObject();
    results.insert(name, result);
    entry.insert(section, results);
    programs.insert(program, entry);
    return writeCapabilityFile(file, programs);
}

} // namespace

QJsonObject readStoredTrials(const QString& file, const QString& program) {
    return readStoredSection(file, program, kTrials);
}

bool writeStoredTrial(const QString& file, const QString& program, const QString& name,
                      const QJsonObject& result) {
    QJsonObject kept = result;
    kept.insert(QStringLiteral("reason"),
                result.value(QStringLiteral("reason")).toString().left(kLongestListedText));
    return writeStoredResult(file, program, kTrials, name, kept, isTrial);
}

QHash<QString, EncoderHelp> readStoredHelp(const QString& file, const QString& program) {
    QHash<QString, EncoderHelp> found;
    const QJsonObject stored = readStoredSection(file, program, kHelp);
    for (auto it = stored.begin(); it != stored.end(); ++it) {
        const QJsonObject o = it.value().toObject();
        EncoderHelp help{o.value(QStringLiteral("oneThread")).toBool(), std::nullopt};
        if (o.contains(QStringLiteral("channels"))) {
            AudioLimits limits;
            limits.maxChannels = o.value(QStringLiteral("channels")).toInt();
            for (const QJsonValue& rate : o.value(QStringLiteral("rates")).toArray())
                limits.sampleRates.append(rate.toInt());
            help.audio = limits;
        }
        found.insert(it.key(), help);
    }
    return found;
}

bool writeStoredHelp(const QString& file, const QString& program, const QString& encoder,
                     const EncoderHelp& help) {
    QJsonObject o{{QStringLiteral("oneThread"), help.oneThread}};
    if (help.audio) {
        QJsonArray rates;
        for (const int rate : help.audio->sampleRates)
            rates.append(rate);
        o.insert(QStringLiteral("channels"), help.audio->maxChannels);
        o.insert(QStringLiteral("rates"), rates);
    }
    return writeStoredResult(file, program, kHelp, encoder, o, isHelp);
}

} // namespace mirelo
