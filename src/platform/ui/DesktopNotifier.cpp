#include "platform/ui/DesktopNotifier.h"

#include "base/Product.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace mirelo {

namespace {

constexpr char kPath[] = "/org/freedesktop/Notifications";
constexpr char kInterface[] = "org.freedesktop.Notifications";
constexpr char kLauncherPath[] = "/org/mirelo/videoconverter/launcher";
constexpr char kLauncherInterface[] = "com.canonical.Unity.LauncherEntry";
constexpr char kOpenFolderAction[] = "open-folder";
constexpr int kExpireDefault = -1;

QDBusMessage notificationsCall(const char* method) {
    return QDBusMessage::createMethodCall(QLatin1String(DesktopNotifier::kNotificationsService),
                                          QLatin1String(kPath), QLatin1String(kInterface),
                                          QLatin1String(method));
}

} // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection connection, QObject* parent)
    : QObject(parent), m_bus(std::move(connection)) {
    if (!m_bus.isConnected())
        return;
    const QString service = QLatin1String(kNotificationsService);
    m_bus.connect(service, QLatin1String(kPath), QLatin1String(kInterface),
                  QStringLiteral("ActionInvoked"), this, SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, QLatin1String(kPath), QLatin1String(kInterface),
                  QStringLiteral("NotificationClosed"), this, SLOT(onClosed(uint, uint)));
}

DesktopNotifier::~DesktopNotifier() {
    if (m_lastProgress >= 0)
        clearProgress();
}

QDBusConnection DesktopNotifier::sessionBusIfAny() {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return QDBusConnection(QStringLiteral("mirelo-no-session-bus"));
    return QDBusConnection::sessionBus();
}

void notifyUnlessActive(DesktopNotifier* notifier, const QWidget* window, const QString& body,
                        const QString& folder) {
    if (notifier && !(window && window->isActiveWindow()))
        notifier->notify(applicationTitle(), body, folder);
}

QString DesktopNotifier::launcherUri() {
    QString id = QGuiApplication::desktopFileName();
    if (id.isEmpty())
        id = QStringLiteral("org.mirelo.videoconverter");
    return QStringLiteral("application://") + id + QStringLiteral(".desktop");
}

// Actions are offered only where the server says it shows them; asking first costs one
// round trip, and both calls are asynchronous so a slow or absent server never stalls the window.
void DesktopNotifier::notify(const QString& summary, const QString& body, const QString& folder) {
    if (!m_bus.isConnected())
        return;
    if (folder.isEmpty()) {
        sendNotify(summary, body, folder, false);
        return;
    }
    auto* watcher =
        new QDBusPendingCallWatcher(m_bus.asyncCall(notificationsCall("GetCapabilities")), this);
    connect(
        watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, summary, body, folder] {
            watcher->deleteLater();
            const QDBusPendingReply<QStringList> reply = *watcher;
            if (reply.isError())
                return; // no notification service: nothing to tell
            sendNotify(summary, body, folder, reply.value().contains(QStringLiteral("actions")));
        });
}

void DesktopNotifier::sendNotify(const QString& summary, const QString& body, const QString& folder,
                                 bool withAction) {
    QDBusMessage call = notificationsCall("Notify");
    QStringList actions;
    if (withAction)
        actions << QLatin1String(kOpenFolderAction) << tr("Open folder");
    const QString appName = QGuiApplication::applicationDisplayName().isEmpty()
                                ? applicationTitle()
                                : QGuiApplication::applicationDisplayName();
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QGuiApplication::desktopFileName());
    call << appName << uint(0) << QStringLiteral("mirelo-video-converter") << summary << body
         << actions << hints << kExpireDefault;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, withAction, folder] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        if (!reply.isError() && withAction)
            m_folders.insert(reply.value(), folder);
    });
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action) {
    const auto it = m_folders.constFind(id);
    if (it == m_folders.constEnd() || action != QLatin1String(kOpenFolderAction))
        return;
    if (m_openFolder)
        m_openFolder(*it);
}

void DesktopNotifier::onClosed(uint id, uint /*reason*/) {
    m_folders.remove(id);
}

void DesktopNotifier::setProgress(double progress) {
    const double p = std::clamp(progress, 0.0, 1.0);
    // The dock redraws on every signal; a hundredth is finer than any launcher icon shows.
    if (m_lastProgress >= 0 && std::abs(p - m_lastProgress) < 0.01 && p < 1.0)
        return;
    m_lastProgress = p;
    sendLauncherUpdate(p, true);
}

void DesktopNotifier::clearProgress() {
    m_lastProgress = -1;
    sendLauncherUpdate(0.0, false);
}

void DesktopNotifier::sendLauncherUpdate(double progress, bool visible) {
    if (!m_bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        QLatin1String(kLauncherPath), QLatin1String(kLauncherInterface), QStringLiteral("Update"));
    QVariantMap properties;
    properties.insert(QStringLiteral("progress"), progress);
    properties.insert(QStringLiteral("progress-visible"), visible);
    signal << launcherUri() << properties;
    m_bus.send(signal);
}

} // namespace mirelo
