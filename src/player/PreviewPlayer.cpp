#include "player/PreviewPlayer.h"

#include "base/ToolLocator.h"
#include "player/PlayerCapabilities.h"
#include "player/PlayerCommand.h"
#include "process/ProgramRunner.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>

namespace mirelo {

namespace {

const char* const kQuitBytes = "q";

QString missingPlayerMessage() {
    return QStringLiteral("The media player was not found: looked for %1 in %2 and for %3 on "
                          "PATH. Install MPlayer to preview files.")
        .arg(QStringLiteral("mp.dll"), QDir::toNativeSeparators(applicationFolder()),
             playerDisplayName());
}

bool isRunning(const ProgramRunner* player) {
    return player && player->isRunning();
}

} // namespace

PreviewPlayer::PreviewPlayer(QObject* parent) : QObject(parent) {}

PreviewPlayer::~PreviewPlayer() {
    shutDown();
}

PreviewPlayer& PreviewPlayer::shared() {
    static QPointer<PreviewPlayer> instance;
    if (!instance) {
        QCoreApplication* app = QCoreApplication::instance();
        instance = new PreviewPlayer(app);
        if (app)
            connect(app, &QCoreApplication::aboutToQuit, instance, &PreviewPlayer::shutDown);
    }
    return *instance;
}

void PreviewPlayer::start(quint64 windowId, const QString& media, std::optional<int> offset) {
    Q_EMIT startRequested(windowId);
    const QString program = m_program.isEmpty() ? locatePlayer() : m_program;
    const PlayerCommand command = buildPlayerCommand(program, windowId, media, offset);
    m_commandLine = command.text;
    for (ProgramRunner* player : std::as_const(m_players))
        retire(player);
    m_current = nullptr;
    if (program.isEmpty()) {
        m_pending.reset();
        reportFailure(playerDisplayName(), missingPlayerMessage());
        return;
    }
    const StartRequest request{windowId, media, offset, program};
    if (cachedPlayerOptions(program)) {
        m_pending.reset();
        launch(request);
        return;
    }
    m_pending = request;
    if (!m_loader) {
        m_loader = new PlayerCapabilityLoader(this);
        connect(m_loader, &PlayerCapabilityLoader::loaded, this, &PreviewPlayer::onOptionsLoaded);
        connect(m_loader, &PlayerCapabilityLoader::failed, this, &PreviewPlayer::onOptionsFailed);
    }
    if (!m_loader->isRunning())
        m_loader->start(program);
}

void PreviewPlayer::onOptionsLoaded() {
    if (!m_pending)
        return;
    const StartRequest request = *m_pending;
    m_pending.reset();
    if (cachedPlayerOptions(request.program))
        launch(request);
    else
        start(request.windowId, request.media, request.offset); // another program meanwhile
}

void PreviewPlayer::onOptionsFailed(const QString& message) {
    if (!m_pending)
        return;
    const QString program = m_pending->program;
    m_pending.reset();
    reportFailure(program, message);
}

void PreviewPlayer::launch(const StartRequest& request) {
    const PlayerCommand command =
        buildPlayerCommand(request.program, request.windowId, request.media, request.offset);
    const QSet<QString>* options = cachedPlayerOptions(request.program);
    // A player that listed nothing is run with every option rather than with none.
    m_arguments = options && !options->isEmpty()
                      ? compatiblePlayerArguments(command.arguments, *options)
                      : command.arguments;

    auto* player = new ProgramRunner(this);
    player->setRole(QStringLiteral("media player"));
    player->setProgram(request.program, m_arguments);
    player->setWorkingDirectory(applicationFolder());
    // Keys reach the player through its input; nobody reads its chatter.
    player->setInput(ProgramRunner::Input::Piped);
    player->setOutputs(ProgramRunner::Outputs::None);
    m_players.append(player);
    m_current = player;
    connect(player, &ProgramRunner::started, this, [this, player](qint64 pid) {
        if (player != m_current)
            return;
        m_processId = pid;
        Q_EMIT playerStarted(m_processId);
    });
    connect(player, &ProgramRunner::finished, this,
            [this, player, program = request.program](const ProgramEnd& end) {
                if (end.kind == ProgramEnd::Kind::FailedToStart)
                    reportFailure(program, end.message);
                forget(player);
            });
    player->start();
}

bool PreviewPlayer::sendToPlayer(const QByteArray& bytes, bool quits) {
    if (quits)
        m_pending.reset();
    ProgramRunner* player = current();
    if (!player)
        return false;
    player->write(bytes);
    if (quits)
        retire(player);
    return true;
}

bool PreviewPlayer::isPlayerRunning() const {
    return current() != nullptr;
}

// The player of playerProcessId(), or the one about to take that id (keys sent meanwhile wait in
// its input buffer).
ProgramRunner* PreviewPlayer::current() const {
    return isRunning(m_current) ? m_current : nullptr;
}

int PreviewPlayer::runningPlayerCount() const {
    int count = 0;
    for (const ProgramRunner* player : m_players)
        count += isRunning(player) ? 1 : 0;
    return count;
}

void PreviewPlayer::stopAll() {
    m_pending.reset();
    for (ProgramRunner* player : std::as_const(m_players))
        retire(player);
}

// Ask, then terminate, then kill: each stage only when the player is still there.
void PreviewPlayer::retire(ProgramRunner* player) {
    if (!isRunning(player) || player->isStopping())
        return;
    player->setStopPolicy(
        {ProgramRunner::PoliteStep::Key, kQuitBytes, m_stopGraceMs, m_stopGraceMs});
    player->stop();
}

void PreviewPlayer::forget(ProgramRunner* player) {
    if (!m_players.removeOne(player))
        return;
    if (player == m_current)
        m_current = nullptr;
    const qint64 id = player->processId();
    player->disconnect(this);
    player->deleteLater();
    Q_EMIT playerFinished(id);
}

void PreviewPlayer::shutDown() {
    m_pending.reset();
    const QList<ProgramRunner*> players = std::exchange(m_players, {});
    m_current = nullptr;
    for (ProgramRunner* player : players) {
        player->disconnect(this);
        delete player; // kills and reaps a player still running
    }
}

void PreviewPlayer::reportFailure(const QString& program, const QString& message) {
    if (m_reportedPrograms.contains(program))
        return;
    m_reportedPrograms.insert(program);
    Q_EMIT startFailed(message);
}

} // namespace mirelo
