#include "tools/Process.h"

#include "convert/TimeString.h"
#include "tools/ModTools.h"

namespace mirelo {

Process::Process(QObject* parent) : QObject(parent) {}

Process::~Process() {
    detachRunningProcess();
}

void Process::setProgram(const QString& program, const QStringList& arguments) {
    m_program = program;
    m_arguments = arguments;
    m_useVector = true;
}

QString Process::program() const {
    if (m_useVector)
        return m_program;
    const QStringList parts = splitCommandLine(m_cmdLine + QLatin1Char(' ') + m_parameters);
    return parts.isEmpty() ? QString() : parts.first();
}

QStringList Process::arguments() const {
    if (m_useVector)
        return m_arguments;
    return splitCommandLine(m_cmdLine + QLatin1Char(' ') + m_parameters).mid(1);
}

QString Process::elapsedTime() const {
    if (!m_startTime.isValid())
        return formatTimeString(0);
    return formatTimeString(m_startTime.secsTo(QDateTime::currentDateTime()));
}

void Process::read() {
    if (!m_proc)
        return;
    const QByteArray bytes = m_proc->readAll();
    if (bytes.isEmpty())
        return;
    const QString text = m_decoder.decode(bytes);
    if (text.isEmpty())
        return;
    Q_EMIT stdOutChanged(text);
    m_stdOut += text;
}

bool Process::isActive() const {
    return m_proc && m_proc->state() != QProcess::NotRunning;
}

void Process::abort(int vnRC) {
    if (!isActive()) {
        read();
        Q_EMIT finished();
        return;
    }
    m_aborted = true;
    m_abortRc = vnRC;
    m_proc->kill(); // finished() follows from onProcessFinished once the program is reaped
}

QProcess* Process::makeProcess() {
    auto* proc = new QProcess(this);
    // One pipe for both streams keeps their output in the order the program wrote it.
    proc->setProcessChannelMode(QProcess::MergedChannels);
    // Never let a child read the terminal the product was started from.
    proc->setStandardInputFile(QProcess::nullDevice());
    connect(proc, &QProcess::readyReadStandardOutput, this, &Process::read);
    connect(proc, &QProcess::finished, this, &Process::onProcessFinished);
    connect(proc, &QProcess::errorOccurred, this, &Process::onErrorOccurred);
    return proc;
}

void Process::launch() {
    detachRunningProcess();
    m_rc = 0;
    m_stdOut.clear();
    m_startError.clear();
    m_aborted = false;
    m_abortRc = 0;
    m_decoder.resetState();
    m_startTime = QDateTime::currentDateTime();
    if (!m_proc)
        m_proc = makeProcess();
    const QString prog = program();
    if (prog.isEmpty()) {
        m_startError = QStringLiteral("no program given");
        Q_EMIT finished();
        return;
    }
    m_proc->start(prog, arguments());
    if (!m_async)
        m_proc->waitForFinished(-1); // blocking form: mirelo-cli and tests only
}

void Process::onProcessFinished(int exitCode, QProcess::ExitStatus status) {
    read();
    if (m_aborted && m_abortRc != 0)
        m_rc = m_abortRc;
    else if (status == QProcess::NormalExit) // also a program that ended just before the abort
        m_rc = exitCode;
    else
        m_rc = m_aborted ? 0 : -1;
    const QString rest = m_decoder.decode(QByteArray());
    if (!rest.isEmpty())
        m_stdOut += rest;
    Q_EMIT finished();
}

void Process::onErrorOccurred(QProcess::ProcessError error) {
    if (error != QProcess::FailedToStart)
        return;
    m_startError = m_proc->errorString();
    m_rc = 0;
    Q_EMIT finished();
}

// A relaunch or destruction ends a program still running. After SIGKILL the wait only reaps the
// child, so it returns at once.
void Process::detachRunningProcess() {
    if (!m_proc || m_proc->state() == QProcess::NotRunning)
        return;
    m_proc->disconnect(this);
    m_proc->kill();
    m_proc->waitForFinished(2000);
    delete m_proc;
    m_proc = nullptr;
}

} // namespace mirelo
