#include "platform/ui/LogindPower.h"

#include "base/Product.h"
#include "platform/ui/ShutdownCountdown.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace mirelo {

namespace {

QDBusMessage managerCall(const char* method) {
    return QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
        QStringLiteral("org.freedesktop.login1.Manager"), QLatin1String(method));
}

} // namespace

LogindPower::LogindPower(QWidget* dialogParent) : m_parent(dialogParent) {}

LogindPower::~LogindPower() = default;

void LogindPower::inhibitSleep(const QString& reason) {
    if (m_lock.isValid() || m_inhibitPending)
        return;
    QDBusMessage call = managerCall("Inhibit");
    call << QStringLiteral("sleep") << applicationTitle() << reason << QStringLiteral("block");
    // Without a system bus (a container, a test machine) the run simply goes on unprotected.
    const QDBusPendingCall pending = QDBusConnection::systemBus().asyncCall(call);
    m_inhibitPending = true;
    auto* watcher = new QDBusPendingCallWatcher(pending, &m_replies);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &m_replies,
                     [this](QDBusPendingCallWatcher* w) {
                         const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
                         if (m_inhibitPending && reply.isValid())
                             m_lock = reply.value();
                         m_inhibitPending = false;
                         w->deleteLater();
                     });
}

void LogindPower::releaseSleep() {
    m_inhibitPending = false;
    m_lock = QDBusUnixFileDescriptor(); // closing our copy ends the lock
}

// The countdown runs on its own, without a nested event loop: the caller goes on at once.
void LogindPower::requestPowerOff() {
    auto* countdown = new ShutdownCountdown(kCountdownSeconds, m_parent);
    countdown->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(countdown, &QDialog::accepted, &m_replies, [] {
        QDBusMessage call = managerCall("PowerOff");
        call << false; // not interactive: the user has just confirmed by waiting
        QDBusConnection::systemBus().asyncCall(call);
    });
    countdown->open();
}

} // namespace mirelo
