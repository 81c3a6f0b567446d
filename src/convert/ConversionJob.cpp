#include "convert/ConversionJob.h"

#include "convert/OutputNaming.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace mirelo {

namespace {

// An output may end a little before the clip (the last frame, an audio packet); anything
// shorter than this is a truncated conversion.
double lengthTolerance(double expected) {
    return std::max(1.0, expected * 0.1);
}

QString seconds(double s) {
    return QString::number(s, 'f', 1);
}

QString quoteForShell(const QString& a) {
    static const QString safe = QStringLiteral("-_./:=+,@%");
    const bool plain = !a.isEmpty() && std::all_of(a.begin(), a.end(), [](QChar c) {
        return c.isLetterOrNumber() || safe.contains(c);
    });
    if (plain)
        return a;
    return QLatin1Char('\'') + QString(a).replace(QLatin1Char('\''), QStringLiteral("'\\''")) +
           QLatin1Char('\'');
}

} // namespace

QString JobResult::status() const {
    switch (outcome) {
    case JobOutcome::Ok:
        return QStringLiteral("OK");
    case JobOutcome::Fail:
        return QStringLiteral("Fail");
    case JobOutcome::Cancel:
        return QStringLiteral("Cancel");
    case JobOutcome::MissingInput:
        break;
    }
    return {};
}

QString JobResult::detail() const {
    QStringList parts;
    if (!message.isEmpty())
        parts += message;
    if (outcome != JobOutcome::Ok && !encoderLines.isEmpty())
        parts += QStringLiteral("Encoder output:\n") + encoderLines.join(QLatin1Char('\n'));
    if (!commandLine.isEmpty())
        parts += QStringLiteral("Profile command line:\n") + commandLine;
    if (!arguments.isEmpty())
        parts += QStringLiteral("Ran:\n") + displayArguments(program, arguments);
    return parts.join(QStringLiteral("\n\n"));
}

QString displayArguments(const QString& program, const QStringList& arguments) {
    QStringList quoted{quoteForShell(program)};
    for (const QString& a : arguments)
        quoted += quoteForShell(a);
    return quoted.join(QLatin1Char(' '));
}

ConversionJob::ConversionJob(JobInput input, JobSettings settings, QObject* parent)
    : QObject(parent), m_input(std::move(input)), m_settings(std::move(settings)) {
    m_stopTimer.setSingleShot(true);
    connect(&m_stopTimer, &QTimer::timeout, this, &ConversionJob::escalateStop);
}

ConversionJob::~ConversionJob() {
    // Closing the product mid-conversion: no encoder outlives it, no partial file stays.
    if (m_encoder)
        m_encoder->disconnect(this); // QProcess kills a running encoder as it is destroyed
    if (m_check)
        m_check->disconnect(this);
}

void ConversionJob::start() {
    if (!QFileInfo(m_input.inputPath).isFile()) {
        finish(JobOutcome::MissingInput,
               m_input.inputPath + QStringLiteral("Invalid input file name. "));
        return;
    }
    if (!prepare())
        return;
    startEncoder();
}

bool ConversionJob::prepare() {
    if (!m_input.sheet) {
        finish(JobOutcome::Fail, QStringLiteral("No option sheet is given."));
        return false;
    }
    const PlanRow row{
        m_input.inputPath, m_input.clipStart, m_input.clipEnd, m_input.probedLength, {}};
    PlanOutcome planned = planConversion(row, *m_input.sheet, m_input.position, m_settings);
    if (!planned.plan) {
        finish(JobOutcome::Fail, planned.error);
        return false;
    }
    const ConversionPlan& plan = *planned.plan;
    m_result.outputPath = plan.outputPath;
    m_result.commandLine = plan.profileCommand.text();
    m_result.program = plan.program;
    m_result.arguments = plan.arguments;
    m_temporaryPath = plan.temporaryPath;
    m_stem = plan.stem;
    m_extension = plan.extension;
    m_clipStart = plan.clipStart;
    m_clipLength = plan.clipLength;
    m_sourceLength = m_input.probedLength;
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

void ConversionJob::startEncoder() {
    Q_EMIT processing(QStringLiteral("Progress....") + m_input.inputPath + QStringLiteral(" To ") +
                      m_result.outputPath);
    m_encoder = std::make_unique<QProcess>();
    m_encoder->setStandardInputFile(QProcess::nullDevice());
    // Its own process group keeps a terminal's Ctrl+C for the product, which stops the encoder
    // in stages; and the encoder dies with the product.
    m_encoder->setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    connect(m_encoder.get(), &QProcess::readyReadStandardOutput, this,
            &ConversionJob::onEncoderOutput);
    connect(m_encoder.get(), &QProcess::readyReadStandardError, this, &ConversionJob::onEncoderLog);
    connect(m_encoder.get(), &QProcess::finished, this, &ConversionJob::onEncoderFinished);
    connect(m_encoder.get(), &QProcess::errorOccurred, this, &ConversionJob::onEncoderError);
    m_percent = kStartProgress;
    Q_EMIT progressChanged(m_percent);
    m_encoder->start(m_settings.encoderPath, m_result.arguments);
}

void ConversionJob::updateExpected() {
    m_expected = expectedLength(m_clipStart, m_clipLength, m_sourceLength);
}

void ConversionJob::onEncoderOutput() {
    for (const ProgressReport& r : m_progress.feed(m_encoder->readAllStandardOutput())) {
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

void ConversionJob::onEncoderLog() {
    for (const QString& line : m_log.feed(m_encoder->readAllStandardError())) {
        // The first "Duration:" the encoder prints is the input's; it beats the probed length.
        if (m_sawDuration)
            continue;
        if (const std::optional<double> d = parseDurationLine(line)) {
            m_sawDuration = true;
            m_sourceLength = *d;
            updateExpected();
        }
    }
}

void ConversionJob::onEncoderFinished(int exitCode, QProcess::ExitStatus status) {
    m_stopTimer.stop();
    onEncoderOutput();
    onEncoderLog();
    m_result.encoderLines = m_log.lines();
    if (m_cancelled) {
        finish(JobOutcome::Cancel, QStringLiteral("Conversion Canceled by the user!"));
        return;
    }
    if (status != QProcess::NormalExit || exitCode != 0) {
        finish(JobOutcome::Fail,
               status != QProcess::NormalExit
                   ? QStringLiteral("The encoder %1 crashed.").arg(m_settings.encoderPath)
                   : QStringLiteral("The encoder %1 failed (exit code %2).")
                         .arg(m_settings.encoderPath)
                         .arg(exitCode));
        return;
    }
    if (QFileInfo(m_temporaryPath).size() <= 0) {
        finish(JobOutcome::Fail, QStringLiteral("The encoder %1 exited without writing %2.")
                                     .arg(m_settings.encoderPath, m_result.outputPath));
        return;
    }
    // The encoder's closing report gives the length of what it wrote; reading the file back
    // costs another encoder start, so it is the fallback when that report is missing.
    if (m_writtenLength)
        checkOutputLength(m_writtenLength);
    else
        startOutputCheck();
}

void ConversionJob::onEncoderError(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart)
        return;
    finish(JobOutcome::Fail, QStringLiteral("The encoder %1 could not be started: %2")
                                 .arg(m_settings.encoderPath, m_encoder->errorString()));
}

// The encoder reads the output back: a truncated conversion shows as a short length.
void ConversionJob::startOutputCheck() {
    m_check = std::make_unique<QProcess>();
    m_check->setStandardInputFile(QProcess::nullDevice());
    m_check->setStandardOutputFile(QProcess::nullDevice());
    connect(m_check.get(), &QProcess::finished, this, &ConversionJob::onOutputChecked);
    connect(m_check.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            finishOk(); // the encoder ran a moment ago; without its check the output stands
    });
    m_check->start(m_settings.encoderPath,
                   {QStringLiteral("-hide_banner"), QStringLiteral("-nostdin"),
                    QStringLiteral("-i"), m_temporaryPath});
}

void ConversionJob::onOutputChecked() {
    if (m_cancelled) {
        finish(JobOutcome::Cancel, QStringLiteral("Conversion Canceled by the user!"));
        return;
    }
    std::optional<double> length;
    for (const QString& line : QString::fromUtf8(m_check->readAllStandardError()).split(u'\n'))
        if (!length)
            length = parseDurationLine(line);
    checkOutputLength(length);
}

void ConversionJob::checkOutputLength(std::optional<double> length) {
    if (length && m_expected > 0 && *length < m_expected - lengthTolerance(m_expected)) {
        finish(JobOutcome::Fail,
               QStringLiteral("The output %1 is only %2 s long, far shorter than the %3 s clip.")
                   .arg(m_result.outputPath, seconds(*length), seconds(m_expected)));
        return;
    }
    finishOk();
}

void ConversionJob::finishOk() {
    if (m_finished)
        return;
    QString error;
    MoveOutcome moved =
        moveOutput(m_temporaryPath, m_result.outputPath, m_settings.overwrite, &error);
    // The name was free when the job began; something may have taken it since.
    for (int attempt = 0; moved == MoveOutcome::NameTaken && attempt < 8; ++attempt) {
        m_result.outputPath = chooseOutputPath(m_settings.outputFolder, m_stem, m_extension,
                                               m_input.inputPath, false);
        moved = moveOutput(m_temporaryPath, m_result.outputPath, false, &error);
    }
    if (moved != MoveOutcome::Moved) {
        finish(JobOutcome::Fail, QStringLiteral("The converted file could not be moved to %1: %2")
                                     .arg(m_result.outputPath, error));
        return;
    }
    m_percent = 100;
    Q_EMIT progressChanged(m_percent);
    finish(JobOutcome::Ok);
}

void ConversionJob::cancel() {
    if (m_finished || m_cancelled)
        return;
    m_cancelled = true;
    if (m_check && m_check->state() != QProcess::NotRunning) {
        m_check->kill();
        return;
    }
    if (!m_encoder || m_encoder->state() == QProcess::NotRunning) {
        finish(JobOutcome::Cancel, QStringLiteral("Conversion Canceled by the user!"));
        return;
    }
    m_stopStage = 0;
    escalateStop();
}

// Ask (SIGINT, the encoder's own "stop now"), then terminate, then kill.
void ConversionJob::escalateStop() {
    if (!m_encoder || m_encoder->state() == QProcess::NotRunning)
        return;
    switch (m_stopStage++) {
    case 0:
        ::kill(static_cast<pid_t>(m_encoder->processId()), SIGINT);
        break;
    case 1:
        m_encoder->terminate();
        break;
    default:
        m_encoder->kill();
        return;
    }
    m_stopTimer.start(kGraceMs);
}

void ConversionJob::finish(JobOutcome outcome, const QString& message) {
    if (m_finished)
        return;
    m_finished = true;
    m_stopTimer.stop();
    m_temporary.remove(); // empty after an "OK": its output has its final name
    m_result.outcome = outcome;
    m_result.message = message;
    if (m_result.encoderLines.isEmpty())
        m_result.encoderLines = m_log.lines();
    // Never from inside start() or a process signal: the run may delete this job on finished().
    QMetaObject::invokeMethod(
        this, [this] { Q_EMIT finished(m_result); }, Qt::QueuedConnection);
}

} // namespace mirelo
