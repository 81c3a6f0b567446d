#pragma once

#include "platform/PowerService.h"

#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <functional>

class QWidget;

namespace mirelo {

// The system's power services through logind on the system bus: a "sleep" inhibitor lock held
// while a run is active, and PowerOff after a 30-second countdown the user can cancel.
class LogindPower : public PowerService {
public:
    explicit LogindPower(QWidget* dialogParent = nullptr);
    ~LogindPower() override;

    void inhibitSleep(const QString& reason) override;
    void releaseSleep() override;
    void requestPowerOff() override;

    static constexpr int kCountdownSeconds = 30;

private:
    QWidget* m_parent;
    QObject m_replies;              // pending replies die with this object
    QDBusUnixFileDescriptor m_lock; // the inhibitor holds while this descriptor is open
    bool m_inhibitPending = false;
};

} // namespace mirelo
