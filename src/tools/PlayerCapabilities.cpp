#include "tools/PlayerCapabilities.h"

#include <QHash>
#include <QRegularExpression>

namespace mirelo {

namespace {

// Options are listed one per row, the name first, then its type ("Flag", "String", ...).
constexpr qsizetype kListedNameWidth = 20;

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
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    connect(&m_process, &QProcess::finished, this, &PlayerCapabilityLoader::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &PlayerCapabilityLoader::onError);
}

PlayerCapabilityLoader::~PlayerCapabilityLoader() {
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning)
        m_process.kill();
}

void PlayerCapabilityLoader::start(const QString& program) {
    m_program = program;
    m_process.start(program, {QStringLiteral("-list-options")});
}

void PlayerCapabilityLoader::onFinished(int, QProcess::ExitStatus) {
    // A player that lists nothing is kept with an empty list: its options are then not filtered.
    storePlayerOptions(m_program,
                       parsePlayerOptionList(QString::fromLocal8Bit(m_process.readAll())));
    Q_EMIT loaded();
}

void PlayerCapabilityLoader::onError(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart)
        return; // a crash still ends in finished()
    Q_EMIT failed(QStringLiteral("The player %1 could not be started: %2")
                      .arg(m_program, m_process.errorString()));
}

} // namespace mirelo
