#include "convert/HardwareTrial.h"

#include "convert/EncoderCapabilities.h"
#include "convert/EncoderCommand.h"
#include "profiles/Catalog.h"
#include "profiles/SheetNames.h"

#include <QHash>
#include <QTimer>

#include <cstring>

namespace mirelo {

namespace {

// clang-format off
const HardwareApi kApis[] = {
    {"_vaapi", " -vaapi_device /dev/dri/renderD128", "format=nv12,hwupload"},
    {"_nvenc", "",                                   nullptr},
    {"_qsv",   "",                                   nullptr},
};
// clang-format on

QHash<QString, TrialResult>& trials() {
    static QHash<QString, TrialResult> kept;
    return kept;
}

QString trialKey(const QString& program, const QString& encoder) {
    return program + QLatin1Char('\n') + encoder;
}

QStringList hardwareEncoders() {
    QStringList encoders;
    for (const CatalogRow& row : catalogRows())
        if (const QString e = hardwareEncoderOf(row); !e.isEmpty() && !encoders.contains(e))
            encoders += e;
    return encoders;
}

} // namespace

const HardwareApi* hardwareApi(const QString& encoder) {
    for (const HardwareApi& api : kApis)
        if (encoder.endsWith(QLatin1String(api.suffix)))
            return &api;
    return nullptr;
}

QString hardwareEncoderOf(const CatalogRow& row) {
    for (const ItemSetting& step : row.preset)
        if (std::strcmp(step.item, sheet::kVideoCodec) == 0 && step.value) {
            const QString encoder = modernVideoEncoder(QString::fromLatin1(step.value));
            return hardwareApi(encoder) ? encoder : QString();
        }
    return {};
}

QStringList trialArguments(const QString& encoder) {
    const HardwareApi* api = hardwareApi(encoder);
    QStringList args{QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),
                     QStringLiteral("-v"), QStringLiteral("error")};
    if (api)
        args += QString::fromLatin1(api->device).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    args += {QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("testsrc2=size=320x240:rate=25:duration=1")};
    if (api && api->upload)
        args += {QStringLiteral("-vf"), QString::fromLatin1(api->upload)};
    args += {QStringLiteral("-c:v"), encoder, QStringLiteral("-f"), QStringLiteral("null"),
             QStringLiteral("-")};
    return args;
}

std::optional<TrialResult> cachedTrial(const QString& program, const QString& encoder) {
    const auto it = trials().constFind(trialKey(program, encoder));
    return it == trials().constEnd() ? std::nullopt : std::optional<TrialResult>(*it);
}

void storeTrial(const QString& program, const QString& encoder, const TrialResult& result) {
    trials().insert(trialKey(program, encoder), result);
}

HardwareTrial::HardwareTrial(QObject* parent)
    : QObject(parent), m_storeFile(defaultCapabilityFile()) {
    m_runner.setRole(QStringLiteral("encoder"));
    m_runner.setOutputs(ProgramRunner::Outputs::ErrorOnly);
    m_runner.setLineChannel(ProgramRunner::Channel::Error);
    m_runner.setTailLines(3);
    m_runner.setTimeout(kTimeoutMs);
    connect(&m_runner, &ProgramRunner::finished, this, &HardwareTrial::onFinished);
}

void HardwareTrial::start(const QString& program, const EncoderCapabilities* capabilities) {
    m_program = program;
    m_capabilities = capabilities;
    m_waiting = hardwareEncoders();
    m_stored = readStoredTrials(m_storeFile, program);
    QTimer::singleShot(0, this, &HardwareTrial::next);
}

void HardwareTrial::next() {
    while (!m_waiting.isEmpty()) {
        m_current = m_waiting.takeFirst();
        if (const std::optional<TrialResult> kept = cachedTrial(m_program, m_current)) {
            Q_EMIT tried(m_current, *kept);
            continue;
        }
        if (const QJsonObject kept = m_stored.value(m_current).toObject(); !kept.isEmpty()) {
            const TrialResult stored{kept.value(QStringLiteral("works")).toBool(),
                                     kept.value(QStringLiteral("reason")).toString()};
            storeTrial(m_program, m_current, stored);
            Q_EMIT tried(m_current, stored);
            continue;
        }
        if (m_capabilities && !m_capabilities->hasEncoder(m_current)) {
            const TrialResult missing{
                false,
                QStringLiteral("The encoder %1 has no %2 encoder.").arg(m_program, m_current)};
            keepOnDisk(missing);
            report(missing);
            continue;
        }
        m_runner.setProgram(m_program, trialArguments(m_current));
        m_runner.start();
        return;
    }
    Q_EMIT finished();
}

TrialResult HardwareTrial::resultOf(const ProgramEnd& end) const {
    if (end.succeeded())
        return {true, {}};
    QString why = end.timedOut ? QStringLiteral("it did not finish a one-second trial in time")
                               : m_runner.tail().join(QLatin1Char(' ')).trimmed();
    if (why.isEmpty())
        why = end.message;
    return {
        false,
        QStringLiteral("The %1 encoder does not work on this computer: %2").arg(m_current, why)};
}

// A trial out of time on a busy machine says nothing of the encoder: it holds for this process
// only, and the next start tries the encoder again.
void HardwareTrial::onFinished(const ProgramEnd& end) {
    const TrialResult result = resultOf(end);
    if (!end.timedOut)
        keepOnDisk(result);
    report(result);
    // The runner must not start again from inside its own signal.
    QTimer::singleShot(0, this, &HardwareTrial::next);
}

void HardwareTrial::keepOnDisk(const TrialResult& result) {
    writeStoredTrial(
        m_storeFile, m_program, m_current,
        {{QStringLiteral("works"), result.works}, {QStringLiteral("reason"), result.reason}});
}

void HardwareTrial::report(const TrialResult& result) {
    storeTrial(m_program, m_current, result);
    Q_EMIT tried(m_current, result);
}

} // namespace mirelo
