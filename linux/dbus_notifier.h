#pragma once
// Notices through the desktop's notification service
// (org.freedesktop.Notifications on the session bus, with QtDBus).
//
// The bus is only ever joined, never started: without DBUS_SESSION_BUS_ADDRESS
// the user's bus socket $XDG_RUNTIME_DIR/bus is used when it exists, and
// otherwise nothing is sent (no dbus-launch is run). A desktop without a
// notification service answers at once; a slow one is waited for at most
// kReplyMs. Nothing is shown or raised when a notice cannot be given.
#include "platform/notifier.h"

namespace zarn {

class DBusNotifier final : public Notifier {
 public:
  static constexpr int kReplyMs = 1000;
  void Notify(const Notice& notice) override;
};

}  // namespace zarn
