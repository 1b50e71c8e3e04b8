#pragma once

// A desktop's notification service for a test: a private session bus
// (dbus-daemon) that the program's notices go to, and on it a stand-in for
// org.freedesktop.Notifications that keeps what it was told.
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <sys/types.h>

#include <vector>

namespace zorvan::test {

struct SeenNotification {
    QString summary;
    QString body;
};

class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    std::vector<SeenNotification> seen;
public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int timeout);
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
};

class NotificationCatcher {
public:
    NotificationCatcher();  // the bus started and the service on it; ready() says whether it worked
    ~NotificationCatcher();
    NotificationCatcher(const NotificationCatcher&) = delete;
    NotificationCatcher& operator=(const NotificationCatcher&) = delete;

    bool ready() const { return ready_; }
    const std::vector<SeenNotification>& seen() const { return service_.seen; }
    // The bodies seen so far, in order.
    QStringList bodies() const;

private:
    pid_t daemon_ = -1;
    QString address_;
    QByteArray oldAddress_;
    bool hadAddress_ = false;
    bool ready_ = false;
    NotificationService service_;
};

}  // namespace zorvan::test
