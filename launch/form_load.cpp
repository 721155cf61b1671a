#include "launch/form_load.h"

#include <QDir>
#include <QElapsedTimer>
#include <optional>

#include "decoding/decoding.h"
#include "engine/parse_print.h"
#include "engine/print_state.h"
#include "errortrap/trap.h"
#include "launch/job_report.h"
#include "launch/progress_line.h"
#include "launch/settings_file.h"
#include "platform/clipboard.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/main_window.h"
#include "platform/notifier.h"
#include "version.h"
#include "web/service_hosts.h"
#include "web/web.h"

namespace zarn {

namespace {
constexpr qsizetype kExcerpt = 800;
constexpr int kSpoolerMs = 1000;
const QString kTitle = QStringLiteral("zarn");
}  // namespace

QString VersionCaption() {
  return QStringLiteral("ZARN v") + QString::fromLatin1(kVersionText);
}

namespace {
// What stands between the first two fields of a locale's date or time format,
// quoted for QDateTime::toString ("." for "dd.MM.yy", ":" for "HH:mm").
QString SeparatorIn(const QString& format, const char* fallback) {
  qsizetype i = 0;
  while (i < format.size() && format[i].isLetter()) ++i;
  QString separator;
  bool quoted = false;
  for (; i < format.size(); ++i) {
    const QChar c = format[i];
    if (c == u'\'' && i + 1 < format.size() && format[i + 1] == u'\'') {
      separator += c;
      ++i;
    } else if (c == u'\'') {
      quoted = !quoted;
    } else if (!quoted && c.isLetter()) {
      break;
    } else {
      separator += c;
    }
  }
  if (separator.isEmpty()) separator = QString::fromLatin1(fallback);
  return u'\'' + separator.replace(u'\'', QStringLiteral("''")) + u'\'';
}
}  // namespace

QString RunLogTime(const QDateTime& t, const QLocale& locale) {
  // The C locale's formats name months by word; it stands for no desktop, so
  // it keeps the plain "/" and ":".
  const bool plain = locale.language() == QLocale::C;
  const QString date = plain ? QStringLiteral("/") : SeparatorIn(locale.dateFormat(QLocale::ShortFormat), "/");
  const QString time = plain ? QStringLiteral(":") : SeparatorIn(locale.timeFormat(QLocale::LongFormat), ":");
  return t.toString(QStringLiteral("dd") + date + QStringLiteral("MM") + date + QStringLiteral("yyyy HH") + time +
                    QStringLiteral("mm") + time + QStringLiteral("ss"));
}

QString ResponseExcerpt(const QString& response) {
  return response.left(kExcerpt) + QStringLiteral("...") + response.right(kExcerpt);
}

QString SettingsPath(const QString& programFolder) { return programFolder + QStringLiteral("/zarn.ini"); }

void Form_Load(Job& job) {
  Trap trap(Proc::Form_Load);
  Engine& e = job.engine;
  PrintState& state = e.state;
  RunLog& log = e.log;
  const JobCalls& calls = job.calls;

  // 1, 2: the window shows the program at work.
  trap.Step([&] { job.window.SetVersionCaption(VersionCaption()); });
  trap.Step([&] { job.window.ShowAndRepaint(); });

  // 3: the settings file, when there is one.
  trap.Step([&] { state.PdfCopy = kFalse; });
  trap.Step([&] { state.PdfFolder.clear(); });
  trap.Step([&] {
    if (job.serviceHosts) *job.serviceHosts = HostAllowList();
  });
  const QString ini = SettingsPath(job.programFolder);
  bool haveSettings = false;
  trap.Step([&] { haveSettings = job.files.IsFile(ini); });
  if (haveSettings) {
    SettingsReader settings;
    trap.Step([&] {
      const std::optional<QByteArray> bytes = job.files.ReadAll(ini);
      if (!bytes) Raise(RuntimeError::PathFileAccess);
      settings = SettingsReader(*bytes);
    });
    ReadSettingsLines(trap, settings, state, job.serviceHosts);
  }

  // 4, 5: the run log starts afresh.
  trap.Step([&] { log.Reset(QStringLiteral("ZARN last run: ") + RunLogTime(job.clock.Now())); });
  QString data;
  trap.Step([&] { data = job.commandLine; });
  trap.Step([&] { log.AppendLine(QStringLiteral("Incoming data :") + data); });

  // 6: the launcher's quote in front, "/" and quote behind, and the scheme.
  trap.Step([&] {
    if (data.size() < 2) Raise(RuntimeError::InvalidArgument);
    data.chop(2);
  });
  trap.Step([&] { data = data.mid(1); });
  trap.Step([&] { data.replace(QStringLiteral("zarn://"), QString(), Qt::CaseSensitive); });
  trap.Step([&] { log.AppendLine(QStringLiteral("Cleared data :") + data); });

  // 7, 8: Base64, then URI escapes and UTF-8: the service request.
  QByteArray decoded;
  trap.Step([&] { decoded = Base64Decode(data); });
  trap.Step([&] { log.AppendLine(QStringLiteral("Base64 decoded :") + ByteStringText(decoded)); });
  QString request;
  trap.Step([&] { request = DecodeURI(decoded); });
  trap.Step([&] { log.AppendLine(QStringLiteral("URL decoded :") + request); });

  // 9, 10: the print script. The request's cache-buster differs from run to run.
  trap.Step([&] { SeedRandom(job.clock.Now()); });
  QString response;
  trap.Step([&] {
    if (calls.GetURL) response = calls.GetURL(job.http, request);
  });
  trap.Step([&] { log.AppendLine(QStringLiteral("Service response :") + ResponseExcerpt(response)); });

  bool serviceError = false;
  bool stopped = false;
  ProgressLine progress(job.window, e.surface);
  trap.Step([&] { serviceError = response.startsWith(QStringLiteral("ERROR|"), Qt::CaseSensitive); });
  if (serviceError) {
    // 11: the service's own error message; nothing is printed.
    QString message;
    trap.Step([&] { message = QString(response).replace(u'|', QStringLiteral("\r\n")); });
    trap.Step([&] { job.dialogs.Message(kTitle, message); });
  } else {
    // The user may stop the job from a script's message box: nothing more
    // goes to the printer, and the run ends as usual.
    e.Progress = [&progress, &e] { progress.Update(e); };
    try {
      // 12: the printer run.
      trap.Step([&] {
        if (calls.ParsePrint) calls.ParsePrint(e, response, kFalse);
      });
      // 13: the PDF copy run. PdfCopy is read only now: a PDF-only script has
      // cleared it during the printer run.
      bool copy = false;
      trap.Step([&] {
        copy = state.PdfCopy != kFalse && response.right(8) != QStringLiteral("#REPRINT");
      });
      if (copy) {
        trap.Step([&] {
          if (state.PdfFileName.isEmpty()) state.PdfFileName = PdfTimeStamp(e);
        });
        trap.Step([&] {
          if (calls.PDFPrinterOn) calls.PDFPrinterOn(e, state.PdfFileName, state.PdfSubFolder);
        });
        trap.Step([&] {
          if (calls.ParsePrint) calls.ParsePrint(e, response, kTrue);
        });
        trap.Step([&] {
          if (calls.PDFPrinterOff) calls.PDFPrinterOff(e);
        });
      }
    } catch (const JobStopped&) {
      stopped = true;
      trap.Step([&] {
        if (calls.StopPrinting) calls.StopPrinting(e);
      });
      trap.Step([&] { log.Message(QStringLiteral("Stopped by the user")); });
    }
    e.Progress = nullptr;
    trap.Step([&] { job.window.ProcessEvents(); });
  }

  // How it went, for the desktop and the script's STATUS address; only the
  // service's own host hears it.
  JobOutcome outcome;
  QString statusAddress;
  trap.Step([&] {
    outcome = CollectOutcome(e, response, stopped, CurrentTrapHost() ? CurrentTrapHost()->ignored : 0);
    if (serviceError) outcome.reply = JobOutcome::Reply::ServiceError;
  });
  trap.Step([&] {
    statusAddress = state.StatusAddress;
    if (statusAddress.isEmpty() || SameHost(statusAddress, request)) return;
    log.Message(QStringLiteral("STATUS address '") + statusAddress + QStringLiteral("' is not on the service's host ") +
                UrlHost(request) + QStringLiteral("; no status was sent."));
    statusAddress.clear();
  });

  // 14, 15: the end line, and the run log for the user.
  trap.Step([&] { log.AppendRaw(QStringLiteral("ZARN end: ") + RunLogTime(job.clock.Now())); });
  trap.Step([&] { job.clipboard.SetText(log.Text()); });

  trap.Step([&] {
    if (job.notifier) job.notifier->Notify(JobNotice(outcome, QDir::homePath()));
  });
  // The report waits at most 5 seconds in all, the spooler's job number included.
  trap.Step([&] {
    if (statusAddress.isEmpty() || !calls.SendStatus) return;
    QElapsedTimer spent;
    spent.start();
    const QString printer = PaperPrinter(outcome);
    if (calls.SpoolerJob && !printer.isEmpty()) outcome.spoolerJob = calls.SpoolerJob(printer, kSpoolerMs);
    calls.SendStatus(job.http, statusAddress, StatusQuery(outcome), request, kStatusDeadlineMs - spent.elapsed());
  });
}

}  // namespace zarn
