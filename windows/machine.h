#pragma once
// What the client does its own way on Windows, under the same names as
// linux/machine.h: main() includes the one of its machine and reads the same
// on both.
#include <QDateTime>
#include <QString>
#include <functional>

#include "platform/spooler_report.h"
#include "windows/tray_notifier.h"
#include "windows/win_clipboard.h"
#include "windows/winhttp_client.h"

namespace zarn {

class Machine {
 public:
  using Http = WinHttpClient;
  using Clipboard = WinClipboard;
  using Notifier = TrayNotifier;  // the notification area

  static constexpr const char* kStartedBy =
      "  Started by Windows for a zarn:// link, which it hands over in quotes with\n"
      "  \"/\" after it. zarn fetches the print script\n";

  // zarn.exe is a window program: --help and --version write to the console
  // it was started from.
  Machine();
  // Windows always has a desktop to show the window on.
  bool DisplayReady() { return true; }
  // The command line as Windows hands it over, unparsed (quotes included).
  static QString CommandLine(int argc, char** argv);
  void BeforeQt() {}
  void QtStarted() {}
  void WindowMade() {}

  // What the spooler did with the job.
  static SpoolerReport FollowJob(const QString& printer, const QString& title, const QDateTime& since, int timeoutMs);
  // Not asked: the spooler is a service of Windows itself.
  static std::function<bool()> PrintSystemRunning() { return {}; }
};

}  // namespace zarn
