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

} // namespace

QSet<QString> parseEncoderList(const QString& text) {
    QSet<QString> names;
    for (const QStringList& f : listRows(text, QStringLiteral("------"))) {
        const QString& flags = f[0];
        if (flags.size() == 6 && flags[3] != QLatin1Char('X'))
            names.insert(f[1]);
    }
    return names;
}

QSet<QString> parseMuxerList(const QString& text) {
    QSet<QString> names;
    for (const QStringList& f : listRows(text, QStringLiteral("--"))) {
        if (!f[0].contains(QLatin1Char('E')) || f[0].size() > 2)
            continue;
        for (const QString& name : f[1].split(QLatin1Char(','), Qt::SkipEmptyParts))
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

CapabilityLoader::CapabilityLoader(QObject* parent) : QObject(parent) {
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardInputFile(QProcess::nullDevice());
    connect(&m_process, &QProcess::finished, this, &CapabilityLoader::onFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &CapabilityLoader::onError);
}

// QProcess stops a list that is still running when it is destroyed; no signal may reach a
// half-destroyed loader.
CapabilityLoader::~CapabilityLoader() {
    m_process.disconnect(this);
}

void CapabilityLoader::start(const QString& program) {
    m_program = program;
    m_result = {};
    m_readingMuxers = false;
    runList("-encoders");
}

void CapabilityLoader::runList(const char* option) {
    m_process.start(m_program, {QStringLiteral("-hide_banner"), QLatin1String(option)});
}

void CapabilityLoader::onFinished(int exitCode, QProcess::ExitStatus status) {
    const QString text = QString::fromUtf8(m_process.readAllStandardOutput());
    if (status != QProcess::NormalExit || exitCode != 0) {
        Q_EMIT failed(QStringLiteral("The encoder %1 could not list its %2 (exit code %3).")
                          .arg(m_program, m_readingMuxers ? QStringLiteral("formats")
                                                          : QStringLiteral("encoders"))
                          .arg(exitCode));
        return;
    }
    if (!m_readingMuxers) {
        m_result.encoders = parseEncoderList(text);
        m_readingMuxers = true;
        runList("-muxers");
        return;
    }
    m_result.muxers = parseMuxerList(text);
    storeCapabilities(m_program, m_result);
    Q_EMIT loaded();
}

void CapabilityLoader::onError(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart)
        return; // a crash also ends in finished()
    Q_EMIT failed(QStringLiteral("The encoder %1 could not be started: %2")
                      .arg(m_program, m_process.errorString()));
}

} // namespace mirelo
