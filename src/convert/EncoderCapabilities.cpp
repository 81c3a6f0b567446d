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
    for (QProcess* p : {&m_encoders, &m_muxers}) {
        const bool muxers = p == &m_muxers;
        p->setStandardInputFile(QProcess::nullDevice());
        connect(p, &QProcess::finished, this, [this, p, muxers] { onFinished(*p, muxers); });
        connect(p, &QProcess::errorOccurred, this,
                [this, p](QProcess::ProcessError e) { onError(*p, e); });
    }
}

// QProcess stops a list that is still running when it is destroyed; no signal may reach a
// half-destroyed loader.
CapabilityLoader::~CapabilityLoader() {
    m_encoders.disconnect(this);
    m_muxers.disconnect(this);
}

void CapabilityLoader::start(const QString& program) {
    m_program = program;
    m_result = {};
    m_pending = 2;
    m_done = false;
    m_encoders.start(program, {QStringLiteral("-hide_banner"), QStringLiteral("-encoders")});
    m_muxers.start(program, {QStringLiteral("-hide_banner"), QStringLiteral("-muxers")});
}

void CapabilityLoader::onFinished(QProcess& process, bool muxers) {
    if (m_done)
        return;
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_done = true;
        Q_EMIT failed(
            QStringLiteral("The encoder %1 could not list its %2 (exit code %3).")
                .arg(m_program, muxers ? QStringLiteral("formats") : QStringLiteral("encoders"))
                .arg(process.exitCode()));
        return;
    }
    if (muxers)
        m_result.muxers = parseMuxerList(text);
    else
        m_result.encoders = parseEncoderList(text);
    if (--m_pending > 0)
        return;
    m_done = true;
    storeCapabilities(m_program, m_result);
    Q_EMIT loaded();
}

void CapabilityLoader::onError(QProcess& process, QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart || m_done)
        return; // a crash also ends in finished()
    m_done = true;
    Q_EMIT failed(QStringLiteral("The encoder %1 could not be started: %2")
                      .arg(m_program, process.errorString()));
}

} // namespace mirelo
