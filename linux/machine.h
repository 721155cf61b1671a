#pragma once
// What the client does its own way on Linux, under the same names as
// windows/machine.h: main() includes the one of its machine and reads the same
// on both.
#include <QDateTime>
#include <QString>
#include <functional>
#include <optional>
#include <thread>

#include "linux/curl_http.h"
#include "linux/dbus_notifier.h"
#include "linux/qt_clipboard.h"
#include "linux/startup.h"
#include "platform/spooler_report.h"

namespace zarn {

class Machine {
 public:
  using Http = CurlHttpClient;
  using Clipboard = QtClipboard;
  using Notifier = DBusNotifier;  // the desktop's notification service

  // How a link reaches zarn, for --help.
  static constexpr const char* kStartedBy =
      "  Started by the desktop for a zarn:// link (through zarn-link, which hands\n"
      "  the link over in quotes with \"/\" after it). zarn fetches the print script\n";

  // A display to show the window on; without one, says so on standard error
  // and is false.
  bool DisplayReady();
  // The link as the launcher hands it over, the arguments joined by blanks;
  // read before Qt takes its own options out of argv.
  static QString CommandLine(int argc, char** argv);
  // Around Qt's start: the font configuration is read meanwhile.
  void BeforeQt();
  void QtStarted();
  // The first widgets are made: from here on D-Bus clients may look for a
  // session bus (where the user's session has one; none is started).
  void WindowMade() { noBusAutolaunch_.reset(); }

  // What the spooler did with the job (CUPS).
  static SpoolerReport FollowJob(const QString& printer, const QString& title, const QDateTime& since, int timeoutMs);
  // Whether the print system runs; empty where that is not asked.
  static std::function<bool()> PrintSystemRunning();

 private:
  std::optional<NoSessionBusAutolaunch> noBusAutolaunch_;
  std::thread fonts_;
};

}  // namespace zarn
