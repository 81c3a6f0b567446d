#pragma once

// A private session bus for one test (dbus-daemon started by the test), and a stand-in for the
// desktop's notification server that records what it is asked.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace mirelo::test {

class PrivateSessionBus {
public:
    PrivateSessionBus();
    ~PrivateSessionBus();
    bool isUp() const { return !m_address.isEmpty(); }
    // A new connection to the bus under its own name.
    QDBusConnection connect(const QString& name) const;

private:
    QProcess m_daemon;
    QString m_address;
    QStringList m_names;
};

struct NotifyCall {
    QString appName;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
};

class FakeNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    FakeNotificationServer(QDBusConnection bus, bool supportsActions);
    bool registered() const { return m_registered; }
    const std::vector<NotifyCall>& calls() const { return m_calls; }
    void invokeAction(uint id, const QString& action);

public Q_SLOTS:
    QStringList GetCapabilities();
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout);

private:
    QDBusConnection m_bus;
    bool m_actions;
    bool m_registered = false;
    std::vector<NotifyCall> m_calls;
};

// Records the launcher entry's Update signals seen on the bus.
class LauncherSignals : public QObject {
    Q_OBJECT
public:
    explicit LauncherSignals(QDBusConnection bus);
    struct Update {
        QString uri;
        QVariantMap properties;
    };
    std::vector<Update> updates;

private Q_SLOTS:
    void onUpdate(const QDBusMessage& message);

private:
    QDBusConnection m_bus;
};

} // namespace mirelo::test
