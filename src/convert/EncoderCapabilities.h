#pragma once

#include "convert/AudioLimits.h"
#include "convert/CapabilityCacheFile.h"
#include "process/ProgramRunner.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

namespace mirelo {

// One row of the encoder's "-encoders" list: " V....D libx264   libx264 H.264 (codec h264)".
struct EncoderListing {
    QString name;
    QString flags;       // six characters: type (V, A, S), then F, S, X (experimental), B, D
    QString description; // without the "(codec ...)" note
    bool isVideo() const { return flags.startsWith(QLatin1Char('V')); }
    bool isExperimental() const { return flags.size() == 6 && flags[3] == QLatin1Char('X'); }
};

// What the installed encoder can write: its encoders (experimental ones left out, since they only
// run with extra switches) and its muxers, as its own "-encoders" and "-muxers" lists say, and its
// video encoders with their descriptions, in list order (the capture window offers them).
struct EncoderCapabilities {
    QSet<QString> encoders;
    QSet<QString> muxers;
    QList<EncoderListing> videoEncoders = {};

    bool hasEncoder(const QString& name) const { return encoders.contains(name); }
    bool hasMuxer(const QString& name) const { return muxers.contains(name); }
};

// Parsers of the encoder's list output (everything after the "------" / "--" separator line).
QList<EncoderListing> parseEncoderListing(const QString& text);
QSet<QString> parseEncoderList(const QString& text);
QSet<QString> parseMuxerList(const QString& text);

// The lists of one encoder program are read once per process and kept.
const EncoderCapabilities* cachedCapabilities(const QString& program);
void storeCapabilities(const QString& program, const EncoderCapabilities& capabilities);

// Audio encoders' limits, read from each encoder's help when a conversion first needs them and kept
// for this process (and in the capability file, see CapabilityCacheFile.h).
QHash<QString, AudioLimits> cachedAudioLimits(const QString& program);
bool hasCachedAudioLimits(const QString& program, const QString& encoder);
void storeAudioLimits(const QString& program, const QString& encoder, const AudioLimits& limits);

// What an encoder's help says: whether it runs in one thread and, for an audio encoder, its
// limits. Kept for this process, and with the program's stored lists the same way as the trials
// (CapabilityCacheFile.h); the loader puts what is stored in the caches with the lists.
struct EncoderHelp {
    bool oneThread = false;
    std::optional<AudioLimits> audio;
};
void storeEncoderHelp(const QString& program, const QString& encoder, const EncoderHelp& help);
// None while the encoder's help was not read.
std::optional<bool> cachedOneThread(const QString& program, const QString& encoder);

// Reads an encoder's two lists without blocking, both at once. Emits exactly one of loaded() or
// failed() and stores the result in the cache. A list not read within kTimeoutMs is a failure.
// Destroying the loader stops the listings.
class CapabilityLoader : public QObject {
    Q_OBJECT
public:
    explicit CapabilityLoader(QObject* parent = nullptr);
    ~CapabilityLoader() override;

    static constexpr int kTimeoutMs = 30000;

    // Where the lists are kept between processes; empty: only in this process.
    void setCapabilityFile(const QString& file) { m_file = file; }
    // Tests shorten the time-out.
    void setTimeout(int milliseconds);
    void start(const QString& program);

Q_SIGNALS:
    void loaded();
    void failed(const QString& message);

private:
    void onFinished(const ProgramRunner& runner, const ProgramEnd& end);
    void fail(const QString& message);
    void loadedLater();

    std::optional<QString> m_file;
    QString m_program;
    ProgramRunner m_encoders;
    ProgramRunner m_muxers;
    EncoderCapabilities m_result;
    int m_pending = 0;
    bool m_done = false;
};

} // namespace mirelo
