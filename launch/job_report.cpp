#include "launch/job_report.h"

#include <QFileInfo>
#include <QUrl>
#include <utility>

#include "engine/engine.h"
#include "engine/interpreter.h"
#include "engine/parse_print.h"
#include "platform/print_surface.h"

namespace zarn {

namespace {

// "1 page" / "3 pages".
QString Count(int n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString Quoted(const QString& text) { return u'"' + text + u'"'; }

QString WithHome(const QString& folder, const QString& home) {
  if (!home.isEmpty() && (folder == home || folder.startsWith(home + u'/'))) return u'~' + folder.mid(home.size());
  return folder;
}

// Pages per paper printer (with the titles of its documents) and PDF files
// per folder, in the order first used.
struct Destinations {
  QList<std::pair<QString, int>> printers;
  QList<std::pair<QString, QStringList>> titles;
  QList<std::pair<QString, int>> folders;
  int paperPages = 0;
  int pdfPages = 0;
};

template <typename V>
V& At(QList<std::pair<QString, V>>& list, const QString& key) {
  for (auto& [k, v] : list)
    if (k == key) return v;
  list.append({key, V()});
  return list.last().second;
}

Destinations Sort(const QList<PrintedDocument>& documents, qsizetype from = 0, qsizetype to = -1) {
  Destinations d;
  if (to < 0 || to > documents.size()) to = documents.size();
  for (qsizetype i = from; i < to; ++i) {
    const PrintedDocument& doc = documents[i];
    if (doc.file.isEmpty()) {
      At(d.printers, doc.printer) += doc.pages;
      QStringList& titles = At(d.titles, doc.printer);
      if (!doc.title.isEmpty() && !titles.contains(doc.title)) titles << doc.title;
      d.paperPages += doc.pages;
    } else {
      At(d.folders, QFileInfo(doc.file).absolutePath()) += 1;
      d.pdfPages += doc.pages;
    }
  }
  return d;
}

// The printer run's documents, and the PDF copy's.
Destinations PrinterRun(const JobOutcome& o) { return Sort(o.documents, 0, o.copyFrom); }
Destinations CopyRun(const JobOutcome& o) {
  return o.copyFrom < 0 ? Destinations() : Sort(o.documents, o.copyFrom);
}

// A printer as the person at the desk knows it: its description, with the
// queue's name when the two differ.
QString PrinterText(const QString& name, const QString& description) {
  if (description.isEmpty() || description == name) return name;
  return description + QStringLiteral(" (") + name + u')';
}

// The notice's first line for each status ("empty": "Nothing printed").
constexpr std::pair<const char*, const char*> kSummaries[] = {
    {"printed", "Printed"},
    {"waiting", "Waiting to print"},
    {"refused", "Not printed"},
    {"pdf", "Saved as PDF"},
    {"stopped", "Printing stopped"},
    {"cancelled", "Cancelled"},
    {"failed", "Print job failed"},
};

}  // namespace

JobOutcome::Reply ClassifyReply(const QString& response) {
  if (response.trimmed().isEmpty()) return JobOutcome::Reply::Empty;
  for (const QString& line : SplitScriptLines(response)) {
    const LineCheck::Fate fate = CheckScriptLine(line).fate;
    if (fate == LineCheck::Fate::Runs || fate == LineCheck::Fate::Trapped) return JobOutcome::Reply::Script;
  }
  return JobOutcome::Reply::NotAScript;
}

JobOutcome CollectOutcome(const Engine& e, const QString& response, bool stopped, int errors) {
  JobOutcome o;
  o.reply = ClassifyReply(response);
  o.htmlReply = o.reply == JobOutcome::Reply::NotAScript && response.contains(QStringLiteral("<html"), Qt::CaseInsensitive);
  o.stopped = stopped;
  o.errors = errors;
  o.documents = e.surface.Documents();
  o.unswitchedDevices = e.state.UnswitchedDevices;
  // Our PDF writer alone in the list: what was meant for paper became PDF files.
  const bool anyPdf = std::any_of(o.documents.begin(), o.documents.end(),
                                  [](const PrintedDocument& d) { return !d.file.isEmpty(); });
  // The printer list is asked last: a job that made no PDF need not ask CUPS at all.
  o.noPrinter = anyPdf && !response.contains(kPdfOnlyMarker) && e.printers.Count() <= 1;
  return o;
}

QString JobStatus(const JobOutcome& o) {
  if (o.aborted) return QStringLiteral("failed");
  if (o.cancelled) return QStringLiteral("cancelled");
  if (o.stopped) return QStringLiteral("stopped");
  if (o.reply == JobOutcome::Reply::ServiceError) return QStringLiteral("failed");
  const Destinations d = Sort(o.documents);
  if (d.paperPages > 0) {
    switch (o.spooler.state) {
      case SpoolerReport::State::Waiting:
        return QStringLiteral("waiting");
      case SpoolerReport::State::Refused:
        return QStringLiteral("refused");
      case SpoolerReport::State::Failed:
        return QStringLiteral("failed");
      case SpoolerReport::State::Printed:
      case SpoolerReport::State::Unknown:
        return QStringLiteral("printed");
    }
  }
  if (!d.folders.isEmpty()) return QStringLiteral("pdf");
  return o.errors > 0 ? QStringLiteral("failed") : QStringLiteral("empty");
}

QString PaperPrinter(const JobOutcome& o) {
  for (auto it = o.documents.crbegin(); it != o.documents.crend(); ++it)
    if (it->file.isEmpty()) return it->printer;
  return {};
}

QString StatusQuery(const JobOutcome& o) {
  const Destinations run = PrinterRun(o);
  const Destinations copy = CopyRun(o);
  // The printer that got paper, else the PDF writer of the last file.
  QString printer = PaperPrinter(o);
  if (printer.isEmpty() && !o.documents.isEmpty()) printer = o.documents.last().printer;
  const auto value = [](const QString& v) { return QString::fromLatin1(QUrl::toPercentEncoding(v)); };
  QString query = QStringLiteral("&status=") + JobStatus(o) + QStringLiteral("&pages=") +
                  QString::number(run.paperPages > 0 ? run.paperPages : run.pdfPages) +
                  QStringLiteral("&copypages=") + QString::number(copy.paperPages + copy.pdfPages) +
                  QStringLiteral("&printer=") + value(printer) + QStringLiteral("&errors=") +
                  QString::number(o.errors);
  if (o.spooler.job > 0) query += QStringLiteral("&job=") + QString::number(o.spooler.job);
  return query;
}

Notice JobNotice(const JobOutcome& o, const QString& home) {
  Destinations d = Sort(o.documents);
  const QString spooled = PaperPrinter(o);
  const SpoolerReport& spooler = o.spooler;
  const bool taken = spooler.state == SpoolerReport::State::Printed || spooler.state == SpoolerReport::State::Unknown;
  QStringList lines;
  QStringList warnings;
  for (const auto& [printer, pages] : d.printers) {
    const bool followed = printer == spooled;
    const QStringList titles = At(d.titles, printer);
    QStringList quoted;
    for (const QString& t : titles) quoted << Quoted(t);
    lines << Count(pages, "page", "pages") + (quoted.isEmpty() ? QString() : QStringLiteral(" of ") + quoted.join(QStringLiteral(", "))) +
                 (followed && !taken ? QStringLiteral(" sent to ") : QStringLiteral(" to ")) +
                 PrinterText(printer, followed ? spooler.description : QString());
  }
  for (const auto& [folder, files] : d.folders)
    lines << Count(files, "PDF file", "PDF files") + QStringLiteral(" in ") + WithHome(folder, home);

  const QString spooledText = PrinterText(spooled, spooler.description);
  switch (spooler.state) {
    case SpoolerReport::State::Waiting:
      warnings << QStringLiteral("The job is waiting in the queue of ") + spooledText +
                      (spooler.reason.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + spooler.reason + u'.');
      break;
    case SpoolerReport::State::Refused:
      warnings << spooledText + QStringLiteral(" does not accept jobs: the print system refused the job.");
      break;
    case SpoolerReport::State::Failed:
      warnings << QStringLiteral("The print system gave the job up: nothing was printed on ") + spooledText + u'.';
      break;
    case SpoolerReport::State::Printed:
    case SpoolerReport::State::Unknown:
      break;
  }

  const QString used = o.documents.isEmpty() ? QString() : o.documents.first().printer;
  for (const QString& name : o.unswitchedDevices)
    warnings << QStringLiteral("No printer is named ") + Quoted(name) +
                    (used.isEmpty() ? QStringLiteral(".") : QStringLiteral(": the pages went to ") + used + u'.');
  if (o.printSystemDown)
    warnings << QStringLiteral("The print system is not running: the pages went to PDF files, not to paper.");
  else if (o.noPrinter)
    warnings << QStringLiteral("There is no printer: the pages went to PDF files, not to paper.");
  const QString log = o.errorLog.isEmpty() ? QStringLiteral("error_handler.txt") : o.errorLog;
  if (o.cancelled) {
    warnings << QStringLiteral("Cancelled by the user: nothing was printed.");
  } else if (!o.refusedHost.isEmpty()) {
    warnings << (o.refusedByHostLine
                     ? o.refusedHost + QStringLiteral(" is not among the service hosts of zarn.ini: it was not asked, nothing was printed.")
                     : o.refusedAnswers.isEmpty()
                           ? QStringLiteral("Print jobs from ") + o.refusedHost +
                                 QStringLiteral(" were refused by you for this job: nothing was printed.")
                           : QStringLiteral("Print jobs from ") + o.refusedHost +
                                 QStringLiteral(" are refused by your answer (") + WithHome(o.refusedAnswers, home) +
                                 QStringLiteral("): it was not asked, nothing was printed."));
  } else if (!o.unreachableHost.isEmpty()) {
    warnings << QStringLiteral("The print service at ") + o.unreachableHost +
                    QStringLiteral(" did not answer: nothing was printed (see ") + log + QStringLiteral(").");
  } else if (!o.aborted) {  // an Abort may come before any reply
    switch (o.reply) {
      case JobOutcome::Reply::ServiceError:
        warnings << QStringLiteral("The service reported an error: nothing was printed.");
        break;
      case JobOutcome::Reply::Empty:
        warnings << (o.untrusted.isEmpty() ? QStringLiteral("The service's reply was empty: nothing was printed.")
                                           : QStringLiteral("The certificate of ") + o.untrusted +
                                                 QStringLiteral(" is not the one pinned at its first job: nothing was run."));
        break;
      case JobOutcome::Reply::NotAScript:
        warnings << (o.htmlReply ? QStringLiteral("The service's reply is a web page, not a print script: nothing was printed.")
                                 : QStringLiteral("The service's reply is not a print script: nothing was printed."));
        break;
      case JobOutcome::Reply::Script:
        break;
    }
  }
  if (o.stopped) warnings << QStringLiteral("Stopped by the user: nothing more went to the printer.");
  if (o.aborted) warnings << QStringLiteral("An error was answered Abort: the job did not run to its end (see ") + log +
                                 QStringLiteral(").");
  // The service's silence is one error already told of.
  const int others = o.errors - (o.unreachableHost.isEmpty() ? 0 : 1);
  if (others > 0)
    warnings << Count(others, "error was", "errors were") + QStringLiteral(" ignored (see ") + log + QStringLiteral(").");

  const QString status = JobStatus(o);
  Notice notice;
  notice.urgent = !warnings.isEmpty();
  notice.summary = QStringLiteral("Nothing printed");
  if (o.aborted) notice.summary = QStringLiteral("Stopped after an error");
  else
    for (const auto& [key, summary] : kSummaries)
      if (status == QLatin1String(key)) notice.summary = QString::fromLatin1(summary);
  notice.body = (warnings + lines).join(u'\n');
  return notice;
}

}  // namespace zarn
