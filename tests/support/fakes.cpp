#include "tests/support/fakes.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <memory>
#include <unistd.h>

namespace zarn::testing {

void FakeDialogs::Message(const QString& title, const QString& text) { messages << title + "|" + text; }

TrapChoice FakeDialogs::AbortRetryIgnore(const QString&, const QString& text, const QString& plain) {
  questions << text;
  plainSentences << plain;
  if (answers.empty()) return TrapChoice::Ignore;
  const TrapChoice c = answers.front();
  answers.pop_front();
  return c;
}

bool FakeDialogs::MessageOrStop(const QString& title, const QString& text) {
  Message(title, text);
  if (stops.empty()) return false;
  const bool stop = stops.front();
  stops.pop_front();
  return stop;
}

HostAnswer FakeDialogs::AskHost(const QString&, const QString& text) {
  hostQuestions << text;
  if (hostAnswers.empty()) return HostAnswer::Never;
  const HostAnswer a = hostAnswers.front();
  hostAnswers.pop_front();
  return a;
}

bool FakeDialogs::OfferAllow(const QString&, const QString& text) {
  offerTexts << text;
  if (offers.empty()) return false;
  const bool allow = offers.front();
  offers.pop_front();
  return allow;
}

ScopedTrapHost::ScopedTrapHost() {
  folder = QDir::tempPath() + "/zarn-trap-" + QString::number(::getpid()) + "-" +
           QString::number(reinterpret_cast<quintptr>(this), 16);
  QDir().mkpath(folder);
  host.dialogs = &dialogs;
  host.clock = &clock;
  host.files = &files;
  host.errorLogPath = folder + "/error_handler.txt";
  host.abort = [] { std::_Exit(kAbortExitStatus); };
  InstallTrapHost(&host);
}

ScopedTrapHost::~ScopedTrapHost() {
  InstallTrapHost(nullptr);
  QDir(folder).removeRecursively();
}

QStringList ScopedTrapHost::LogLines() const {
  QFile f(host.errorLogPath);
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

QStringList ScopedTrapHost::Errors() const {
  QStringList out;
  for (const QString& q : dialogs.questions) {
    const QStringList parts = q.split(QStringLiteral("\r\n"));
    out << parts.value(0).mid(6) + " " + parts.value(1);
  }
  return out;
}

}  // namespace zarn::testing
