#include "process/CapturedProgram.h"

#include "base/TimeString.h"

namespace mirelo {

CapturedProgram::CapturedProgram(QObject* parent) : QObject(parent) {
    // One pipe for both streams keeps their output in the order the program wrote it; a child
    // never reads the terminal the product was started from.
    m_runner.setOutputs(ProgramRunner::Outputs::Merged);
    m_runner.setInput(ProgramRunner::Input::Null);
    connect(&m_runner, &ProgramRunner::outputReceived, this,
            [this](ProgramRunner::Channel, const QByteArray& bytes) { onOutput(bytes); });
    connect(&m_runner, &ProgramRunner::lineReceived, this,
            [this](ProgramRunner::Channel, const QString& line) { onLine(line); });
    connect(&m_runner, &ProgramRunner::finished, this, &CapturedProgram::onEnded);
}

// The runner kills a program still running, without signals.
CapturedProgram::~CapturedProgram() = default;

void CapturedProgram::setProgram(const QString& program, const QStringList& arguments) {
    m_program = program;
    m_arguments = arguments;
}

QString CapturedProgram::elapsedTime() const {
    if (!m_startTime.isValid())
        return formatTimeString(0);
    return formatTimeString(m_startTime.secsTo(QDateTime::currentDateTime()));
}

void CapturedProgram::setKeptLines(std::function<bool(const QString&)> keep, int maxKept,
                                   int tailLines) {
    m_keep = std::move(keep);
    m_maxKept = maxKept;
    m_tailLines = tailLines;
}

QString CapturedProgram::output() const {
    if (!m_keep)
        return m_output;
    QStringList lines = m_keptLines;
    lines += m_runner.tail();
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void CapturedProgram::readAvailable() {
    m_runner.readAvailable();
}

void CapturedProgram::onOutput(const QByteArray& bytes) {
    const QString text = m_decoder.decode(bytes);
    if (text.isEmpty())
        return;
    Q_EMIT outputReceived(text);
    if (!m_keep)
        m_output += text;
}

void CapturedProgram::onLine(const QString& line) {
    if (m_keptLines.size() < m_maxKept && m_keep(line))
        m_keptLines += line;
}

bool CapturedProgram::isRunning() const {
    return m_runner.isRunning();
}

void CapturedProgram::abort(int reportedCode) {
    if (!isRunning()) {
        readAvailable();
        Q_EMIT finished();
        return;
    }
    m_aborted = true;
    m_abortExitCode = reportedCode;
    m_runner.kill(); // finished() follows once the program is reaped
}

void CapturedProgram::launch() {
    m_exitCode = 0;
    m_output.clear();
    m_keptLines.clear();
    m_startError.clear();
    m_aborted = false;
    m_abortExitCode = 0;
    m_decoder.resetState();
    m_startTime = QDateTime::currentDateTime();
    m_runner.setLineChannel(ProgramRunner::Channel::Output, bool(m_keep));
    m_runner.setTailLines(m_keep ? m_tailLines : 0);
    m_runner.setProgram(program(), arguments());
    m_runner.start();
    if (!m_async)
        m_runner.waitForFinished(-1); // blocking form: mirelo-cli and tests only
}

void CapturedProgram::onEnded(const ProgramEnd& end) {
    if (end.kind == ProgramEnd::Kind::FailedToStart) {
        m_startError = end.startError;
        m_exitCode = 0;
        Q_EMIT finished();
        return;
    }
    if (m_aborted && m_abortExitCode != 0)
        m_exitCode = m_abortExitCode;
    else if (end.kind == ProgramEnd::Kind::Exited) // also a program that ended just before abort
        m_exitCode = end.exitCode;
    else
        m_exitCode = m_aborted ? 0 : -1;
    const QString rest = m_decoder.decode(QByteArray());
    if (!rest.isEmpty() && !m_keep)
        m_output += rest;
    Q_EMIT finished();
}

} // namespace mirelo
