#pragma once

// Shared by the capture engine and capture window tests: a fake camera-control source (this
// machine has no camera), and a look at a recorded file through ffprobe.

#include "capture/CameraControls.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>

namespace mirelo::test {

class FakeCameraControls : public CameraControls {
public:
    struct State {
        QMap<int, ControlRange> ranges; // controls the fake device has
        QMap<int, int> values;
        QString openedPath;
        bool open = false;
    };
    explicit FakeCameraControls(std::shared_ptr<State> state) : m_state(std::move(state)) {}

    void open(const QString& controlPath) override {
        m_state->openedPath = controlPath;
        m_state->open = true;
    }
    void close() override { m_state->open = false; }
    std::optional<ControlRange> range(int control) const override {
        if (!m_state->open || !m_state->ranges.contains(control))
            return std::nullopt;
        return m_state->ranges.value(control);
    }
    std::optional<int> value(int control) const override {
        if (!m_state->open || !m_state->ranges.contains(control))
            return std::nullopt;
        return m_state->values.value(control, m_state->ranges.value(control).defaultValue);
    }
    bool setValue(int control, int value) override {
        if (!m_state->open || !m_state->ranges.contains(control))
            return false;
        m_state->values[control] = value;
        return true;
    }

private:
    std::shared_ptr<State> m_state;
};

struct RecordedVideo {
    bool valid = false;
    QString container;
    QString codec;
    QString tag;
    double duration = 0;
    int decodedFrames = 0;
    QString decodeErrors;
};

// Probes the file and decodes every frame of it, as a player would.
inline RecordedVideo inspectRecording(const QString& path) {
    RecordedVideo r;
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"),
                {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                 QStringLiteral("-show_format"), QStringLiteral("-show_streams"),
                 QStringLiteral("-of"), QStringLiteral("json"), path});
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        return r;
    r.decodeErrors = QString::fromUtf8(probe.readAllStandardError()).trimmed();
    const QJsonObject root = QJsonDocument::fromJson(probe.readAllStandardOutput()).object();
    const QJsonObject format = root.value(QLatin1String("format")).toObject();
    r.container = format.value(QLatin1String("format_name")).toString();
    r.duration = format.value(QLatin1String("duration")).toString().toDouble();
    for (const auto& s : root.value(QLatin1String("streams")).toArray()) {
        const QJsonObject stream = s.toObject();
        if (stream.value(QLatin1String("codec_type")).toString() != QLatin1String("video"))
            continue;
        r.codec = stream.value(QLatin1String("codec_name")).toString();
        r.tag = stream.value(QLatin1String("codec_tag_string")).toString();
        r.decodedFrames = stream.value(QLatin1String("nb_read_frames")).toString().toInt();
    }
    r.valid = !r.codec.isEmpty();
    return r;
}

} // namespace mirelo::test
