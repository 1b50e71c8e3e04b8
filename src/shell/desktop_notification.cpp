#include "shell/desktop_notification.h"

#include "place/app_id.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QStringList>
#include <QVariantMap>

namespace zorvan {

namespace {

// The session bus the environment names now: a bus that went (a desktop
// session restarted) or was named anew is connected to again.
QDBusConnection noticeBus() {
    static const QString name = QStringLiteral("zorvan-notices");
    static QString connectedTo;
    const QString address = QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS"));
    if (QDBusConnection bus(name); bus.isConnected() && address == connectedTo) return bus;
    QDBusConnection::disconnectFromBus(name);
    connectedTo = address;
    return address.isEmpty() ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, name)
                             : QDBusConnection::connectToBus(address, name);
}

}  // namespace

void notifyDesktop(const QString& summary, const QString& body) {
    QDBusConnection bus = noticeBus();
    if (!bus.isConnected()) return;  // no session bus: the window's lines say it
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(appId));
    call << QStringLiteral("Zorvan") << 0u << QString::fromLatin1(appId) << summary << body << QStringList() << hints
         << -1;
    bus.asyncCall(call);  // nobody waits for its answer
}

}  // namespace zorvan
