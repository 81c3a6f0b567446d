#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

namespace mirelo {

class PlayerCapabilityLoader;
class ProgramRunner;

// The preview player: the one media player process that draws into a window of the product, and
// the state every preview shares (the main window's, the clip editor's, the import window's).
//
// One player at a time: a start first sends the quit key to the player still running, without
// waiting for it. A player that does not quit is terminated after a grace, then killed. The
// player gets its keys through its standard input (see PlayerKeys); its output is discarded.
class PreviewPlayer : public QObject {
    Q_OBJECT
public:
    explicit PreviewPlayer(QObject* parent = nullptr);
    // Kills whatever player still runs: none outlives its owner.
    ~PreviewPlayer() override;

    // The product's player state, created with the application and stopped when it quits.
    static PreviewPlayer& shared();

    // The process id of the last started player; 0 before any. Kept after that player ended.
    qint64 playerProcessId() const { return m_processId; }
    // The last player command line, as the text shown to the user.
    QString playerCommandLine() const { return m_commandLine; }
    // The argument vector that actually ran last (options the player lacks left out).
    QStringList playerArguments() const { return m_arguments; }
    // The preview clock and the previewed file's length, in whole seconds. Every preview's
    // transport reads and sets these same two.
    int playPosition() const { return m_playPosition; }
    void setPlayPosition(int seconds) { m_playPosition = seconds; }
    int playLength() const { return m_playLength; }
    void setPlayLength(int seconds) { m_playLength = seconds; }

    // The player program; when empty (the default) it is located at each start.
    void setPlayerProgram(const QString& program) { m_program = program; }

    // Starts a player hidden, in the application folder, drawing `media` (a path or an address)
    // into the native window `windowId`, from `offset` seconds when given. playerCommandLine() is
    // set at once; playerProcessId() once the player runs. The first start of a program reads its
    // option list first, so the player may start a moment later.
    void start(quint64 windowId, const QString& media, std::optional<int> offset = std::nullopt);

    // Writes key bytes to the player of playerProcessId(); false (nothing sent) when that player is
    // not running. A quit also starts the staged stop of that player and drops a start still
    // waiting for the option list.
    bool sendToPlayer(const QByteArray& bytes, bool quits);
    // True while the player of playerProcessId() runs.
    bool isPlayerRunning() const;
    // Players still running, the one quitting included.
    int runningPlayerCount() const;
    // A start is waiting for the option list.
    bool isStartPending() const { return m_pending.has_value(); }

    // Quits every player: quit key, terminate after a grace, kill after another.
    void stopAll();
    // Kills every player at once (the program is ending).
    void shutDown();

    // Grace between the stages of a stop.
    static constexpr int kStopGraceMs = 1500;
    void setStopGrace(int milliseconds) { m_stopGraceMs = milliseconds; }
    int stopGrace() const { return m_stopGraceMs; }

Q_SIGNALS:
    // A start for the window `windowId` begins (a preview elsewhere has lost the player).
    void startRequested(quint64 windowId);
    void playerStarted(qint64 processId);
    void playerFinished(qint64 processId);
    // The player program is missing or cannot start; emitted once per program.
    void startFailed(const QString& message);

private:
    struct StartRequest {
        quint64 windowId;
        QString media;
        std::optional<int> offset;
        QString program;
    };

    void launch(const StartRequest& request);
    void onOptionsLoaded();
    void onOptionsFailed(const QString& message);
    void retire(ProgramRunner* player);
    void forget(ProgramRunner* player);
    void reportFailure(const QString& program, const QString& message);
    ProgramRunner* current() const;

    QString m_program;
    qint64 m_processId = 0;
    QString m_commandLine;
    QStringList m_arguments;
    int m_playPosition = 0;
    int m_playLength = 0;
    int m_stopGraceMs = kStopGraceMs;
    QList<ProgramRunner*> m_players;
    ProgramRunner* m_current = nullptr;
    std::optional<StartRequest> m_pending;
    PlayerCapabilityLoader* m_loader = nullptr;
    QSet<QString> m_reportedPrograms;
};

} // namespace mirelo
