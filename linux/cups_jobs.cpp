#include "linux/cups_jobs.h"

#include <cups/cups.h>

namespace zarn {

int NewestCupsJob(const QString& printer, const QString& title, int timeoutMs) {
  // A connection of our own, so that a spooler that does not answer is given up on in time.
  http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, timeoutMs, nullptr);
  if (http == nullptr) return 0;
  httpSetTimeout(http, timeoutMs / 1000.0, nullptr, nullptr);
  cups_job_t* jobs = nullptr;
  const QByteArray name = printer.toUtf8();
  const int count = cupsGetJobs2(http, &jobs, name.constData(), 1, CUPS_WHICHJOBS_ALL);
  int newest = 0;
  for (int i = 0; i < count; ++i)
    if (jobs[i].id > newest && jobs[i].title && QString::fromUtf8(jobs[i].title) == title) newest = jobs[i].id;
  cupsFreeJobs(count, jobs);
  httpClose(http);
  return newest;
}

}  // namespace zarn
