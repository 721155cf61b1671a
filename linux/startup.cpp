#include "linux/startup.h"

#include <QByteArray>
#include <fontconfig/fontconfig.h>
#include <malloc.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace zarn {

bool DisplayAvailable() {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return true;
  if (qEnvironmentVariableIsEmpty("DISPLAY")) return false;
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  const bool connected = xcb_connection_has_error(c) == 0;
  xcb_disconnect(c);
  return connected;
}

std::thread ReadFontConfiguration() {
  return std::thread([] { FcInit(); });
}

void KeepFreedMemoryForReuse() {
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
  mallopt(M_MMAP_THRESHOLD, 32 << 20);  // glibc's largest; zlib's state then comes from the heap
}

NoSessionBusAutolaunch::NoSessionBusAutolaunch() {
  if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS")) return;
  // Named even when a bus is there: libdbus looks for it only under
  // XDG_RUNTIME_DIR, and without that it would autolaunch.
  QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
  if (runtime.isEmpty()) runtime = "/run/user/" + QByteArray::number(::getuid());  // where systemd puts it
  set_ = qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + runtime + "/bus");
}

NoSessionBusAutolaunch::~NoSessionBusAutolaunch() {
  if (set_) qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}  // namespace zarn
