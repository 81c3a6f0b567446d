#include "player/PlayerCapabilities.h"

#include <QHash>
#include <QRegularExpression>

namespace mirelo {

namespace {

// Options are listed one per row, the name first, then its type ("Flag", "String", ...).
constexpr qsizetype kListedNameWidth = 20;
// The real list is about 100 kB.
constexpr qsizetype kMaxListingBytes = 4 * 1024 * 1024;

QHash<QString, QSet<QString>>& optionCache() {
    static QHash<QString, QSet<QString>> cache;
    return cache;
}

} // namespace

QSet<QString> parsePlayerOptionList(const QString& text) {
    // A row: one blank, the name, blanks, the type (a capitalised word).
    static const QRegularExpression row(QStringLiteral("^ ([a-z0-9][^\\s]*)\\s+[A-Z][a-z]"));
    QSet<QString> names;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = row.match(line);
        if (m.hasMatch())
            names.insert(m.captured(1));
    }
    return names;
}

bool playerAcceptsOption(const QSet<QString>& knownOptions, const QString& option) {
    if (knownOptions.contains(option))
        return true;
    for (const QString& name : knownOptions) {
        if (name.endsWith(QLatin1Char('*')) && option.startsWith(name.chopped(1)))
            return true;
        if (name.size() == kListedNameWidth && option.startsWith(name))
            return true;
    }
    return false;
}

const QSet<QString>* cachedPlayerOptions(const QString& program) {
    const auto it = optionCache().constFind(program);
    return it == optionCache().constEnd() ? nullptr : &it.value();
}

void storePlayerOptions(const QString& program, const QSet<QString>& options) {
    optionCache().insert(program, options);
}

PlayerCapabilityLoader::PlayerCapabilityLoader(QObject* parent) : QObject(parent) {
    m_runner.setRole(QStringLiteral("player"));
    m_runner.setOutputs(ProgramRunner::Outputs::Merged);
    m_runner.setKeptOutputLimit(kMaxListingBytes);
    m_runner.setTimeout(kTimeoutMs);
    connect(&m_runner, &ProgramRunner::finished, this, &PlayerCapabilityLoader::onFinished);
}

PlayerCapabilityLoader::~PlayerCapabilityLoader() = default;

void PlayerCapabilityLoader::start(const QString& program) {
    m_program = program;
    m_runner.setProgram(program, {QStringLiteral("-list-options")});
    m_runner.start();
}

void PlayerCapabilityLoader::onFinished(const ProgramEnd& end) {
    if (end.kind == ProgramEnd::Kind::FailedToStart || end.timedOut) {
        Q_EMIT failed(end.message);
        return;
    }
    // A player that lists nothing (or crashes) is kept with an empty list: its options are then
    // not filtered.
    storePlayerOptions(m_program,
                       parsePlayerOptionList(QString::fromLocal8Bit(m_runner.keptOutput())));
    Q_EMIT loaded();
}

} // namespace mirelo
