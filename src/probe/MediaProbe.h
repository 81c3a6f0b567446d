#pragma once

#include "probe/MediaInfo.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

namespace mirelo {

class CapturedProgram;

// Probes one media file with the media player in identify mode, asynchronously: start(path), then
// finished(info) once the player has ended (or could not run). Event-driven; never blocks.
class MediaProbe : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Probed,        // the player ran; info holds whatever it reported (maybe nothing)
        PlayerMissing, // no mp.dll in the application folder and no mplayer on PATH
        StartFailed,   // the player was found but could not be started
        TimedOut,      // the player did not end in time and was stopped
        PlayerFailed,  // the player crashed or exited with an error: what it printed is not used
    };
    Q_ENUM(Outcome)

    explicit MediaProbe(QObject* parent = nullptr);
    ~MediaProbe() override;

    // The player program to run; empty (the default) means the tool locator's choice at start().
    void setPlayerProgram(const QString& program);
    // A probe that runs longer than this is stopped and keeps what it found (default 30 s).
    void setTimeoutMs(int ms);

    // Starts probing the file. A probe already running is abandoned (no finished for it).
    void start(const QString& path);
    // Stops a running probe without reporting it.
    void cancel();
    bool isRunning() const;

    QString path() const { return m_path; }
    const MediaInfo& info() const { return m_info; }
    Outcome outcome() const { return m_outcome; }
    // A user-facing sentence naming the program or file when the outcome is not Probed, or when
    // the player found nothing in the file; empty otherwise.
    QString message() const { return m_message; }

Q_SIGNALS:
    void finished(const mirelo::MediaInfo& info);

private:
    void runPass(const QStringList& arguments);
    void onPassFinished();
    void failPass();
    void onTimeout();
    void finish(Outcome outcome, const QString& message);
    void dropProcess();

    QString m_playerOverride;
    QString m_player;
    QString m_path;
    MediaInfo m_info;
    Outcome m_outcome = Outcome::Probed;
    QString m_message;
    bool m_audioPass = false;
    int m_timeoutMs = 30000;
    quint64 m_generation = 0;
    std::unique_ptr<CapturedProgram> m_process;
    QTimer* m_timer = nullptr;
};

} // namespace mirelo
