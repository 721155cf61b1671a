#include "linux/startup.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zarn {
namespace {

// libdbus finds a bus by itself only under XDG_RUNTIME_DIR: the user's bus is
// named outright, whether or not a socket is there, and only while needed.
TEST(NoSessionBusAutolaunch, NamesTheUsersBusWhileItLives) {
  QTemporaryDir runtime;
  ASSERT_TRUE(runtime.isValid());
  const QByteArray bus = QFile::encodeName(runtime.path()) + "/bus";
  QFile socket(QString::fromLocal8Bit(bus));
  ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
  const QByteArray outerRuntime = qgetenv("XDG_RUNTIME_DIR");
  const QByteArray outerBus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
  qunsetenv("DBUS_SESSION_BUS_ADDRESS");
  {
    NoSessionBusAutolaunch noAutolaunch;
    EXPECT_EQ(qgetenv("DBUS_SESSION_BUS_ADDRESS"), "unix:path=" + bus);
  }
  EXPECT_FALSE(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"));
  qputenv("XDG_RUNTIME_DIR", outerRuntime);
  if (!outerBus.isEmpty()) qputenv("DBUS_SESSION_BUS_ADDRESS", outerBus);
}

}  // namespace
}  // namespace zarn
