#pragma once
// What the programs find out and settle before Qt starts.
#include <thread>

namespace zarn {

// True when a window can be shown: a platform named in QT_QPA_PLATFORM, a
// Wayland display, or an X display (DISPLAY) that accepts a connection.
bool DisplayAvailable();

// Without a session bus they can find (no DBUS_SESSION_BUS_ADDRESS, nothing
// at $XDG_RUNTIME_DIR/bus), D-Bus clients in this process (Qt's accessibility
// bridge, as soon as the first widget is made) would search PATH for
// dbus-launch and start a bus of their own. While this object lives, they
// look only where the user's session bus lives ($XDG_RUNTIME_DIR/bus, or
// /run/user/UID/bus); afterwards the environment is as it was, for the
// programs this process starts (a PDF viewer).
class NoSessionBusAutolaunch {
 public:
  NoSessionBusAutolaunch();
  ~NoSessionBusAutolaunch();
  NoSessionBusAutolaunch(const NoSessionBusAutolaunch&) = delete;
  NoSessionBusAutolaunch& operator=(const NoSessionBusAutolaunch&) = delete;

 private:
  bool set_ = false;
};

// Reads the font configuration (fontconfig's set-up, which the first text of
// the window waits for) on a thread of its own, while Qt connects to the
// display on this one; the result is kept by fontconfig for Qt to use.
// Join the thread before the first text is laid out, so the work is never
// cut off by an early end of the process.
std::thread ReadFontConfiguration();

// Qt's PDF engine allocates and frees its page buffers and zlib's state on
// every page; glibc would hand that memory back to the system each time and
// fault it in again on the next page, a tenth of the time of a text-heavy
// page. After this call freed memory is kept for reuse instead: up to 64 MB
// of it stays with the process, which ends after its job.
void KeepFreedMemoryForReuse();

}  // namespace zarn
