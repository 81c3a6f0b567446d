#pragma once

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace mirelo {

// Tells the desktop about work that ended while the user was elsewhere, and shows a batch's
// progress on the program's launcher icon, over the session bus:
// - org.freedesktop.Notifications Notify, with an "Open folder" action where the server
//   supports actions;
// - the com.canonical.Unity.LauncherEntry Update signal with "progress" and
//   "progress-visible", which docks and task managers of several desktops read.
// Without a session bus or a notification service nothing happens and nothing is printed.
class DesktopNotifier : public QObject {
    Q_OBJECT
public:
    // connection: the session bus in the product; a private bus in tests.
    explicit DesktopNotifier(QDBusConnection connection = sessionBusIfAny(),
                             QObject* parent = nullptr);
    ~DesktopNotifier() override;

    // folder: what the "Open folder" action opens; empty: no action.
    void notify(const QString& summary, const QString& body, const QString& folder = {});
    // progress 0..1 shows the bar on the launcher icon; clearProgress() hides it.
    void setProgress(double progress);
    void clearProgress();

    // Called with the folder when the user picks "Open folder" on a notification.
    void setFolderAction(std::function<void(const QString&)> open) {
        m_openFolder = std::move(open);
    }

    static QString launcherUri();
    // The session bus when the desktop session has one; else a connection that is never up (no
    // bus is started on the product's behalf).
    static QDBusConnection sessionBusIfAny();
    static constexpr char kNotificationsService[] = "org.freedesktop.Notifications";

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& action);
    void onClosed(uint id, uint reason);

private:
    void sendNotify(const QString& summary, const QString& body, const QString& folder,
                    bool withAction);
    void sendLauncherUpdate(double progress, bool visible);

    QDBusConnection m_bus;
    std::function<void(const QString&)> m_openFolder;
    QHash<uint, QString> m_folders; // notification id -> folder of its action
    double m_lastProgress = -1;
};

// How a window tells of work that ended (a download, a recording): the outcome in one line and the
// folder the "Open folder" action opens. The main window makes it notifyUnlessActive() with its
// notifier; none: nothing is told.
using EndNotice = std::function<void(const QString& body, const QString& folder)>;

// Tells of work that ended while `window` was not the active window (a user looking at it sees
// the outcome there). No notifier: nothing.
void notifyUnlessActive(DesktopNotifier* notifier, const QWidget* window, const QString& body,
                        const QString& folder = {});

} // namespace mirelo
