#pragma once
// What became of a job, worked out at its end for the person at the desk (a
// desktop notice) and for the page that asked for it (the STATUS report).
#include <QList>
#include <QString>
#include <QStringList>

#include "platform/notifier.h"
#include "platform/print_surface.h"
#include "platform/spooler_report.h"

namespace zarn {

struct Engine;

struct JobOutcome {
  enum class Reply {
    Script,        // a print script: it ran
    ServiceError,  // "ERROR|": shown, nothing printed
    Empty,         // nothing at all
    NotAScript,    // not one line the interpreter knows (an HTML page, say)
  };
  Reply reply = Reply::Script;
  bool htmlReply = false;         // NotAScript, and it looks like HTML
  bool stopped = false;           // the user chose "Stop printing"
  bool cancelled = false;         // the user cancelled the service request
  bool aborted = false;           // an error was answered Abort
  int errors = 0;                 // faults the user ignored, each counted once
  QList<PrintedDocument> documents;
  int copyFrom = -1;              // documents from this one on are the PDF copy's; -1: no copy run
  QStringList unswitchedDevices;  // DEV names that switched no printer
  bool noPrinter = false;         // the paper run went to the PDF writer: there is no printer
  bool printSystemDown = false;   // ... because the print system is not running
  QString refusedHost;            // the service's host, when it was not asked
  bool refusedByHostLine = false; // ... by zarn.ini's host line, else by the user's answer
  QString refusedAnswers;         // the file of the user's answers
  QString unreachableHost;        // the service's host, when it did not answer
  QString errorLog;               // the error log's full path
  SpoolerReport spooler;          // what the spooler did with PaperPrinter()'s last document
  QString untrusted;              // the service address whose key was not its pin: nothing ran
};

// The last printer that got paper; empty when none did.
QString PaperPrinter(const JobOutcome& outcome);

// The reply as the flow has it (not an "ERROR|" one): empty, no script, or a script.
JobOutcome::Reply ClassifyReply(const QString& response);

// The outcome of the engine's run: its documents, DEV names, and whether the
// paper run could only go to the PDF writer.
JobOutcome CollectOutcome(const Engine& e, const QString& response, bool stopped, int errors);

// "printed" (pages on a paper printer that took them), "waiting" (held in
// its queue), "refused" (the printer accepts no jobs), "pdf" (PDF files
// only), "stopped", "cancelled", "failed" (a service error, an Abort, a job
// the spooler gave up, or errors and no output) or "empty".
QString JobStatus(const JobOutcome& outcome);

// The STATUS report's query: "&status=" ... "&pages=" (the printer run's)
// "&copypages=" (the PDF copy's) "&printer=" ... "&errors=" ... and, with a
// spooler job number, "&job=" ..., values escaped for a query.
QString StatusQuery(const JobOutcome& outcome);

// Where the pages went, and prominently what did not go as the script asked.
// home is shown as "~" in folder names.
Notice JobNotice(const JobOutcome& outcome, const QString& home);

}  // namespace zarn
