#include "linux/machine.h"

#include <QStringList>
#include <iostream>

#include "linux/cups_jobs.h"

namespace zarn {

namespace {
// How long the print system may take to answer whether it runs at all.
constexpr int kPrintSystemMs = 500;
}  // namespace

bool Machine::DisplayReady() {
  if (!DisplayAvailable()) {
    const QByteArray display = qgetenv("DISPLAY");
    std::cerr << "zarn: no display to show its window on ("
              << (display.isEmpty() ? "DISPLAY is not set" : "cannot connect to DISPLAY " + display.toStdString())
              << "); zarn runs on a desktop, started for zarn:// links\n";
    return false;
  }
  noBusAutolaunch_.emplace();
  return true;
}

QString Machine::CommandLine(int argc, char** argv) {
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  return args.join(u' ');
}

void Machine::BeforeQt() { fonts_ = ReadFontConfiguration(); }

void Machine::QtStarted() {
  if (fonts_.joinable()) fonts_.join();
}

SpoolerReport Machine::FollowJob(const QString& printer, const QString& title, const QDateTime& since, int timeoutMs) {
  return FollowCupsJob(printer, title, since, timeoutMs);
}

std::function<bool()> Machine::PrintSystemRunning() {
  return [] { return CupsRunning(kPrintSystemMs); };
}

}  // namespace zarn
