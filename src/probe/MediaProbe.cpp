#include "probe/MediaProbe.h"

#include "base/ToolLocator.h"
#include "process/CapturedProgram.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace mirelo {

namespace {

// The identify parser reads only "ID_..." lines; a player can print megabytes of status lines
// besides them, which are not kept. The last few lines stay for a message.
constexpr int kMaxIdentifyLines = 4096;
constexpr int kTailLines = 8;

bool isIdentifyLine(const QString& line) {
    return line.startsWith(QLatin1String("ID_"));
}

} // namespace

MediaProbe::MediaProbe(QObject* parent) : QObject(parent), m_timer(new QTimer(this)) {
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &MediaProbe::onTimeout);
}

MediaProbe::~MediaProbe() = default;

void MediaProbe::setPlayerProgram(const QString& program) {
    m_playerOverride = program;
}

void MediaProbe::setTimeoutMs(int ms) {
    m_timeoutMs = ms;
}

bool MediaProbe::isRunning() const {
    return m_process && m_process->isRunning();
}

void MediaProbe::cancel() {
    ++m_generation;
    m_timer->stop();
    dropProcess();
}

// Destroyed later: this may run inside the process's own signal.
void MediaProbe::dropProcess() {
    if (m_process)
        m_process.release()->deleteLater();
}

void MediaProbe::start(const QString& path) {
    cancel();
    m_path = path;
    m_info = MediaInfo();
    m_outcome = Outcome::Probed;
    m_message.clear();
    m_audioPass = false;
    m_player = m_playerOverride.isEmpty() ? locatePlayer() : m_playerOverride;
    if (m_player.isEmpty()) {
        const QString message =
            tr("The media player program \"%1\" was not found (looked for mp.dll in %2 and for %1 "
               "on PATH). Files are listed without their size, format and length.")
                .arg(playerDisplayName(), QDir::toNativeSeparators(applicationFolder()));
        // Reported from the event loop, like every other end, so callers see one order of events.
        QTimer::singleShot(0, this, [this, message, generation = m_generation] {
            if (generation == m_generation)
                finish(Outcome::PlayerMissing, message);
        });
        return;
    }
    runPass(identifyArguments(path));
}

void MediaProbe::runPass(const QStringList& arguments) {
    dropProcess();
    // Parented, so a pass dropped but not yet deleted goes with the probe.
    m_process = std::make_unique<CapturedProgram>(this);
    m_process->setAsync(true);
    m_process->setProgram(m_player, arguments);
    m_process->setKeptLines(isIdentifyLine, kMaxIdentifyLines, kTailLines);
    CapturedProgram* const pass = m_process.get();
    // A pass that was dropped (cancelled, timed out) may still report; only the current one counts.
    connect(pass, &CapturedProgram::finished, this, [this, pass] {
        if (m_process.get() == pass)
            onPassFinished();
    });
    m_timer->start(m_timeoutMs);
    m_process->launch();
}

void MediaProbe::onPassFinished() {
    m_timer->stop();
    if (!m_process->startError().isEmpty()) {
        finish(Outcome::StartFailed, tr("The media player program %1 could not be started: %2")
                                         .arg(m_player, m_process->startError()));
        return;
    }
    if (m_process->exitCode() != 0) {
        failPass();
        return;
    }
    const MediaInfo found = parseIdentifyOutput(m_process->output());
    if (m_audioPass) {
        m_info.lengthSeconds = found.lengthSeconds;
    } else {
        m_info = found;
        if (needsAudioLengthPass(m_info)) {
            m_audioPass = true;
            runPass(audioLengthArguments(m_path));
            return;
        }
    }
    finish(Outcome::Probed, QString());
}

// A player that crashed or failed may have printed anything: its lines are not a result. A failed
// second pass only costs the length.
void MediaProbe::failPass() {
    const int code = m_process->exitCode();
    const QString how = code == -1 ? tr("crashed") : tr("failed (exit code %1)").arg(code);
    if (m_audioPass)
        m_info.lengthSeconds.reset();
    else
        m_info = MediaInfo();
    finish(Outcome::PlayerFailed, tr("The media player program %1 %2 while probing %3.")
                                      .arg(m_player, how, QDir::toNativeSeparators(m_path)));
}

void MediaProbe::onTimeout() {
    if (m_process && !m_audioPass)
        m_info = parseIdentifyOutput(m_process->output());
    finish(Outcome::TimedOut, tr("The media player program %1 did not finish probing %2 within "
                                 "%3 seconds and was stopped.")
                                  .arg(m_player, QDir::toNativeSeparators(m_path))
                                  .arg(m_timeoutMs / 1000));
}

void MediaProbe::finish(Outcome outcome, const QString& message) {
    m_timer->stop();
    dropProcess();
    m_outcome = outcome;
    m_message = message;
    if (outcome == Outcome::Probed && !m_info.recognized()) {
        const QFileInfo file(m_path);
        m_message = !file.exists() ? tr("%1: no such file").arg(QDir::toNativeSeparators(m_path))
                    : !file.isReadable()
                        ? tr("%1: cannot be read").arg(QDir::toNativeSeparators(m_path))
                        : tr("%1: the media player found no audio or video in it")
                              .arg(QDir::toNativeSeparators(m_path));
    }
    Q_EMIT finished(m_info);
}

} // namespace mirelo
