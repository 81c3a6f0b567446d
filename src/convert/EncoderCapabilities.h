#pragma once

#include <QObject>
#include <QProcess>
#include <QSet>
#include <QString>

#include <optional>

namespace mirelo {

// What the installed encoder can write: its encoders (experimental ones left out, since they only
// run with extra switches) and its muxers, as its own "-encoders" and "-muxers" lists say.
struct EncoderCapabilities {
    QSet<QString> encoders;
    QSet<QString> muxers;

    bool hasEncoder(const QString& name) const { return encoders.contains(name); }
    bool hasMuxer(const QString& name) const { return muxers.contains(name); }
};

// Parsers of the encoder's list output (everything after the "------" / "--" separator line).
QSet<QString> parseEncoderList(const QString& text);
QSet<QString> parseMuxerList(const QString& text);

// The lists of one encoder program are read once per process and kept.
const EncoderCapabilities* cachedCapabilities(const QString& program);
void storeCapabilities(const QString& program, const EncoderCapabilities& capabilities);

// The lists are also kept on disk, stamped with the program's size and modification time and the
// time the system's shared libraries last changed, so a new process asks the encoder again only
// after the program or its libraries have changed.
QString defaultCapabilityFile(); // Cache/encoder-capabilities.json in the writable folder
std::optional<EncoderCapabilities> readStoredCapabilities(const QString& file,
                                                          const QString& program);
bool writeStoredCapabilities(const QString& file, const QString& program,
                             const EncoderCapabilities& capabilities);

// Reads an encoder's two lists without blocking, both at once. Emits exactly one of loaded() or
// failed() and stores the result in the cache.
class CapabilityLoader : public QObject {
    Q_OBJECT
public:
    explicit CapabilityLoader(QObject* parent = nullptr);
    ~CapabilityLoader() override;

    // Where the lists are kept between processes; empty: only in this process.
    void setCapabilityFile(const QString& file) { m_file = file; }
    void start(const QString& program);

Q_SIGNALS:
    void loaded();
    void failed(const QString& message);

private:
    void onFinished(QProcess& process, bool muxers);
    void onError(QProcess& process, QProcess::ProcessError error);
    void loadedLater();

    std::optional<QString> m_file;
    QString m_program;
    QProcess m_encoders;
    QProcess m_muxers;
    EncoderCapabilities m_result;
    int m_pending = 0;
    bool m_done = false;
};

} // namespace mirelo
