#pragma once
// What the Windows spooler did with a job: its job list (EnumJobs, GetJob)
// and the printer's state (GetPrinter), which Qt's printer does not hand back.
#include <QDateTime>
#include <QString>
#include <cstdint>

#include "platform/spooler_report.h"

namespace zarn {

// What one look at the spooler showed of the job and its printer.
struct SpoolerLook {
  bool listed = false;         // the job is in the printer's queue
  bool listedBefore = false;   // an earlier look found it there
  uint32_t jobStatus = 0;      // JOB_INFO_1's Status bits
  QString jobStatusText;       // its pStatus, the driver's own words; empty when none
  uint32_t printerStatus = 0;  // PRINTER_INFO_2's Status bits
  uint32_t printerAttributes = 0;
};

struct SpoolerVerdict {
  SpoolerReport::State state = SpoolerReport::State::Unknown;
  QString reason;      // Waiting or Refused: why, in words
  bool final = false;  // looking again will not change it
};

// The job's fate by the spooler's status bits, read from tables: a job the
// printer has taken (printing, printed) or that was deleted; one held by its
// own state (paused, paper out ...) or by the printer's (paused, offline,
// jammed ...); one that left the queue after it was seen (printed and gone).
// A job never listed is Unknown, or Refused by a printer that is being
// deleted or not available.
SpoolerVerdict JudgeSpoolerJob(const SpoolerLook& look);

// Follows the newest job of this user with the given document name, made
// since `since`, on the printer until JudgeSpoolerJob has its final word, or
// for at most timeoutMs (then its last word). The report names the job and
// the printer's comment as its description.
SpoolerReport FollowSpoolerJob(const QString& printer, const QString& title, const QDateTime& since, int timeoutMs);

}  // namespace zarn
