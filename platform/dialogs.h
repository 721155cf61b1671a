#pragma once
// The program's dialogs: the service's and scripts' message boxes, the
// question whether a service may print, and the error trap's abort / retry /
// ignore question. All wait for the user.
#include <QString>

namespace zarn {

enum class TrapChoice { Abort, Retry, Ignore };
// May a service host send print jobs: for good, for this run, or never;
// NotNow: the box was closed (Escape), which refuses this once only.
enum class HostAnswer { Always, ThisTime, Never, NotNow };

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // A modal box with one OK button and no icon.
  virtual void Message(const QString& title, const QString& text) = 0;
  // A modal box with Abort, Retry and Ignore; returns the user's choice.
  // plain: one sentence shown above the text, saying what failed.
  virtual TrapChoice AbortRetryIgnore(const QString& title, const QString& text, const QString& plain = QString()) = 0;
  // As Message, with a second button "Stop printing"; true when it was chosen.
  virtual bool MessageOrStop(const QString& title, const QString& text) {
    Message(title, text);
    return false;
  }
  // "Allow print jobs from HOST?" with Always, This time and Never. Where no
  // one can be asked, nothing is allowed.
  virtual HostAnswer AskHost(const QString& title, const QString& text) {
    (void)title;
    (void)text;
    return HostAnswer::NotNow;
  }
  // A refused host's box, which offers to allow it from now on; true when
  // the user chose that. Where no one can be asked, nothing changes.
  virtual bool OfferAllow(const QString& title, const QString& text) {
    Message(title, text);
    return false;
  }
};

}  // namespace zarn
