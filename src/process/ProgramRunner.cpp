#include "process/ProgramRunner.h"

#include "process/TerminationSignals.h"

#include <QProcess>
#include <QSet>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace mirelo {

namespace {

// Every runner whose program runs, for killAll() when the product ends.
QSet<ProgramRunner*>& runningRunners() {
    static QSet<ProgramRunner*> runners;
    return runners;
}

// Runs in the child between fork and exec: only async-signal-safe calls.
void prepareChild(pid_t parent) {
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent may have died before the line above: then nobody would send the signal.
    if (::getppid() != parent)
        ::_exit(127);
    // Dispositions the product inherited or set (ignored SIGPIPE, a shell's ignored SIGINT) must
    // not reach the child, or it would not stop when asked.
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE})
        ::signal(s, SIG_DFL);
}

} // namespace

ProgramRunner::ProgramRunner(QObject* parent) : QObject(parent) {
    m_stopTimer.setSingleShot(true);
    m_stopTimer.setTimerType(Qt::PreciseTimer);
    m_timeoutTimer.setSingleShot(true);
    connect(&m_stopTimer, &QTimer::timeout, this, &ProgramRunner::advanceStop);
    connect(&m_timeoutTimer, &QTimer::timeout, this, &ProgramRunner::onTimeout);
}

ProgramRunner::~ProgramRunner() {
    runningRunners().remove(this);
    discardProcess();
}

// Drops the current process without a signal; one still running is killed and reaped (after
// SIGKILL the wait returns at once). It is deleted later, since this may run inside one of its
// signals, or with the runner, whose child it is.
void ProgramRunner::discardProcess() {
    if (!m_process)
        return;
    m_process->disconnect(this);
    if (m_process->state() != QProcess::NotRunning) {
        signalGroup(SIGKILL);
        m_process->waitForFinished(5000);
    }
    m_process->deleteLater();
    m_process = nullptr;
}

void ProgramRunner::setProgram(const QString& program, const QStringList& arguments) {
    m_program = program;
    m_arguments = arguments;
}

void ProgramRunner::setLineChannel(Channel channel, bool on) {
    m_lineChannels[int(channel)] = on;
}

void ProgramRunner::setTailLines(int lines) {
    m_tail = LastLines(lines);
}

QString ProgramRunner::name() const {
    return m_role + QLatin1Char(' ') + m_program;
}

QProcess* ProgramRunner::makeProcess() {
    auto* process = new QProcess(this);
    if (m_input == Input::Null)
        process->setStandardInputFile(QProcess::nullDevice());
    switch (m_outputs) {
    case Outputs::Separate:
        break;
    case Outputs::Merged:
        process->setProcessChannelMode(QProcess::MergedChannels);
        break;
    case Outputs::OutputOnly:
        process->setStandardErrorFile(QProcess::nullDevice());
        break;
    case Outputs::ErrorOnly:
        process->setStandardOutputFile(QProcess::nullDevice());
        break;
    case Outputs::None:
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        break;
    }
    if (!m_workingDirectory.isEmpty())
        process->setWorkingDirectory(m_workingDirectory);
    process->setChildProcessModifier([parent = ::getpid()] { prepareChild(parent); });
    connect(process, &QProcess::readyReadStandardOutput, this,
            [this] { onReadable(Channel::Output); });
    connect(process, &QProcess::readyReadStandardError, this,
            [this] { onReadable(Channel::Error); });
    connect(process, &QProcess::started, this, &ProgramRunner::onStarted);
    connect(process, &QProcess::finished, this, [this](int code, QProcess::ExitStatus status) {
        onFinished(code, status == QProcess::CrashExit);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) // a crash or a read error still ends in finished()
            onFailedToStart(process->errorString());
    });
    // Qt ignores SIGPIPE once it first writes to a child; the product's own handler comes back.
    connect(process, &QProcess::bytesWritten, this,
            [] { TerminationSignals::reclaimBrokenPipe(); });
    return process;
}

void ProgramRunner::start() {
    discardProcess(); // a run still going ends without its finished()
    m_end = {};
    m_endPending = false;
    m_stopStage = StopStage::None;
    m_kept.clear();
    m_tail.clear();
    for (LineSplitter& s : m_splitters)
        s.clear();
    m_running = true;
    runningRunners().insert(this);
    if (m_program.isEmpty()) {
        m_starting = true;
        onFailedToStart(QStringLiteral("no program given"));
        m_starting = false;
        return;
    }
    m_process = makeProcess();
    if (m_timeoutMs > 0)
        m_timeoutTimer.start(m_timeoutMs);
    m_starting = true;
    m_process->start(m_program, m_arguments);
    m_starting = false;
}

void ProgramRunner::restartTimeout() {
    if (m_running && m_timeoutMs > 0 && !m_end.timedOut)
        m_timeoutTimer.start(m_timeoutMs);
}

bool ProgramRunner::write(const QByteArray& bytes) {
    if (!m_running || m_input != Input::Piped || !m_process)
        return false;
    return m_process->write(bytes) == bytes.size();
}

void ProgramRunner::onStarted() {
    m_pid = m_process->processId();
    Q_EMIT started(m_pid);
}

void ProgramRunner::readAvailable() {
    if (!m_running)
        return;
    onReadable(Channel::Output);
    onReadable(Channel::Error);
}

bool ProgramRunner::reaches(Channel channel) const {
    switch (m_outputs) {
    case Outputs::Separate:
        return true;
    case Outputs::Merged:
    case Outputs::OutputOnly:
        return channel == Channel::Output;
    case Outputs::ErrorOnly:
        return channel == Channel::Error;
    case Outputs::None:
        break;
    }
    return false;
}

void ProgramRunner::onReadable(Channel channel) {
    if (!m_process || !reaches(channel))
        return;
    take(channel, channel == Channel::Output ? m_process->readAllStandardOutput()
                                             : m_process->readAllStandardError());
}

void ProgramRunner::take(Channel channel, const QByteArray& bytes) {
    if (bytes.isEmpty())
        return;
    if (channel == Channel::Output && m_kept.size() < m_keptLimit)
        m_kept += bytes.left(m_keptLimit - m_kept.size());
    Q_EMIT outputReceived(channel, bytes);
    if (!m_lineChannels[int(channel)])
        return;
    for (const QString& line : m_splitters[int(channel)].feed(bytes))
        takeLine(channel, line);
}

void ProgramRunner::takeLine(Channel channel, const QString& line) {
    if (!m_tailFilter || m_tailFilter(line))
        m_tail.add(line);
    Q_EMIT lineReceived(channel, line);
}

// The program has ended: an unfinished last line is a line too.
void ProgramRunner::flushLines() {
    for (const Channel channel : {Channel::Output, Channel::Error}) {
        LineSplitter& splitter = m_splitters[int(channel)];
        const QString rest = splitter.pending();
        splitter.clear();
        if (m_lineChannels[int(channel)] && !rest.isEmpty())
            takeLine(channel, rest);
    }
}

void ProgramRunner::onFinished(int exitCode, bool crashed) {
    if (!m_running)
        return;
    onReadable(Channel::Output);
    onReadable(Channel::Error);
    flushLines();
    m_end.kind = crashed ? ProgramEnd::Kind::Crashed : ProgramEnd::Kind::Exited;
    m_end.exitCode = crashed ? -1 : exitCode;
    if (!m_end.timedOut) // else the time-out's message stands
        m_end.message = endMessage();
    endRun();
}

QString ProgramRunner::endMessage() const {
    if (m_end.kind == ProgramEnd::Kind::Crashed)
        return m_end.stopped ? QStringLiteral("The %1 was stopped.").arg(name())
                             : QStringLiteral("The %1 crashed.").arg(name());
    if (m_end.exitCode != 0)
        return QStringLiteral("The %1 failed (exit code %2).").arg(name()).arg(m_end.exitCode);
    return {};
}

void ProgramRunner::onFailedToStart(const QString& error) {
    if (!m_running)
        return;
    m_end.kind = ProgramEnd::Kind::FailedToStart;
    m_end.exitCode = -1;
    m_end.startError = error;
    m_end.message = QStringLiteral("The %1 could not be started: %2").arg(name(), error);
    endRun();
}

void ProgramRunner::onTimeout() {
    if (!m_running || m_end.timedOut)
        return;
    m_end.timedOut = true;
    m_end.message = QStringLiteral("The %1 did not finish within %2 seconds and was stopped.")
                        .arg(name())
                        .arg(m_timeoutMs / 1000.0);
    stop();
}

void ProgramRunner::stop() {
    if (!m_running || m_stopStage != StopStage::None)
        return;
    m_end.stopped = true;
    const bool polite = m_policy.polite == PoliteStep::Interrupt ||
                        (m_policy.polite == PoliteStep::Key && m_input == Input::Piped);
    m_stopStage = polite ? StopStage::Polite : StopStage::Terminate;
    advanceStop();
}

void ProgramRunner::kill() {
    if (!m_running)
        return;
    m_end.stopped = true;
    m_stopStage = StopStage::Kill;
    m_stopTimer.stop();
    signalGroup(SIGKILL);
}

// One stage per call; the timer brings the next one when the program is still there.
void ProgramRunner::advanceStop() {
    if (!m_running)
        return;
    switch (m_stopStage) {
    case StopStage::None:
        return;
    case StopStage::Polite:
        if (m_policy.polite == PoliteStep::Key)
            write(m_policy.key);
        else
            signalGroup(SIGINT);
        m_stopStage = StopStage::Terminate;
        m_stopTimer.start(m_policy.politeGraceMs);
        return;
    case StopStage::Terminate:
        signalGroup(SIGTERM);
        m_stopStage = StopStage::Kill;
        m_stopTimer.start(m_policy.terminateGraceMs);
        return;
    case StopStage::Kill:
        signalGroup(SIGKILL);
        return;
    }
}

// The whole group: whatever the program started goes with it. Only while the program is not yet
// reaped, so its id cannot belong to anybody else.
void ProgramRunner::signalGroup(int signalNumber) {
    if (!m_process || m_process->state() == QProcess::NotRunning)
        return;
    const pid_t pid = pid_t(m_process->processId());
    if (pid <= 0)
        return;
    if (::kill(-pid, signalNumber) != 0)
        ::kill(pid, signalNumber); // not yet in its own group (just forked)
}

void ProgramRunner::endRun() {
    m_running = false;
    m_stopTimer.stop();
    m_timeoutTimer.stop();
    runningRunners().remove(this);
    if (!m_starting) {
        Q_EMIT finished(m_end);
        return;
    }
    // Never from inside start(): the caller sees one order of events whatever went wrong.
    m_endPending = true;
    QMetaObject::invokeMethod(this, &ProgramRunner::deliverEnd, Qt::QueuedConnection);
}

void ProgramRunner::deliverEnd() {
    if (!m_endPending)
        return;
    m_endPending = false;
    Q_EMIT finished(m_end);
}

bool ProgramRunner::waitForFinished(int milliseconds) {
    if (m_running && m_process)
        m_process->waitForFinished(milliseconds); // emits finished() through onFinished()
    deliverEnd();
    return !m_running;
}

int ProgramRunner::runningCount() {
    return int(runningRunners().size());
}

void ProgramRunner::killAll() {
    const QSet<ProgramRunner*> runners = runningRunners();
    for (ProgramRunner* runner : runners)
        runner->kill();
}

} // namespace mirelo
