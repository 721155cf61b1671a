#pragma once
// Notices in the notification area: a balloon from zarn's own icon there,
// where the desktop has one; nothing otherwise. Needs a QApplication.
#include <QSystemTrayIcon>
#include <memory>

#include "platform/notifier.h"

namespace zarn {

class TrayNotifier final : public Notifier {
 public:
  void Notify(const Notice& notice) override;

 private:
  std::unique_ptr<QSystemTrayIcon> icon_;  // shown until zarn ends
};

}  // namespace zarn
