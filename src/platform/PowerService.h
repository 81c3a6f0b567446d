#pragma once

#include <QString>

namespace mirelo {

// The system's power services a conversion run uses. The real one talks to logind; tests use a
// fake and never construct the real one.
class PowerService {
public:
    virtual ~PowerService() = default;

    // Keeps the system from suspending while a run is active (idempotent).
    virtual void inhibitSleep(const QString& reason) = 0;
    virtual void releaseSleep() = 0;

    // Powers the computer off, after whatever confirmation the implementation gives the user.
    // Returns at once, without waiting for that confirmation. A refusal is not an error the
    // caller must handle.
    virtual void requestPowerOff() = 0;
};

} // namespace mirelo
