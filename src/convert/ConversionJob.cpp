#include "convert/ConversionJob.h"

#include "base/TimeString.h"
#include "convert/EncoderCapabilities.h"
#include "convert/OutputCheck.h"
#include "convert/OutputNaming.h"
#include "convert/SourceReadAhead.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace mirelo {

namespace {

QString seconds(double s) {
    return QString::number(s, 'f', 1);
}

} // namespace

ConversionJob::ConversionJob(JobOrder job, JobSettings settings, QObject* parent)
    : QObject(parent), m_job(std::move(job)), m_settings(std::move(settings)) {
    m_settings.outputFolder = m_job.outputFolder;
    m_settings.overwrite = m_job.overwrite;
    m_result.job = m_job;
    m_encoder.setRole(QStringLiteral("encoder"));
    // The progress report comes on the output, the encoder's messages on the error channel.
    m_encoder.setLineChannel(ProgramRunner::Channel::Error);
    m_encoder.setTailLines(12);
    // SIGINT is the encoder's own "stop now": it closes the file properly.
    m_encoder.setStopPolicy({ProgramRunner::PoliteStep::Interrupt, {}, kGraceMs, kGraceMs});
    connect(&m_encoder, &ProgramRunner::outputReceived, this,
            [this](ProgramRunner::Channel channel, const QByteArray& bytes) {
                if (channel == ProgramRunner::Channel::Output)
                    onEncoderOutput(bytes);
            });
    connect(&m_encoder, &ProgramRunner::lineReceived, this,
            [this](ProgramRunner::Channel, const QString& line) { onEncoderLine(line); });
    connect(&m_encoder, &ProgramRunner::finished, this, &ConversionJob::onEncoderFinished);

    prepareSourceRead(m_reader); // the help on an audio encoder is read the same way
    connect(&m_reader, &ProgramRunner::finished, this, [this](const ProgramEnd& end) {
        if (m_helpQueue.isEmpty())
            onSourceRead(end);
        else
            onHelpRead(end);
    });

    connect(&m_check, &OutputReadBack::finished, this, &ConversionJob::onOutputChecked);
}

// Closing the product mid-conversion: the runners kill the encoder as they go (no encoder
// outlives the product), and no partial file stays.
ConversionJob::~ConversionJob() {
    m_reader.disconnect(this);
    m_encoder.disconnect(this);
    m_check.disconnect(this);
    m_reader.kill();
    m_encoder.kill();
    m_check.kill();
    // m_temporary goes after the runners, with what the encoder wrote.
}

void ConversionJob::start() {
    if (!QFileInfo(m_job.source.path).isFile()) {
        finish(JobOutcome::MissingInput,
               m_job.source.path + QStringLiteral("Invalid input file name. "));
        return;
    }
    reserveProvisionalName();
    readSource();
}

// Rows start in list order and take their names in that order, before the source is read: the
// reads of rows running at once end in any order.
void ConversionJob::reserveProvisionalName() {
    const PlanRow row = m_job.planRow(cachedSourceStreams(m_job.source.path));
    m_result.outputPath = plannedOutputPath(row, m_job.profile, m_settings);
    if (!m_result.outputPath.isEmpty())
        reserveOutputName();
}

// The encoder's report on opening the file says which streams it holds. A file it cannot read
// is left to the conversion, whose failure says why.
void ConversionJob::readSource() {
    if (const SourceStreams* kept = cachedSourceStreams(m_job.source.path)) {
        m_source = *kept;
        planAndLearn();
        return;
    }
    m_reader.setProgram(m_settings.encoderPath, sourceReadArguments(m_job.source.path));
    m_reader.start();
}

void ConversionJob::onSourceRead(const ProgramEnd&) {
    if (m_cancelled) {
        finish(JobOutcome::Cancel, QStringLiteral("Conversion Canceled by the user!"));
        return;
    }
    SourceStreams found = takeSourceRead(m_job.source.path, m_reader);
    if (!found.streams.empty())
        m_source = std::move(found);
    planAndLearn();
}

// Limits an audio encoder does not state in its capability lists, and whether each encoder runs
// in one thread, come from the encoders' help, read the first time a conversion uses them. A plan
// made before such a help was read is made again once it is: the limits change what runs.
void ConversionJob::planAndLearn() {
    if (!plan())
        return;
    const QString& program = m_settings.encoderPath;
    m_plannedAudioEncoder = m_plan->audioEncoder;
    QStringList encoders{m_plan->audioEncoder, m_plan->videoEncoder.value_or(QString())};
    encoders.removeAll(QString());
    if (m_plan->videoEncoder)
        m_encoders = encoders;
    for (const QString& encoder : encoders) {
        const bool audio = encoder == m_plannedAudioEncoder;
        if (!cachedOneThread(program, encoder) ||
            (audio && !hasCachedAudioLimits(program, encoder)))
            m_helpQueue << encoder;
    }
    readNextHelp();
}

void ConversionJob::readNextHelp() {
    if (m_helpQueue.isEmpty()) {
        beginConversion();
        return;
    }
    m_reader.setProgram(m_settings.encoderPath,
                        {QStringLiteral("-hide_banner"), QStringLiteral("-h"),
                         QStringLiteral("encoder=") + m_helpQueue.first()});
    m_reader.start();
}

// Without its help an audio encoder's unstated limits still apply, and an encoder is not known to
// run in one thread. What was read is kept with the encoder's lists, so the next process starts
// its first conversion sooner; a help not read is asked for again then.
void ConversionJob::onHelpRead(const ProgramEnd& end) {
    if (m_cancelled) {
        finish(JobOutcome::Cancel, QStringLiteral("Conversion Canceled by the user!"));
        return;
    }
    const QString encoder = m_helpQueue.takeFirst();
    m_learntHelp = true;
    const QString help = end.succeeded() ? QString::fromUtf8(m_reader.keptOutput()) : QString();
    EncoderHelp said{helpStatesOneThread(help), std::nullopt};
    if (encoder == m_plannedAudioEncoder)
        said.audio = audioLimitsFromHelp(encoder, help);
    storeEncoderHelp(m_settings.encoderPath, encoder, said);
    if (end.succeeded())
        writeStoredHelp(defaultCapabilityFile(), m_settings.encoderPath, encoder, said);
    readNextHelp();
}

bool ConversionJob::keepsOneCore() const {
    return m_encoders &&
           std::all_of(m_encoders->begin(), m_encoders->end(), [this](const QString& e) {
               return cachedOneThread(m_settings.encoderPath, e).value_or(false);
           });
}

void ConversionJob::beginConversion() {
    if (m_learntHelp && !plan())
        return;
    if (!prepare())
        return;
    if (startsPastProbedEnd())
        return;
    startEncoder();
}

// The plan sees the name this job holds as free again and, the source's streams notwithstanding,
// normally gives it back.
bool ConversionJob::plan() {
    releaseOutputName(m_result.outputPath);
    m_result.outputPath.clear();
    PlanOutcome planned = planConversion(m_job.planRow(m_source ? &*m_source : nullptr),
                                         m_job.options, m_job.profile, m_settings);
    m_plan = std::move(planned.plan);
    if (!m_plan) {
        finish(JobOutcome::Fail, planned.error);
        return false;
    }
    m_result.outputPath = m_plan->outputPath;
    reserveOutputName();
    return true;
}

bool ConversionJob::prepare() {
    const ConversionPlan& plan = *m_plan;
    m_result.notes = plan.notes;
    m_result.commandLine = plan.profileCommand.text();
    m_result.program = plan.program;
    m_result.arguments = plan.arguments;
    m_temporaryPath = plan.temporaryPath;
    m_stem = plan.stem;
    m_extension = plan.extension;
    m_clipStart = plan.clipStart;
    m_clipLength = plan.clipLength;
    m_sourceLength = m_job.source.length;
    m_expected = plan.expectedSeconds;
    // The plan names the private folder before it exists; the encoder writes into the one made now.
    QString error;
    if (!m_temporary.create(plan.temporaryPath, &error)) {
        finish(JobOutcome::Fail, error);
        return false;
    }
    m_temporaryPath = m_temporary.filePath();
    m_result.arguments.last() = m_temporaryPath;
    return true;
}

// The probed length is whole seconds, rounded: only a start half a second past it is surely
// past the end. The encoder's own "Duration:" line decides the rest.
bool ConversionJob::startsPastProbedEnd() {
    if (!m_job.source.length || m_clipStart < *m_job.source.length + 0.5)
        return false;
    finish(JobOutcome::Fail, lateStartMessage(*m_job.source.length));
    return true;
}

QString ConversionJob::lateStartMessage(double inputLength) const {
    return QStringLiteral("The clip starts at %1, at or past the end of %2, which is %3 s long: "
                          "there is nothing to convert.")
        .arg(formatTimeString(qint64(m_clipStart)), m_job.source.path, seconds(inputLength));
}

void ConversionJob::startEncoder() {
    Q_EMIT processing(QStringLiteral("Progress....") + m_job.source.path + QStringLiteral(" To ") +
                      m_result.outputPath);
    m_percent = kStartProgress;
    Q_EMIT progressChanged(m_percent);
    // A hung encoder (an input that never delivers, a full pipe) reports nothing: the time-out
    // counts from the last report.
    m_encoder.setTimeout(m_stallTimeoutMs);
    m_encoder.setProgram(m_settings.encoderPath, m_result.arguments);
    m_encoder.start();
}

void ConversionJob::updateExpected() {
    m_expected = expectedLength(m_clipStart, m_clipLength, m_sourceLength);
}

void ConversionJob::onEncoderOutput(const QByteArray& bytes) {
    for (const ProgressReport& r : m_progress.feed(bytes)) {
        if (m_furthest.advancedBy(r))
            m_encoder.restartTimeout();
        if (!r.doneSeconds)
            continue;
        if (r.end)
            m_writtenLength = *r.doneSeconds;
        if (m_expected > 0) {
            const int p = kStartProgress +
                          static_cast<int>(*r.doneSeconds / m_expected * (100 - kStartProgress));
            const int clamped = std::clamp(p, kStartProgress, kRunningCeiling);
            if (clamped != m_percent) {
                m_percent = clamped;
                Q_EMIT progressChanged(m_percent);
            }
        }
        Q_EMIT rateChanged(*r.doneSeconds, m_expected, r.speed.value_or(0.0));
    }
}

void ConversionJob::onEncoderLine(const QString& line) {
    // The first "Duration:" the encoder prints is the input's; it beats the probed length.
    if (m_sawDuration)
        return;
    const std::optional<double> d = parseDurationLine(line);
    if (!d)
        return;
    m_sawDuration = true;
    m_sourceLength = *d;
    updateExpected();
    if (m_clipStart >= *d && !m_cancelled) {
        m_refusal = lateStartMessage(*d);
        m_encoder.stop();
    }
}

void ConversionJob::onEncoderFinished(const ProgramEnd& end) {
    m_result.encoderLines = m_encoder.tail();
    if (m_cancelled) {
        finish(JobOutcome::Cancel, QStringLiteral("Conversion Canceled by the user!"));
        return;
    }
    if (!m_refusal.isEmpty()) {
        finish(JobOutcome::Fail, m_refusal);
        return;
    }
    if (end.timedOut) {
        finish(JobOutcome::Fail,
               QStringLiteral("The encoder %1 reported no progress for %2 seconds and was stopped.")
                   .arg(m_settings.encoderPath)
                   .arg(m_stallTimeoutMs / 1000.0));
        return;
    }
    if (!end.succeeded()) {
        finish(JobOutcome::Fail, end.message);
        return;
    }
    if (QFileInfo(m_temporaryPath).size() <= 0) {
        finish(JobOutcome::Fail, QStringLiteral("The encoder %1 exited without writing %2.")
                                     .arg(m_settings.encoderPath, m_result.outputPath));
        return;
    }
    // The encoder's closing report may show at once that the output falls short; only the file
    // itself can show that it holds the clip, whatever the encoder claims.
    const QString reported =
        m_writtenLength ? outputLengthFailure(m_result.outputPath, m_writtenLength, m_expected)
                        : QString();
    if (!reported.isEmpty()) {
        finish(JobOutcome::Fail, reported);
        return;
    }
    m_check.start(m_settings.encoderPath, m_temporaryPath);
}

void ConversionJob::onOutputChecked(const ProgramEnd& end) {
    if (m_cancelled) {
        finish(JobOutcome::Cancel, QStringLiteral("Conversion Canceled by the user!"));
        return;
    }
    const QString failure = m_check.failure(end, m_result.outputPath, m_expected);
    if (!failure.isEmpty()) {
        finish(JobOutcome::Fail, failure);
        return;
    }
    finishOk();
}

void ConversionJob::finishOk() {
    if (m_finished)
        return;
    const PlacedOutput placed = placeOutput(
        {m_temporaryPath, m_result.outputPath, m_stem, m_extension, m_job.source.path}, m_settings);
    m_result.outputPath = placed.outputPath;
    m_result.outputBytes = placed.outputBytes;
    if (!placed.error.isEmpty()) {
        finish(JobOutcome::Fail, placed.error);
        return;
    }
    m_percent = 100;
    Q_EMIT progressChanged(m_percent);
    finish(JobOutcome::Ok);
}

void ConversionJob::reserveOutputName() {
    if (m_settings.reservations)
        m_settings.reservations->reserve(m_result.outputPath);
}

void ConversionJob::releaseOutputName(const QString& path) {
    if (m_settings.reservations && !path.isEmpty())
        m_settings.reservations->release(path);
}

void ConversionJob::cancel() {
    if (m_finished || m_cancelled)
        return;
    m_cancelled = true;
    if (m_check.isRunning()) {
        m_check.kill();
        return;
    }
    if (m_reader.isRunning()) {
        m_reader.kill(); // its end comes back as a cancel
        return;
    }
    if (!m_encoder.isRunning()) {
        finish(JobOutcome::Cancel, QStringLiteral("Conversion Canceled by the user!"));
        return;
    }
    m_encoder.stop(); // ask (SIGINT), then terminate, then kill
}

void ConversionJob::finish(JobOutcome outcome, const QString& message) {
    if (m_finished)
        return;
    m_finished = true;
    m_temporary.remove(); // empty after an "OK": its output has its final name
    // Nothing was produced under the name: a later row may take it.
    if (outcome != JobOutcome::Ok)
        releaseOutputName(m_result.outputPath);
    m_result.outcome = outcome;
    m_result.message = message;
    if (m_result.encoderLines.isEmpty())
        m_result.encoderLines = m_encoder.tail();
    // Never from inside start() or a process signal: the run may delete this job on finished().
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT finished(m_result); }, Qt::QueuedConnection);
}

} // namespace mirelo
