#pragma once
// The program's dialogs on QMessageBox. Needs a QApplication. A Ctrl+C while a
// box is open closes it and is raised, once it has closed, as the error of
// the step that opened it.
#include "platform/dialogs.h"

class QWidget;

namespace zarn {

class QtDialogs final : public Dialogs {
 public:
  // The boxes belong to the program's window (one taskbar entry, centred on it).
  void SetOwner(QWidget* window) { owner_ = window; }

  void Message(const QString& title, const QString& text) override;
  TrapChoice AbortRetryIgnore(const QString& title, const QString& text, const QString& plain) override;
  bool MessageOrStop(const QString& title, const QString& text) override;
  HostAnswer AskHost(const QString& title, const QString& text) override;

 private:
  QWidget* owner_ = nullptr;
  bool OfferAllow(const QString& title, const QString& text) override;
};

}  // namespace zarn
