#include "convert/EncoderCapabilities.h"

#include <QHash>
#include <QRegularExpression>

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

// The real lists are about 40 kB each.
constexpr qsizetype kMaxListingBytes = 4 * 1024 * 1024;

} // namespace

QList<EncoderListing> parseEncoderListing(const QString& text) {
    // The description may end in a note of the codec the encoder writes: "(codec h264)".
    static const QRegularExpression codecNote(QStringLiteral("\\s*\\(codec \\S+\\)$"));
    QList<EncoderListing> rows;
    for (const QStringList& f : listRows(text, QStringLiteral("------"))) {
        if (f[0].size() != 6 || !isListedName(f[1]))
            continue;
        QString description = f.mid(2).join(QLatin1Char(' '));
        description.remove(codecNote);
        rows.append({f[1], f[0], description.left(kLongestListedText)});
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
            if (isListedName(name))
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