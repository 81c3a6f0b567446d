#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace mirelo {

// One device the encoder can record from.
struct CaptureDevice {
    QString name;               // shown in the device chooser
    QStringList inputArguments; // the encoder's input options, ending with "-i <source>"
    QString controlPath;        // V4L2 node for camera controls; empty when the device has none
    bool hasAudio = false;      // DV carries sound; cameras under V4L2 do not
};

// Where the capture engine finds its devices: the system's V4L2 and FireWire devices in the
// product, a generated test picture in tests (this machine has no camera).
class DeviceSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual QList<CaptureDevice> devices() const = 0;

Q_SIGNALS:
    // The list grew or shrank after the source was created (DV appears once the encoder is asked).
    void devicesChanged();
};

// A device made of the encoder's lavfi test source, paced at real time like a camera.
// The filter graph is the source, e.g. "testsrc=size=320x240:rate=25".
class LavfiDeviceSource : public DeviceSource {
    Q_OBJECT
public:
    explicit LavfiDeviceSource(QStringList graphs, QObject* parent = nullptr);
    QList<CaptureDevice> devices() const override;

    static CaptureDevice device(const QString& graph);

private:
    QStringList m_graphs;
};

} // namespace mirelo
