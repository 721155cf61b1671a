#pragma once
// The program's dialogs on QMessageBox. Needs a QApplication.
#include "platform/dialogs.h"

namespace zarn {

class QtDialogs final : public Dialogs {
 public:
  void Message(const QString& title, const QString& text) override;
  TrapChoice AbortRetryIgnore(const QString& title, const QString& text) override;
};

}  // namespace zarn
