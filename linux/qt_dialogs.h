#pragma once
// The program's dialogs on QMessageBox. Needs a QApplication. A Ctrl+C while a
// box is open closes it and is raised, once it has closed, as the error of
// the step that opened it.
#include "platform/dialogs.h"

namespace zarn {

class QtDialogs final : public Dialogs {
 public:
  void Message(const QString& title, const QString& text) override;
  TrapChoice AbortRetryIgnore(const QString& title, const QString& text) override;
  bool MessageOrStop(const QString& title, const QString& text) override;
  HostAnswer AskHost(const QString& title, const QString& text) override;
  bool OfferAllow(const QString& title, const QString& text) override;
};

}  // namespace zarn
