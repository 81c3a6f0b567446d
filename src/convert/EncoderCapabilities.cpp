#include "convert/EncoderCapabilities.h"

#include "base/SafeRead.h"
#include "base/ToolLocator.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cmath>

namespace mirelo {

namespace {

// Lines after the separator: " V....D libx264   description" / "  E mp4   description".
QList<QStringList> listRows(const QString& text, const QString& separator) {
    QList<QStringList> rows;
    bool past = false;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!past) {
            past = line.trimmed() == separator;
            continue;
        }
        const QStringList fields = line.trimmed().split(blanks, Qt::SkipEmptyParts);
        if (fields.size() >= 2)
            rows += fields;
    }
    return rows;
}

QHash<QString, EncoderCapabilities>& cache() {
    static QHash<QString, EncoderCapabilities> c;
    return c;
}

QHash<QString, QHash<QString, AudioLimits>>& audioLimitsCache() {
    static QHash<QString, QHash<QString, AudioLimits>> c;
    return c;
}

QHash<QString, QHash<QString, bool>>& oneThreadCache() {
    static QHash<QString, QHash<QString, bool>> c;
    return c;
}

// Version 2 added the video encoders' descriptions.
constexpr int kFileVersion = 2;
// The real lists are about 40 kB each, the file about as large.
constexpr qsizetype kMaxListingBytes = 4 * 1024 * 1024;
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

namespace {

const QString kTrials = QStringLiteral("trials");
const QString kHelp = QStringLiteral("help");

// What a sound entry holds. Names are those of the encoder's lists: no blanks, no leading dash.
constexpr qsizetype kLongestName = 64;
constexpr qsizetype kLongestText = 1024;

bool isName(const QString& name) {
    return !name.isEmpty() && name.size() <= kLongestName && !name.startsWith(QLatin1Char('-')) &&
           std::all_of(name.begin(), name.end(),
                       [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; });
}

bool isNameValue(const QJsonValue& v) {
    return v.isString() && isName(v.toString());
}

bool isText(const QJsonValue& v) {
    return v.isString() && v.toString().size() <= kLongestText;
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
        if (!isName(it.key()) || !isSound(it.value()))
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
    if (!isName(name) || !isSound(result))
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
                result.value(QStringLiteral("reason")).toString().left(kLongestText));
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

QList<EncoderListing> parseEncoderListing(const QString& text) {
    // The description may end in a note of the codec the encoder writes: "(codec h264)".
    static const QRegularExpression codecNote(QStringLiteral("\\s*\\(codec \\S+\\)$"));
    QList<EncoderListing> rows;
    for (const QStringList& f : listRows(text, QStringLiteral("------"))) {
        if (f[0].size() != 6 || !isName(f[1]))
            continue;
        QString description = f.mid(2).join(QLatin1Char(' '));
        description.remove(codecNote);
        rows.append({f[1], f[0], description.left(kLongestText)});
    }
    return rows;
}

QSet<QString> parseEncoderList(const QString& text) {
    QSet<QString> names;
    for (const EncoderListing& row : parseEncoderListing(text))
        if (!row.isExperimental())
            names.insert(row.name);
    return names;
}

QSet<QString> parseMuxerList(const QString& text) {
    QSet<QString> names;
    for (const QStringList& f : listRows(text, QStringLiteral("--"))) {
        if (!f[0].contains(QLatin1Char('E')) || f[0].size() > 2)
            continue;
        for (const QString& name : f[1].split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (isName(name))
                names.insert(name);
    }
    return names;
}

const EncoderCapabilities* cachedCapabilities(const QString& program) {
    const auto it = cache().constFind(program);
    return it == cache().constEnd() ? nullptr : &*it;
}

void storeCapabilities(const QString& program, const EncoderCapabilities& capabilities) {
    cache().insert(program, capabilities);
}

QHash<QString, AudioLimits> cachedAudioLimits(const QString& program) {
    return audioLimitsCache().value(program);
}

bool hasCachedAudioLimits(const QString& program, const QString& encoder) {
    const auto it = audioLimitsCache().constFind(program);
    return it != audioLimitsCache().constEnd() && it->contains(encoder);
}

void storeAudioLimits(const QString& program, const QString& encoder, const AudioLimits& limits) {
    audioLimitsCache()[program].insert(encoder, limits);
}

std::optional<bool> cachedOneThread(const QString& program, const QString& encoder) {
    const QHash<QString, bool> known = oneThreadCache().value(program);
    const auto it = known.constFind(encoder);
    return it == known.constEnd() ? std::nullopt : std::optional<bool>(*it);
}

void storeEncoderHelp(const QString& program, const QString& encoder, const EncoderHelp& help) {
    oneThreadCache()[program].insert(encoder, help.oneThread);
    if (help.audio)
        storeAudioLimits(program, encoder, *help.audio);
}

CapabilityLoader::CapabilityLoader(QObject* parent) : QObject(parent) {
    for (ProgramRunner* runner : {&m_encoders, &m_muxers}) {
        runner->setRole(QStringLiteral("encoder"));
        runner->setOutputs(ProgramRunner::Outputs::OutputOnly);
        runner->setKeptOutputLimit(kMaxListingBytes);
        runner->setTimeout(kTimeoutMs);
        connect(runner, &ProgramRunner::finished, this,
                [this, runner](const ProgramEnd& end) { onFinished(*runner, end); });
    }
}

// The runners kill a listing still running, without signals.
CapabilityLoader::~CapabilityLoader() = default;

void CapabilityLoader::setTimeout(int milliseconds) {
    m_encoders.setTimeout(milliseconds);
    m_muxers.setTimeout(milliseconds);
}

void CapabilityLoader::start(const QString& program) {
    m_program = program;
    m_result = {};
    m_pending = 2;
    m_done = false;
    if (!m_file)
        m_file = defaultCapabilityFile();
    if (cachedCapabilities(program)) {
        loadedLater();
        return;
    }
    if (!m_file->isEmpty()) {
        if (std::optional<EncoderCapabilities> stored = readStoredCapabilities(*m_file, program)) {
            storeCapabilities(program, *stored);
            const QHash<QString, EncoderHelp> helps = readStoredHelp(*m_file, program);
            for (auto it = helps.begin(); it != helps.end(); ++it)
                storeEncoderHelp(program, it.key(), it.value());
            loadedLater();
            return;
        }
    }
    m_encoders.setProgram(program, {QStringLiteral("-hide_banner"), QStringLiteral("-encoders")});
    m_muxers.setProgram(program, {QStringLiteral("-hide_banner"), QStringLiteral("-muxers")});
    m_encoders.start();
    m_muxers.start();
}

void CapabilityLoader::onFinished(const ProgramRunner& runner, const ProgramEnd& end) {
    if (m_done)
        return;
    const bool muxers = &runner == &m_muxers;
    if (end.kind == ProgramEnd::Kind::FailedToStart || end.timedOut) {
        fail(end.message);
        return;
    }
    if (!end.succeeded()) {
        fail(QStringLiteral("The encoder %1 could not list its %2 (exit code %3).")
                 .arg(m_program, muxers ? QStringLiteral("formats") : QStringLiteral("encoders"))
                 .arg(end.exitCode));
        return;
    }
    const QString text = QString::fromUtf8(runner.keptOutput());
    if (muxers)
        m_result.muxers = parseMuxerList(text);
    else {
        m_result.encoders = parseEncoderList(text);
        for (const EncoderListing& row : parseEncoderListing(text))
            if (row.isVideo())
                m_result.videoEncoders.append(row);
    }
    if (--m_pending > 0)
        return;
    m_done = true;
    storeCapabilities(m_program, m_result);
    if (!m_file->isEmpty())
        writeStoredCapabilities(*m_file, m_program, m_result); // a read-only disk costs only time
    Q_EMIT loaded();
}

// The other list is of no use without this one.
void CapabilityLoader::fail(const QString& message) {
    m_done = true;
    m_encoders.kill();
    m_muxers.kill();
    Q_EMIT failed(message);
}

// Never from inside start(): a kept answer reaches the caller the way a fresh read does.
void CapabilityLoader::loadedLater() {
    m_done = true;
    QMetaObject::invokeMethod(this, &CapabilityLoader::loaded, Qt::QueuedConnection);
}

} // namespace mirelo
