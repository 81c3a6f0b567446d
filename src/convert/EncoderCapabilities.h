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

// Reads an encoder's two lists without blocking, both at once. Emits exactly one of loaded() or
// failed() and stores the result in the cache.
class CapabilityLoader : public QObject {
    Q_OBJECT
public:
    explicit CapabilityLoader(QObject* parent = nullptr);
    ~CapabilityLoader() override;

    void start(const QString& program);

Q_SIGNALS:
    void loaded();
    void failed(const QString& message);

private:
    void onFinished(QProcess& process, bool muxers);
    void onError(QProcess& process, QProcess::ProcessError error);

    QString m_program;
    QProcess m_encoders;
    QProcess m_muxers;
    EncoderCapabilities m_result;
    int m_pending = 0;
    bool m_done = false;
};

} // namespace mirelo
