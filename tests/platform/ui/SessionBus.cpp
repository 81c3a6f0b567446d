#include "SessionBus.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QStandardPaths>

namespace mirelo::test {

PrivateSessionBus::PrivateSessionBus() {
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty())
        return;
    m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                            QStringLiteral("--nopidfile"), QStringLiteral("--print-address")});
    if (!m_daemon.waitForStarted(5000))
        return;
    // The daemon prints its address once it listens.
    while (m_daemon.waitForReadyRead(5000)) {
        if (m_daemon.canReadLine()) {
            m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
            break;
        }
    }
}

PrivateSessionBus::~PrivateSessionBus() {
    for (const QString& name : m_names)
        QDBusConnection::disconnectFromBus(name);
    m_daemon.kill();
    m_daemon.waitForFinished(5000);
}

QDBusConnection PrivateSessionBus::connect(const QString& name) const {
    const_cast<QStringList&>(m_names) << name;
    return QDBusConnection::connectToBus(m_address, name);
}

FakeNotificationServer::FakeNotificationServer(QDBusConnection bus, bool supportsActions)
    : m_bus(std::move(bus)), m_actions(supportsActions) {
    m_registered = m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                        QDBusConnection::ExportAllSlots) &&
                   m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

QStringList FakeNotificationServer::GetCapabilities() {
    QStringList caps{QStringLiteral("body")};
    if (m_actions)
        caps << QStringLiteral("actions");
    return caps;
}

uint FakeNotificationServer::Notify(const QString& appName, uint, const QString& icon,
                                    const QString& summary, const QString& body,
                                    const QStringList& actions, const QVariantMap& hints, int) {
    m_calls.push_back({appName, icon, summary, body, actions, hints});
    return static_cast<uint>(m_calls.size());
}

void FakeNotificationServer::invokeAction(uint id, const QString& action) {
    QDBusMessage signal = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    signal << id << action;
    m_bus.send(signal);
}

LauncherSignals::LauncherSignals(QDBusConnection bus) : m_bus(std::move(bus)) {
    m_bus.connect(QString(), QString(), QStringLiteral("com.canonical.Unity.LauncherEntry"),
                  QStringLiteral("Update"), this, SLOT(onUpdate(QDBusMessage)));
}

void LauncherSignals::onUpdate(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (args.size() != 2)
        return;
    Update u;
    u.uri = args[0].toString();
    const QDBusArgument map = args[1].value<QDBusArgument>();
    map >> u.properties;
    updates.push_back(u);
}

} // namespace mirelo::test
