#include "windows/spooler_jobs.h"

#include <windows.h>
#include <winspool.h>

#include <QElapsedTimer>
#include <QStringList>
#include <vector>

namespace zarn {

namespace {

constexpr int kPollMs = 100;
using State = SpoolerReport::State;

struct StatusRow {
  DWORD bit;
  State state;
  const char* words;  // the reason a person at the desk is told
};

// The job's own status, in the order the bits are looked at: its end first,
// then what holds it.
constexpr StatusRow kJobRows[] = {
    {JOB_STATUS_DELETING, State::Failed, "the job was cancelled"},
    {JOB_STATUS_DELETED, State::Failed, "the job was cancelled"},
    {JOB_STATUS_BLOCKED_DEVQ, State::Failed, "the driver cannot print the job"},
    {JOB_STATUS_PRINTED, State::Printed, ""},
    {JOB_STATUS_COMPLETE, State::Printed, ""},
    {JOB_STATUS_PRINTING, State::Printed, ""},
    {JOB_STATUS_PAUSED, State::Waiting, "the job is paused"},
    {JOB_STATUS_PAPEROUT, State::Waiting, "out of paper"},
    {JOB_STATUS_OFFLINE, State::Waiting, "the printer is offline"},
    {JOB_STATUS_USER_INTERVENTION, State::Waiting, "the printer needs attention"},
    {JOB_STATUS_ERROR, State::Waiting, "the printer reports an error"},
    {JOB_STATUS_RESTART, State::Waiting, "the job is being restarted"},
};

// The printer's status bits that stop its queue (warnings such as toner low
// do not), and the two that refuse jobs.
constexpr StatusRow kPrinterRows[] = {
    {PRINTER_STATUS_PENDING_DELETION, State::Refused, "the printer is being deleted"},
    {PRINTER_STATUS_NOT_AVAILABLE, State::Refused, "the printer is not available"},
    {PRINTER_STATUS_PAUSED, State::Waiting, "paused"},
    {PRINTER_STATUS_PAPER_OUT, State::Waiting, "out of paper"},
    {PRINTER_STATUS_PAPER_JAM, State::Waiting, "paper jam"},
    {PRINTER_STATUS_PAPER_PROBLEM, State::Waiting, "a paper problem"},
    {PRINTER_STATUS_MANUAL_FEED, State::Waiting, "paper needed (manual feed)"},
    {PRINTER_STATUS_NO_TONER, State::Waiting, "out of toner"},
    {PRINTER_STATUS_DOOR_OPEN, State::Waiting, "a door is open"},
    {PRINTER_STATUS_OUTPUT_BIN_FULL, State::Waiting, "the output tray is full"},
    {PRINTER_STATUS_OFFLINE, State::Waiting, "the printer is offline"},
    {PRINTER_STATUS_USER_INTERVENTION, State::Waiting, "the printer needs attention"},
    {PRINTER_STATUS_OUT_OF_MEMORY, State::Waiting, "the printer is out of memory"},
    {PRINTER_STATUS_SERVER_UNKNOWN, State::Waiting, "the print server is unknown"},
    {PRINTER_STATUS_ERROR, State::Waiting, "the printer reports an error"},
};

// The printer's rows that apply, their reasons joined; Unknown when none does.
SpoolerVerdict PrinterVerdict(uint32_t status, uint32_t attributes) {
  if (attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE) status |= PRINTER_STATUS_OFFLINE;
  SpoolerVerdict v;
  QStringList words;
  for (const StatusRow& row : kPrinterRows) {
    if ((status & row.bit) == 0) continue;
    if (v.state == State::Unknown || row.state == State::Refused) v.state = row.state;
    if (!words.contains(QLatin1String(row.words))) words << QLatin1String(row.words);
  }
  v.reason = words.join(QStringLiteral(", "));
  v.final = v.state != State::Unknown;
  return v;
}

struct Found {
  DWORD id = 0;
  DWORD status = 0;
  QString statusText;
};

QString Text(const wchar_t* s) { return s ? QString::fromWCharArray(s) : QString(); }

QDateTime Submitted(const SYSTEMTIME& t) {
  return QDateTime(QDate(t.wYear, t.wMonth, t.wDay), QTime(t.wHour, t.wMinute, t.wSecond, t.wMilliseconds),
                   Qt::UTC);
}

// The newest job of the user with that document name, submitted since then.
Found Newest(HANDLE printer, const QString& title, const QString& user, const QDateTime& since) {
  DWORD needed = 0, returned = 0;
  EnumJobsW(printer, 0, 0xFFFF, 1, nullptr, 0, &needed, &returned);
  Found newest;
  if (needed == 0) return newest;
  std::vector<BYTE> buffer(needed);
  if (!EnumJobsW(printer, 0, 0xFFFF, 1, buffer.data(), needed, &needed, &returned)) return newest;
  const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
  for (DWORD i = 0; i < returned; ++i) {
    const JOB_INFO_1W& job = jobs[i];
    if (job.JobId > newest.id && Text(job.pDocument) == title &&
        (!job.pUserName || Text(job.pUserName).compare(user, Qt::CaseInsensitive) == 0) &&
        Submitted(job.Submitted) >= since.toUTC())
      newest = Found{job.JobId, job.Status, Text(job.pStatus)};
  }
  return newest;
}

// The job of that number again; false when it has left the queue.
bool Again(HANDLE printer, Found& job) {
  DWORD needed = 0;
  GetJobW(printer, job.id, 1, nullptr, 0, &needed);
  if (needed == 0) return false;
  std::vector<BYTE> buffer(needed);
  if (!GetJobW(printer, job.id, 1, buffer.data(), needed, &needed)) return false;
  const auto* info = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
  job.status = info->Status;
  job.statusText = Text(info->pStatus);
  return true;
}

struct PrinterState {
  DWORD status = 0;
  DWORD attributes = 0;
  QString comment;
};

PrinterState ReadPrinter(HANDLE printer) {
  PrinterState p;
  DWORD needed = 0;
  GetPrinterW(printer, 2, nullptr, 0, &needed);
  if (needed == 0) return p;
  std::vector<BYTE> buffer(needed);
  if (!GetPrinterW(printer, 2, buffer.data(), needed, &needed)) return p;
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  p.status = info->Status;
  p.attributes = info->Attributes;
  p.comment = Text(info->pComment).trimmed();
  return p;
}

}  // namespace

SpoolerVerdict JudgeSpoolerJob(const SpoolerLook& look) {
  const SpoolerVerdict printer = PrinterVerdict(look.printerStatus, look.printerAttributes);
  if (!look.listed) {
    if (look.listedBefore) return {State::Printed, {}, true};  // printed, and not kept in the queue
    if (printer.state == State::Refused) return printer;
    return {};
  }
  for (const StatusRow& row : kJobRows) {
    if ((look.jobStatus & row.bit) == 0) continue;
    SpoolerVerdict v{row.state, QString::fromLatin1(row.words), true};
    // The driver's own words say best why the job waits.
    if (row.state == State::Waiting && !look.jobStatusText.trimmed().isEmpty()) v.reason = look.jobStatusText.trimmed();
    if (row.state == State::Printed) v.reason.clear();
    return v;
  }
  if (printer.final) return printer;
  return {State::Waiting, QStringLiteral("the printer has not taken it yet"), false};
}

SpoolerReport FollowSpoolerJob(const QString& printer, const QString& title, const QDateTime& since, int timeoutMs) {
  QElapsedTimer spent;
  spent.start();
  SpoolerReport report;
  std::wstring name = printer.toStdWString();
  HANDLE handle = nullptr;
  if (!OpenPrinterW(name.data(), &handle, nullptr) || handle == nullptr) return report;
  wchar_t user[256];
  DWORD size = 256;
  const QString me = GetUserNameW(user, &size) ? QString::fromWCharArray(user) : QString();
  Found job;
  SpoolerLook look;
  for (;;) {
    if (job.id == 0) {
      job = Newest(handle, title, me, since);
      look.listed = job.id != 0;
    } else {
      look.listedBefore = true;
      look.listed = Again(handle, job);
    }
    look.jobStatus = job.status;
    look.jobStatusText = job.statusText;
    const PrinterState p = ReadPrinter(handle);
    look.printerStatus = p.status;
    look.printerAttributes = p.attributes;
    const SpoolerVerdict verdict = JudgeSpoolerJob(look);
    report.job = static_cast<int>(job.id);
    report.description = p.comment;
    report.state = verdict.state;
    report.reason = verdict.state == State::Waiting || verdict.state == State::Refused ? verdict.reason : QString();
    if (verdict.final || spent.elapsed() + kPollMs >= timeoutMs) break;
    Sleep(kPollMs);
  }
  ClosePrinter(handle);
  return report;
}

}  // namespace zarn
