#include "errortrap/trap.h"

#include <algorithm>
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

namespace {
// Calls f(run, quoted) for each run of one letter outside quotes (quoted
// false) and for each stretch of other text (quoted true, as written).
template <typename F>
void ForEachField(const QString& format, F&& f) {
  qsizetype i = 0;
  while (i < format.size()) {
    const QChar c = format[i];
    qsizetype j = i + 1;
    if (c == u'\'') {
      while (j < format.size() && !(format[j] == u'\'' && (j + 1 >= format.size() || format[j + 1] != u'\''))) {
        j += format[j] == u'\'' ? 2 : 1;
      }
      j = std::min(j + 1, format.size());
      f(format.mid(i, j - i), true);
    } else if (c.isLetter()) {
      while (j < format.size() && format[j] == c) ++j;
      f(format.mid(i, j - i), false);
    } else {
      while (j < format.size() && format[j] != u'\'' && !format[j].isLetter()) ++j;
      f(format.mid(i, j - i), true);
    }
    i = j;
  }
}

// The short date's year in four digits, as the desktop's general date writes it.
QString WithFullYear(const QString& format) {
  QString out;
  ForEachField(format, [&](const QString& field, bool text) {
    out += !text && field.startsWith(u'y') ? QStringLiteral("yyyy") : field;
  });
  return out;
}

// The long time without its time zone and the blank before it.
QString WithoutTimeZone(const QString& format) {
  QString out;
  ForEachField(format, [&](const QString& field, bool text) {
    if (!text && field.startsWith(u't')) {
      while (out.endsWith(u' ')) out.chop(1);
      return;
    }
    out += field;
  });
  return out.trimmed();
}
}  // namespace

QString GeneralDateTime(const QDateTime& t, const QLocale& locale) {
  if (locale.language() == QLocale::C) return t.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
  return locale.toString(t, WithFullYear(locale.dateFormat(QLocale::ShortFormat)) + u' ' +
                                WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}

QString ErrorLogLine(const TrapReport& r, const QDateTime& now, const QLocale& locale) {
  return GeneralDateTime(now, locale) + QStringLiteral(" V") + Version() +
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
