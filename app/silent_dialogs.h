#pragma once
// Dialogs that show nothing and answer every error the same, for runs no
// person watches: zarn --forget (Abort) and zarn-render's layout checks
// (Ignore: errors are the static check's business).
#include "platform/dialogs.h"

namespace zarn {

class SilentDialogs final : public Dialogs {
 public:
  explicit SilentDialogs(TrapChoice answer) : answer_(answer) {}
  void Message(const QString&, const QString&) override {}
  TrapChoice AbortRetryIgnore(const QString&, const QString&, const QString&) override { return answer_; }

 private:
  TrapChoice answer_;
};

}  // namespace zarn
