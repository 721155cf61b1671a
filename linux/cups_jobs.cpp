#include "linux/cups_jobs.h"

#include <cups/cups.h>

#include <QElapsedTimer>
#include <QStringList>
#include <QThread>
#include <memory>
#include <utility>

namespace zarn {

namespace {

constexpr int kPollMs = 100;

// The printer-state-reasons keywords a person at the desk may meet, in words
// (without their "-error", "-warning" or "-report" ending).
constexpr std::pair<const char*, const char*> kReasonWords[] = {
    {"media-empty", "out of paper"},
    {"media-needed", "paper needed"},
    {"media-jam", "paper jam"},
    {"media-low", "paper low"},
    {"toner-empty", "out of toner"},
    {"marker-supply-empty", "out of ink or toner"},
    {"door-open", "a door is open"},
    {"cover-open", "the cover is open"},
    {"input-tray-missing", "a paper tray is missing"},
    {"output-area-full", "the output tray is full"},
    {"offline", "the printer is offline"},
    {"connecting-to-device", "connecting to the printer"},
    {"spool-area-full", "the spooler is full"},
    {"paused", "paused"},
    {"shutdown", "the printer is shut down"},
    {"timed-out", "the printer does not answer"},
};

struct HttpDeleter {
  void operator()(http_t* h) const { httpClose(h); }
};
using Http = std::unique_ptr<http_t, HttpDeleter>;

// A connection of our own, so that a spooler that does not answer is given up on in time.
Http Connect(int timeoutMs) {
  Http http(httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, timeoutMs, nullptr));
  if (http) httpSetTimeout(http.get(), timeoutMs / 1000.0, nullptr, nullptr);
  return http;
}

struct Job {
  int id = 0;
  ipp_jstate_t state = IPP_JSTATE_PENDING;
};

Job Newest(http_t* http, const QString& printer, const QString& title, time_t since) {
  cups_job_t* jobs = nullptr;
  const QByteArray name = printer.toUtf8();
  const int count = cupsGetJobs2(http, &jobs, name.constData(), 1, CUPS_WHICHJOBS_ALL);
  Job newest;
  for (int i = 0; i < count; ++i)
    if (jobs[i].id > newest.id && jobs[i].title && QString::fromUtf8(jobs[i].title) == title &&
        jobs[i].creation_time >= since)
      newest = Job{jobs[i].id, jobs[i].state};
  cupsFreeJobs(count, jobs);
  return newest;
}

struct Printer {
  bool known = false;
  bool accepting = true;
  bool stopped = false;
  QString description;
  QString reason;  // in words
};

QString ReasonWords(const QString& message, const QStringList& keywords) {
  if (!message.trimmed().isEmpty()) return message.trimmed();
  QStringList words;
  for (QString k : keywords) {
    for (const char* end : {"-error", "-warning", "-report"})
      if (k.endsWith(QLatin1String(end))) k.chop(static_cast<int>(qstrlen(end)));
    for (const auto& [keyword, text] : kReasonWords)
      if (k == QLatin1String(keyword) && !words.contains(QLatin1String(text))) words << QString::fromLatin1(text);
  }
  return words.join(QStringLiteral(", "));
}

Printer PrinterState(http_t* http, const QString& name) {
  static const char* const kWanted[] = {"printer-state", "printer-state-reasons", "printer-state-message",
                                        "printer-is-accepting-jobs", "printer-info"};
  ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
  char uri[1024];
  httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                   name.toUtf8().constData());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kWanted)), nullptr, kWanted);
  ipp_t* reply = cupsDoRequest(http, request, "/");
  Printer p;
  if (reply == nullptr) return p;
  p.known = ippGetStatusCode(reply) <= IPP_STATUS_OK_CONFLICTING;
  if (ipp_attribute_t* a = ippFindAttribute(reply, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
    p.accepting = ippGetBoolean(a, 0) != 0;
  if (ipp_attribute_t* a = ippFindAttribute(reply, "printer-state", IPP_TAG_ENUM))
    p.stopped = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
  if (ipp_attribute_t* a = ippFindAttribute(reply, "printer-info", IPP_TAG_TEXT))
    p.description = QString::fromUtf8(ippGetString(a, 0, nullptr));
  QString message;
  if (ipp_attribute_t* a = ippFindAttribute(reply, "printer-state-message", IPP_TAG_TEXT))
    message = QString::fromUtf8(ippGetString(a, 0, nullptr));
  QStringList keywords;
  if (ipp_attribute_t* a = ippFindAttribute(reply, "printer-state-reasons", IPP_TAG_KEYWORD))
    for (int i = 0; i < ippGetCount(a); ++i) keywords << QString::fromUtf8(ippGetString(a, i, nullptr));
  p.reason = ReasonWords(message, keywords);
  ippDelete(reply);
  return p;
}

}  // namespace

SpoolerReport FollowCupsJob(const QString& printer, const QString& title, const QDateTime& since, int timeoutMs) {
  QElapsedTimer spent;
  spent.start();
  SpoolerReport report;
  Http http = Connect(timeoutMs);
  if (!http) return report;
  using State = SpoolerReport::State;
  for (;;) {
    const Job job = Newest(http.get(), printer, title, since.toSecsSinceEpoch());
    const Printer p = PrinterState(http.get(), printer);
    report.job = job.id;
    report.description = p.description;
    report.reason.clear();
    if (job.id == 0) {
      report.state = State::Unknown;
      if (p.known && !p.accepting) {
        report.state = State::Refused;
        report.reason = p.reason;
        return report;
      }
    } else if (job.state == IPP_JSTATE_PROCESSING || job.state == IPP_JSTATE_COMPLETED) {
      report.state = State::Printed;
      return report;
    } else if (job.state == IPP_JSTATE_CANCELED || job.state == IPP_JSTATE_ABORTED) {
      report.state = State::Failed;
      return report;
    } else {
      // In the queue: held, or the printer is stopped, or it has not taken it yet.
      report.state = State::Waiting;
      report.reason = job.state == IPP_JSTATE_HELD ? QStringLiteral("the job is held")
                      : p.stopped                  ? (p.reason.isEmpty() ? QStringLiteral("the printer is stopped") : p.reason)
                                                   : QStringLiteral("the printer has not taken it yet");
      if (job.state == IPP_JSTATE_HELD || job.state == IPP_JSTATE_STOPPED || p.stopped) return report;
    }
    if (spent.elapsed() + kPollMs >= timeoutMs) return report;
    QThread::msleep(kPollMs);
  }
}

bool CupsRunning(int timeoutMs) { return static_cast<bool>(Connect(timeoutMs)); }

}  // namespace zarn
