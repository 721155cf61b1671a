#include "windows/machine.h"

#include "windows/console.h"
#include "windows/spooler_jobs.h"

namespace zarn {

Machine::Machine() { UseParentConsole(); }

QString Machine::CommandLine(int, char**) { return RawArguments(); }

SpoolerReport Machine::FollowJob(const QString& printer, const QString& title, const QDateTime& since, int timeoutMs) {
  return FollowSpoolerJob(printer, title, since, timeoutMs);
}

}  // namespace zarn
