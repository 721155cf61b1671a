#include "linux/dbus_notifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>

namespace zarn {

namespace {

const QString kConnection = QStringLiteral("zarn-notices");

// The session bus's address, or empty when none is there to join.
QString SessionBusAddress() {
  const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
  if (!address.isEmpty()) return address;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  const QString socket = runtime + QStringLiteral("/bus");
  if (!runtime.isEmpty() && QFileInfo(socket).exists()) return QStringLiteral("unix:path=") + socket;
  return {};
}

// The desktop's urgency levels: 1 normal, 2 critical.
constexpr uchar kNormal = 1;
constexpr uchar kCritical = 2;

}  // namespace

void DBusNotifier::Notify(const Notice& notice) {
  const QString address = SessionBusAddress();
  if (address.isEmpty()) return;
  // A connection of our own to that address: sessionBus() could launch a bus.
  QDBusConnection bus = QDBusConnection::connectToBus(address, kConnection);
  if (bus.isConnected()) {
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                       QStringLiteral("/org/freedesktop/Notifications"),
                                       QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(notice.urgent ? kCritical : kNormal));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("zarn"));
    // The body may be read as markup: it is escaped.
    // app name, id to replace, icon, summary, body, actions, hints, time-out (-1: the desktop's)
    call << QStringLiteral("zarn") << 0u << QStringLiteral("printer") << notice.summary << notice.body.toHtmlEscaped()
         << QStringList() << hints << -1;
    bus.call(call, QDBus::Block, kReplyMs);
  }
  QDBusConnection::disconnectFromBus(kConnection);
}

}  // namespace zarn
