#pragma once

#include "capture/DeviceSource.h"

namespace mirelo {

class ProgramRunner;

// V4L2 capture nodes (/dev/video*) named by their driver's card name, then DV camcorders on
// FireWire, offered only when the encoder has its iec61883 input.
class SystemDeviceSource : public DeviceSource {
    Q_OBJECT
public:
    explicit SystemDeviceSource(
        const QString& encoderPath, QObject* parent = nullptr,
        const QString& devFolder = QStringLiteral("/dev"),
        const QString& firewireFolder = QStringLiteral("/sys/bus/firewire/devices"));
    QList<CaptureDevice> devices() const override;

private:
    void askEncoderForDv(const QString& encoderPath);

    QList<CaptureDevice> m_v4l2;
    QList<CaptureDevice> m_dv;
    bool m_encoderOffersDv = false;
    ProgramRunner* m_query = nullptr;
};

// Video capture nodes of a device folder, in node-number order; nodes that are not V4L2 capture
// devices (metadata nodes, plain files) are left out.
QList<CaptureDevice> listV4l2Devices(const QString& devFolder);

// FireWire units that speak AV/C tape recorder (DV camcorders), from the firewire sysfs folder.
QList<CaptureDevice> listFirewireDvUnits(const QString& firewireFolder);

// Whether the encoder's "-devices" listing offers the named input device.
bool encoderOffersInputDevice(const QString& devicesListing, const QString& name);

} // namespace mirelo
