#pragma once

#include "process/OutputLines.h"

#include <QByteArray>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QProcess;

namespace mirelo {

// How one run of a child program ended.
struct ProgramEnd {
    enum class Kind { Exited, Crashed, FailedToStart };
    Kind kind = Kind::Exited;
    int exitCode = 0;      // the program's own code; meaningful for Exited only
    bool stopped = false;  // stop(), kill() or the time-out ended it
    bool timedOut = false; // the time-out ended it
    // Why the run did not end in exit code 0, in one sentence naming the program; empty when it
    // did.
    QString message;
    QString startError; // the system's reason when the program could not be started

    bool succeeded() const { return kind == Kind::Exited && exitCode == 0 && !timedOut; }
};

// Runs one child program at a time (the encoder, the player, their capability listings) without a
// shell, from an argument vector. The program runs in its own process group, so a terminal's Ctrl+C
// reaches the product alone and the product decides how its children stop; it dies with the product
// (the parent-death signal), so no child outlives it even after a SIGKILL.
//
// Everything is reported through signals; nothing blocks except waitForFinished(), which exists for
// mirelo-cli and tests. finished() comes exactly once per start(), never from inside start(). The
// runner must not be deleted from inside its own signals (use deleteLater()). Destroying a runner
// whose program still runs kills the program's group at once, without signals.
class ProgramRunner : public QObject {
    Q_OBJECT
public:
    enum class Channel { Output, Error };
    enum class Input { Null, Piped };
    // Which of the program's output streams reach the runner; the others go to the null device.
    enum class Outputs { Separate, Merged, OutputOnly, ErrorOnly, None };
    // The first step of stop(): nothing, SIGINT (the encoder's own "finish now"), or a key written
    // to the program's input (the player's "q").
    enum class PoliteStep { None, Interrupt, Key };
    struct StopPolicy {
        PoliteStep polite = PoliteStep::None;
        QByteArray key;
        int politeGraceMs = 1500;    // after the polite step, before SIGTERM
        int terminateGraceMs = 1500; // after SIGTERM, before SIGKILL
    };

    explicit ProgramRunner(QObject* parent = nullptr);
    ~ProgramRunner() override;

    void setProgram(const QString& program, const QStringList& arguments);
    QString program() const { return m_program; }
    QStringList arguments() const { return m_arguments; }
    // What the program is to the user ("encoder", "media player"), for the messages.
    void setRole(const QString& role) { m_role = role; }
    void setWorkingDirectory(const QString& folder) { m_workingDirectory = folder; }
    void setInput(Input input) { m_input = input; }
    void setOutputs(Outputs outputs) { m_outputs = outputs; }
    // A line channel is cut into lines: each one is reported by lineReceived() and goes to the
    // tail.
    void setLineChannel(Channel channel, bool on = true);
    // How many of the last lines tail() keeps (default 12); the filter, when set, picks the lines
    // that may enter the tail.
    void setTailLines(int lines);
    void setTailFilter(std::function<bool(const QString&)> filter) { m_tailFilter = filter; }
    // Keeps the first `bytes` of the output channel for keptOutput() (default 0: nothing kept).
    void setKeptOutputLimit(qsizetype bytes) { m_keptLimit = bytes; }
    // A run longer than this is stopped (with the stop policy) and ends timed out; 0: no limit.
    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeout() const { return m_timeoutMs; }
    void setStopPolicy(const StopPolicy& policy) { m_policy = policy; }

    void start();
    // Counts the time-out from now again: for a limit on silence rather than on the whole run.
    void restartTimeout();
    // Ends the program in stages: the polite step, SIGTERM, SIGKILL, each after its grace.
    void stop();
    // Ends the program (and its process group) at once.
    void kill();
    // Writes to the program's input (Input::Piped); false when it does not run.
    bool write(const QByteArray& bytes);

    // Hands on at once what the program wrote and the runner has not yet reported.
    void readAvailable();

    bool isRunning() const { return m_running; }
    bool isStopping() const { return m_stopStage != StopStage::None; }
    // The last started program's process id; kept after it ended, 0 before any start.
    qint64 processId() const { return m_pid; }
    QStringList tail() const { return m_tail.lines(); }
    QByteArray keptOutput() const { return m_kept; }
    const ProgramEnd& end() const { return m_end; }

    // Blocks until the program has ended (finished() is emitted before it returns). For mirelo-cli
    // and tests only, never for window code.
    bool waitForFinished(int milliseconds);

    // Runners whose program runs, in the whole process.
    static int runningCount();
    // Kills every running program at once: the product is ending.
    static void killAll();

Q_SIGNALS:
    void started(qint64 processId);
    void outputReceived(mirelo::ProgramRunner::Channel channel, const QByteArray& bytes);
    void lineReceived(mirelo::ProgramRunner::Channel channel, const QString& line);
    void finished(const mirelo::ProgramEnd& end);

private:
    enum class StopStage { None, Polite, Terminate, Kill };

    QProcess* makeProcess();
    void discardProcess();
    bool reaches(Channel channel) const;
    void onReadable(Channel channel);
    void take(Channel channel, const QByteArray& bytes);
    void takeLine(Channel channel, const QString& line);
    void flushLines();
    void onStarted();
    void onFinished(int exitCode, bool crashed);
    void onFailedToStart(const QString& error);
    void onTimeout();
    void advanceStop();
    void signalGroup(int signalNumber);
    QString endMessage() const;
    void endRun();
    void deliverEnd();
    QString name() const;

    QString m_program;
    QStringList m_arguments;
    QString m_role = QStringLiteral("program");
    QString m_workingDirectory;
    Input m_input = Input::Null;
    Outputs m_outputs = Outputs::Separate;
    bool m_lineChannels[2] = {false, false};
    LineSplitter m_splitters[2];
    LastLines m_tail;
    std::function<bool(const QString&)> m_tailFilter;
    qsizetype m_keptLimit = 0;
    QByteArray m_kept;
    int m_timeoutMs = 0;
    StopPolicy m_policy;

    QProcess* m_process = nullptr;
    bool m_running = false;
    bool m_starting = false;
    bool m_endPending = false;
    qint64 m_pid = 0;
    ProgramEnd m_end;
    StopStage m_stopStage = StopStage::None;
    QTimer m_stopTimer;
    QTimer m_timeoutTimer;
};

} // namespace mirelo

Q_DECLARE_METATYPE(mirelo::ProgramEnd)
