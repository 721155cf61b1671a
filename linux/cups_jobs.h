#pragma once
// Job numbers and job states of the CUPS spooler, which Qt's printer does not
// hand back.
#include <QDateTime>
#include <QString>

#include "platform/spooler_report.h"

namespace zarn {

// Follows the newest job of this user with the given title, made since
// `since`, until the printer has taken it, CUPS gave it up, or the printer's
// state says why it waits; a job that is not in the queue of a printer that
// accepts no jobs was refused. Gives up after timeoutMs (the state is then
// Waiting for a job still in the queue, Unknown for none).
SpoolerReport FollowCupsJob(const QString& printer, const QString& title, const QDateTime& since, int timeoutMs);

// Whether the CUPS scheduler answers within timeoutMs.
bool CupsRunning(int timeoutMs);

}  // namespace zarn
