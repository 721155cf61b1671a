#pragma once
// The program's dialogs: the service's and scripts' message boxes (OK only) and
// the error trap's abort / retry / ignore question. Both wait for the user.
#include <QString>

namespace zarn {

enum class TrapChoice { Abort, Retry, Ignore };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal box with one OK button and no icon.
  virtual void Message(const QString& title, const QString& text) = 0;
  // A modal box with Abort, Retry and Ignore; returns the user's choice.
  virtual TrapChoice AbortRetryIgnore(const QString& title, const QString& text) = 0;
};

}  // namespace zarn
