#include "errortrap/trap.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "errortrap/exception_guard.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "version.h"

namespace zarn {

namespace {
TrapHost* g_host = nullptr;
thread_local GuardFrame* g_frame = nullptr;

QString Version() {
  return QString::fromLatin1(kVersionText);
}
}  // namespace

void InstallTrapHost(TrapHost* host) { g_host = host; }
TrapHost* CurrentTrapHost() { return g_host; }
GuardFrame*& CurrentGuardFrame() { return g_frame; }

QString ErrorLogLine(const TrapReport& r, const QDateTime& now) {
  return now.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) + QStringLiteral(" V") + Version() +
         QStringLiteral("- Error ") + QString::number(r.error.number()) + u'\t' + r.error.description() +
         QStringLiteral("\tSQL:\tLocation: ") + QString::fromLatin1(r.location) + QStringLiteral("\tLine ") +
         QString::number(r.line);
}

QString ErrorMessage(const TrapReport& r) {
  return QStringLiteral("Error ") + QString::number(r.error.number()) + QStringLiteral("\r\n") +
         r.error.description() + QStringLiteral("\r\nLocation: ") + QString::fromLatin1(r.location) +
         QStringLiteral("\r\nLine ") + QString::number(r.line);
}

namespace {
// What failed, for the person at the desk, by the start of the location; the
// first match counts.
constexpr std::pair<const char*, const char*> kPlainSentences[] = {
    {"zarn.mWEB.GetURL", "The print service did not answer."},
    {"zarn.mWEB.DownloadFile", "A file the print job needs could not be downloaded."},
    {"zarn.mBASE64.", "The print link could not be read."},
    {"zarn.mPAPERSIZE.", "The paper form could not be set on the printer."},
    {"zarn.mPRINTSCRIPT.PDF", "The PDF file could not be made."},
    {"zarn.mPRINTSCRIPT.", "A line of the print job could not be printed."},
    {"zarn.vbwProtector.", "zarn could not set up its error guard."},
    {"zarn.", "The print job could not go on."},
};
}  // namespace

QString PlainSentence(Proc procedure, const QString& own) {
  if (!own.isEmpty()) return own;
  const char* location = LocationOf(procedure);
  for (const auto& [prefix, sentence] : kPlainSentences)
    if (std::strncmp(location, prefix, std::strlen(prefix)) == 0) return QString::fromLatin1(sentence);
  return {};
}

ZarnError Trap::MachineError(unsigned int code) { return MachineException(code); }

int Trap::LineOf(const SourcePlace& step) const {
  const bool below = std::strcmp(step.file, where_.file) == 0 && step.line > where_.line;
  return static_cast<int>(below ? step.line - where_.line : step.line);
}

Trap::Outcome Trap::Handle(const ZarnError& error, int line) {
  TrapHost* host = g_host;
  if (host == nullptr || host->dialogs == nullptr)
    throw std::logic_error("error trap used before a trap host was installed: " + std::string(error.what()));
  TrapChoice choice = TrapChoice::Abort;
  for (ZarnError current = error;;) {
    const TrapReport report{current, LocationOf(procedure_), line};
    const QDateTime now = host->clock ? host->clock->Now() : QDateTime::currentDateTime();
    if (host->files) host->files->Append(host->errorLogPath, (ErrorLogLine(report, now) + "\r\n").toUtf8());
    try {
      choice = host->dialogs->AbortRetryIgnore(QStringLiteral("zarn"), ErrorMessage(report),
                                               PlainSentence(procedure_, explain_ ? explain_() : QString()));
      break;
    } catch (const ZarnError& interrupted) {
      // Ctrl+C while the box was open: that is this step's error now, and
      // the user chooses again.
      current = interrupted;
    }
  }
  switch (choice) {
    case zarn::TrapChoice::Abort:
      if (host->abort) host->abort();
      std::_Exit(kAbortExitStatus);
    case zarn::TrapChoice::Retry:
      return Outcome::Retry;
    case zarn::TrapChoice::Ignore:
      ++host->ignored;
      host->ignoredFaults.insert(QString::fromLatin1(LocationOf(procedure_)) + u' ' + QString::number(line) + u' ' +
                                 QString::number(error.number()));
      break;
  }
  return Outcome::Ignore;
}

}  // namespace zarn
