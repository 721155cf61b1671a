#include "windows/spooler_jobs.h"

#include <windows.h>
#include <winspool.h>

#include <QElapsedTimer>
#include <vector>

namespace zarn {

namespace {
int FindJob(HANDLE printer, const QString& title, const QString& user) {
  DWORD needed = 0, returned = 0;
  EnumJobsW(printer, 0, 0xFFFF, 1, nullptr, 0, &needed, &returned);
  if (needed == 0) return 0;
  std::vector<BYTE> buffer(needed);
  if (!EnumJobsW(printer, 0, 0xFFFF, 1, buffer.data(), needed, &needed, &returned)) return 0;
  const auto* jobs = reinterpret_cast<const JOB_INFO_1W*>(buffer.data());
  int newest = 0;
  for (DWORD i = 0; i < returned; ++i) {
    const JOB_INFO_1W& job = jobs[i];
    if (job.pDocument && QString::fromWCharArray(job.pDocument) == title &&
        (!job.pUserName || QString::fromWCharArray(job.pUserName).compare(user, Qt::CaseInsensitive) == 0))
      newest = std::max(newest, static_cast<int>(job.JobId));
  }
  return newest;
}
}  // namespace

int NewestSpoolerJob(const QString& printer, const QString& title, int timeoutMs) {
  std::wstring name = printer.toStdWString();
  HANDLE handle = nullptr;
  if (!OpenPrinterW(name.data(), &handle, nullptr)) return 0;
  wchar_t user[256];
  DWORD size = 256;
  const QString me = GetUserNameW(user, &size) ? QString::fromWCharArray(user) : QString();
  QElapsedTimer waited;
  waited.start();
  int job = 0;
  for (;;) {
    job = FindJob(handle, title, me);
    if (job != 0 || waited.elapsed() >= timeoutMs) break;
    Sleep(100);
  }
  ClosePrinter(handle);
  return job;
}

}  // namespace zarn
