#include "tools/PreviewPlayer.h"

#include "tools/PlayerCapabilities.h"
#include "tools/PlayerCommand.h"
#include "tools/ToolLocator.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QProcess>
#include <QTimer>

namespace mirelo {

namespace {

const char* const kQuitBytes = "q";

QString missingPlayerMessage() {
    return QStringLiteral("The media player was not found: looked for %1 in %2 and for %3 on "
                          "PATH. Install MPlayer to preview files.")
        .arg(QStringLiteral("mp.dll"), QDir::toNativeSeparators(applicationFolder()),
             playerDisplayName());
}

bool isRunning(const QProcess* process) {
    return process && process->state() != QProcess::NotRunning;
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
    for (QProcess* player : std::as_const(m_players))
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

    auto* player = new QProcess(this);
    player->setWorkingDirectory(applicationFolder());
    // Nobody reads the player's chatter; a full pipe would stall it.
    player->setStandardOutputFile(QProcess::nullDevice());
    player->setStandardErrorFile(QProcess::nullDevice());
    m_players.append(player);
    m_current = player;
    connect(player, &QProcess::started, this, [this, player] {
        player->setProperty("pid", player->processId());
        if (player != m_current)
            return;
        m_processId = player->processId();
        Q_EMIT playerStarted(m_processId);
    });
    connect(player, &QProcess::finished, this, [this, player] { forget(player); });
    connect(player, &QProcess::errorOccurred, this,
            [this, player, program = request.program](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart)
                    return;
                reportFailure(program,
                              QStringLiteral("The media player %1 could not be started: %2")
                                  .arg(program, player->errorString()));
                forget(player);
            });
    player->start(request.program, m_arguments);
}

bool PreviewPlayer::sendToPlayer(const QByteArray& bytes, bool quits) {
    if (quits)
        m_pending.reset();
    QProcess* player = current();
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

// The player of PlayerProcessId, or the one about to take that id (keys sent meanwhile wait in
// its input buffer).
QProcess* PreviewPlayer::current() const {
    return isRunning(m_current) ? m_current : nullptr;
}

int PreviewPlayer::runningPlayerCount() const {
    int count = 0;
    for (const QProcess* player : m_players)
        count += isRunning(player) ? 1 : 0;
    return count;
}

void PreviewPlayer::stopAll() {
    m_pending.reset();
    for (QProcess* player : std::as_const(m_players))
        retire(player);
}

// Ask, then terminate, then kill: each stage only when the player is still there.
void PreviewPlayer::retire(QProcess* player) {
    if (!isRunning(player) || player->property("retiring").toBool())
        return;
    player->setProperty("retiring", true);
    player->write(kQuitBytes);
    const int grace = m_stopGraceMs;
    QTimer::singleShot(grace, player, [player, grace] {
        if (!isRunning(player))
            return;
        player->terminate();
        QTimer::singleShot(grace, player, [player] {
            if (isRunning(player))
                player->kill();
        });
    });
}

void PreviewPlayer::forget(QProcess* player) {
    if (!m_players.removeOne(player))
        return;
    if (player == m_current)
        m_current = nullptr;
    const qint64 id = player->property("pid").toLongLong();
    player->disconnect(this);
    player->deleteLater();
    Q_EMIT playerFinished(id);
}

void PreviewPlayer::shutDown() {
    m_pending.reset();
    const QList<QProcess*> players = std::exchange(m_players, {});
    m_current = nullptr;
    for (QProcess* player : players) {
        player->disconnect(this);
        if (isRunning(player))
            player->kill();
        delete player; // reaps the killed player
    }
}

void PreviewPlayer::reportFailure(const QString& program, const QString& message) {
    if (m_reportedPrograms.contains(program))
        return;
    m_reportedPrograms.insert(program);
    Q_EMIT startFailed(message);
}

} // namespace mirelo
