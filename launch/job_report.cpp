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

// Pages per paper printer and PDF files per folder, in the order first used.
struct Destinations {
  QList<std::pair<QString, int>> printers;
  QList<std::pair<QString, int>> folders;
  int paperPages = 0;
  int pdfPages = 0;
};

void Add(QList<std::pair<QString, int>>& list, const QString& key, int n) {
  for (auto& [k, v] : list)
    if (k == key) {
      v += n;
      return;
    }
  list.append({key, n});
}

Destinations Sort(const QList<PrintedDocument>& documents) {
  Destinations d;
  for (const PrintedDocument& doc : documents) {
    if (doc.file.isEmpty()) {
      Add(d.printers, doc.printer, doc.pages);
      d.paperPages += doc.pages;
    } else {
      Add(d.folders, QFileInfo(doc.file).absolutePath(), 1);
      d.pdfPages += doc.pages;
    }
  }
  return d;
}

// The notice's first line for each status ("empty": "Nothing printed").
constexpr std::pair<const char*, const char*> kSummaries[] = {
    {"printed", "Printed"},
    {"pdf", "Saved as PDF"},
    {"stopped", "Printing stopped"},
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
  if (o.stopped) return QStringLiteral("stopped");
  if (o.reply == JobOutcome::Reply::ServiceError) return QStringLiteral("failed");
  const Destinations d = Sort(o.documents);
  if (d.paperPages > 0) return QStringLiteral("printed");
  if (!d.folders.isEmpty()) return QStringLiteral("pdf");
  return o.errors > 0 ? QStringLiteral("failed") : QStringLiteral("empty");
}

QString PaperPrinter(const JobOutcome& o) {
  for (auto it = o.documents.crbegin(); it != o.documents.crend(); ++it)
    if (it->file.isEmpty()) return it->printer;
  return {};
}

QString StatusQuery(const JobOutcome& o) {
  const Destinations d = Sort(o.documents);
  // The printer that got paper, else the PDF writer of the last file.
  QString printer = PaperPrinter(o);
  if (printer.isEmpty() && !o.documents.isEmpty()) printer = o.documents.last().printer;
  const auto value = [](const QString& v) { return QString::fromLatin1(QUrl::toPercentEncoding(v)); };
  QString query = QStringLiteral("&status=") + JobStatus(o) + QStringLiteral("&pages=") +
                  QString::number(d.paperPages > 0 ? d.paperPages : d.pdfPages) + QStringLiteral("&printer=") +
                  value(printer) + QStringLiteral("&errors=") + QString::number(o.errors);
  if (o.spoolerJob > 0) query += QStringLiteral("&job=") + QString::number(o.spoolerJob);
  return query;
}

Notice JobNotice(const JobOutcome& o, const QString& home) {
  const Destinations d = Sort(o.documents);
  QStringList lines;
  QStringList warnings;
  for (const auto& [printer, pages] : d.printers)
    lines << Count(pages, "page", "pages") + QStringLiteral(" to ") + printer;
  for (const auto& [folder, files] : d.folders)
    lines << Count(files, "PDF file", "PDF files") + QStringLiteral(" in ") + WithHome(folder, home);

  const QString used = o.documents.isEmpty() ? QString() : o.documents.first().printer;
  for (const QString& name : o.unswitchedDevices)
    warnings << QStringLiteral("No printer is named ") + Quoted(name) +
                    (used.isEmpty() ? QStringLiteral(".") : QStringLiteral(": the pages went to ") + used + u'.');
  if (o.noPrinter) warnings << QStringLiteral("There is no printer: the pages went to PDF files, not to paper.");
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
  if (o.stopped) warnings << QStringLiteral("Stopped by the user: nothing more went to the printer.");
  if (o.errors > 0)
    warnings << Count(o.errors, "error was", "errors were") + QStringLiteral(" ignored (see error_handler.txt).");

  const QString status = JobStatus(o);
  Notice notice;
  notice.urgent = !warnings.isEmpty();
  notice.summary = QStringLiteral("Nothing printed");
  for (const auto& [key, summary] : kSummaries)
    if (status == QLatin1String(key)) notice.summary = QString::fromLatin1(summary);
  notice.body = (warnings + lines).join(u'\n');
  return notice;
}

}  // namespace zarn
