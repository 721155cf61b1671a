// A stand-in for the desktop's notification service on a private session bus
// (DBUS_SESSION_BUS_ADDRESS): owns org.freedesktop.Notifications, answers
// Notify with a new id and prints each call as one JSON line
// {"app": ..., "summary": ..., "body": ..., "urgency": n}. Prints "ready"
// once it owns the name; ends after the seconds given (default 60).
// usage: fake_notifications [seconds]
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <cstdio>

namespace {

const QString kName = QStringLiteral("org.freedesktop.Notifications");

class Notifications final : public QDBusVirtualObject {
 public:
  QString introspect(const QString&) const override { return {}; }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.interface() != kName) return false;
    if (message.member() == u"Notify" && message.arguments().size() == 8) {
      const QList<QVariant> a = message.arguments();
      const QVariantMap hints = qdbus_cast<QVariantMap>(a[6]);
      const QJsonObject line{{"app", a[0].toString()},
                             {"summary", a[3].toString()},
                             {"body", a[4].toString()},
                             {"urgency", hints.value(QStringLiteral("urgency")).toInt()}};
      std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
      std::fflush(stdout);
      connection.send(message.createReply(QVariant::fromValue(++lastId_)));
      return true;
    }
    connection.send(message.createErrorReply(QDBusError::UnknownMethod, message.member()));
    return true;
  }

 private:
  uint lastId_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QDBusConnection bus = QDBusConnection::sessionBus();
  Notifications service;
  if (!bus.isConnected() || !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &service) ||
      !bus.registerService(kName)) {
    std::fprintf(stderr, "no session bus, or the name is taken\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  QTimer::singleShot((argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 60) * 1000, &app, &QCoreApplication::quit);
  return app.exec();
}
