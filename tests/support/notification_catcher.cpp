#include "support/notification_catcher.h"

#include "support/child_process.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <cstdlib>

namespace zorvan::test {

namespace {
const char* const connectionName = "zorvan-test-notifications";
}

uint NotificationService::Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
                                 const QStringList&, const QVariantMap&, int) {
    seen.push_back({summary, body});
    return static_cast<uint>(seen.size());
}

NotificationCatcher::NotificationCatcher() {
    std::string line;
    daemon_ = spawnListening({"/usr/bin/dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"}, line);
    if (daemon_ < 0 || line.empty()) return;
    address_ = QString::fromStdString(line).trimmed();
    hadAddress_ = std::getenv("DBUS_SESSION_BUS_ADDRESS") != nullptr;
    if (hadAddress_) oldAddress_ = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    // The program's notices go to the session bus the environment names.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8().constData(), 1);
    QDBusConnection bus = QDBusConnection::connectToBus(address_, QString::fromLatin1(connectionName));
    ready_ = bus.isConnected() && bus.registerService(QStringLiteral("org.freedesktop.Notifications")) &&
             bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service_,
                                QDBusConnection::ExportAllSlots);
}

NotificationCatcher::~NotificationCatcher() {
    QDBusConnection::disconnectFromBus(QString::fromLatin1(connectionName));
    if (daemon_ > 0) stopChild(daemon_);
    if (hadAddress_) ::setenv("DBUS_SESSION_BUS_ADDRESS", oldAddress_.constData(), 1);
    else ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

QStringList NotificationCatcher::bodies() const {
    QStringList bodies;
    for (const SeenNotification& notice : service_.seen) bodies << notice.body;
    return bodies;
}

}  // namespace zorvan::test
