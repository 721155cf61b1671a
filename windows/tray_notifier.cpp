#include "windows/tray_notifier.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

namespace zarn {

void TrayNotifier::Notify(const Notice& notice) {
  if (!QSystemTrayIcon::isSystemTrayAvailable() || !QSystemTrayIcon::supportsMessages()) return;
  if (!icon_) {
    icon_ = std::make_unique<QSystemTrayIcon>(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon));
    icon_->setToolTip(QStringLiteral("zarn"));
    icon_->show();
  }
  icon_->showMessage(notice.summary, notice.body,
                     notice.urgent ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information, 10000);
}

}  // namespace zarn
