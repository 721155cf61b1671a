#pragma once
// Small fakes of the platform for tests: scripted dialogs, a fixed clock, and a
// scoped trap host that records what the error trap reported.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <deque>

#include "errortrap/trap.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "qt/real_file_system.h"

namespace zarn::testing {

// Answers the trap's question from a queue (Ignore once the queue is empty)
// and records every box it was asked to show.
class FakeDialogs final : public Dialogs {
 public:
  void Message(const QString& title, const QString& text) override;
  TrapChoice AbortRetryIgnore(const QString& title, const QString& text, const QString& plain) override;
  bool MessageOrStop(const QString& title, const QString& text) override;
  HostAnswer AskHost(const QString& title, const QString& text) override;
  bool OfferAllow(const QString& title, const QString& text) override;

  std::deque<TrapChoice> answers;
  std::deque<bool> stops;              // for MessageOrStop (false once empty)
  std::deque<HostAnswer> hostAnswers;  // for AskHost (Never once empty)
  QStringList hostQuestions;
  std::deque<bool> offers;  // for OfferAllow (false once empty)
  QStringList offerTexts;
  QStringList messages;   // "title|text" of each OK box
  QStringList questions;  // text of each trap question
  QStringList plainSentences;  // the sentence above each trap question
};

class FixedClock final : public Clock {
 public:
  explicit FixedClock(QDateTime t = QDateTime(QDate(2026, 12, 8), QTime(3, 29, 32))) : now(t) {}
  QDateTime Now() const override { return now; }
  QDateTime now;
};

// Installs a trap host for the lifetime of the object: errors go to a log
// file in a temporary folder, questions to FakeDialogs.
class ScopedTrapHost {
 public:
  ScopedTrapHost();
  ~ScopedTrapHost();
  ScopedTrapHost(const ScopedTrapHost&) = delete;
  ScopedTrapHost& operator=(const ScopedTrapHost&) = delete;

  // The error log's lines so far.
  QStringList LogLines() const;
  // Error numbers and descriptions of the trapped errors, "6 Overflow".
  QStringList Errors() const;

  FakeDialogs dialogs;
  FixedClock clock;
  RealFileSystem files;
  TrapHost host;
  QString folder;
};

}  // namespace zarn::testing
