#pragma once

#include "process/ProgramRunner.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <functional>

namespace mirelo {

// Runs one console program hidden and captures its standard output and standard error as one
// text, in the order the program wrote them, plus its exit code.
//
// The program is given as an argument vector, so paths stay whole.
//
// With setAsync(true) (what window code uses) launch() returns at once and finished() reports the
// end; output() and exitCode() are final then. With async off (the default), launch() blocks until
// the program has ended: that form is for mirelo-cli and tests only, never for window code.
//
// A program that prints far more than its caller reads (a player's status lines) can be told which
// lines to keep: setKeptLines().
class CapturedProgram : public QObject {
    Q_OBJECT
public:
    explicit CapturedProgram(QObject* parent = nullptr);
    // Stops a program still running; no finished() is raised from the destructor.
    ~CapturedProgram() override;

    void setProgram(const QString& program, const QStringList& arguments);
    // What launch() runs: the program and its arguments.
    QString program() const { return m_program; }
    QStringList arguments() const { return m_arguments; }

    bool isAsync() const { return m_async; }
    void setAsync(bool async) { m_async = async; }

    QDateTime startTime() const { return m_startTime; }
    // Time since startTime() as "H:MM:SS", wrapping after 24 hours.
    QString elapsedTime() const;
    // Exit code; 0 from launch() until the program has ended. A program killed by a signal it did
    // not ask for (a crash) reports -1.
    int exitCode() const { return m_exitCode; }
    // Everything the program wrote since the last launch(), decoded as UTF-8; with kept lines set,
    // only the lines kept (see setKeptLines()).
    QString output() const;

    // From the next launch() on, output() holds only the lines `keep` accepts (at most maxKept of
    // them, the first ones) followed by the last `tailLines` lines; outputReceived() still reports
    // everything. An empty `keep` keeps everything again.
    void setKeptLines(std::function<bool(const QString&)> keep, int maxKept, int tailLines);

    // Moves output already waiting into output() without blocking.
    void readAvailable();
    // True while the program runs. Never waits.
    bool isRunning() const;
    // Ends the program if it still runs; exitCode() becomes `reportedCode` when that is not 0, else
    // the program's own code. finished() follows once the program is gone (at once when nothing
    // runs).
    void abort(int reportedCode = 0);
    void launch();

    // Why the last launch() could not start the program (empty when it started).
    QString startError() const { return m_startError; }

Q_SIGNALS:
    void finished();
    void outputReceived(const QString& text);

private:
    void onOutput(const QByteArray& bytes);
    void onLine(const QString& line);
    void onEnded(const ProgramEnd& end);

    QString m_program;
    QStringList m_arguments;
    bool m_async = false;
    QDateTime m_startTime;
    int m_exitCode = 0;
    QString m_output;
    QString m_startError;
    bool m_aborted = false;
    int m_abortExitCode = 0;
    QStringDecoder m_decoder{QStringDecoder::Utf8};
    std::function<bool(const QString&)> m_keep;
    int m_maxKept = 0;
    int m_tailLines = 0;
    QStringList m_keptLines;
    ProgramRunner m_runner;
};

} // namespace mirelo
