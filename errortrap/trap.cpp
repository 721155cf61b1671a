#include "errortrap/trap.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>

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
      choice = host->dialogs->AbortRetryIgnore(QStringLiteral("zarn"), ErrorMessage(report));
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
      break;
  }
  return Outcome::Ignore;
}

}  // namespace zarn
