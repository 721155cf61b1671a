#pragma once
// The program's one window (frmMAIN) as the job flow sees it: it only shows
// that the program is at work. There is no event loop of the program's own;
// window events are handled only when the job flow asks for it.
#include <QString>

namespace zarn {

class MainWindow {
 public:
  virtual ~MainWindow() = default;
  // The version label (lblVER).
  virtual void SetVersionCaption(const QString& caption) = 0;
  // Shows the window and paints it at once, so it is visible while the job runs.
  virtual void ShowAndRepaint() = 0;
  // Handles the window events that are waiting, once.
  virtual void ProcessEvents() = 0;
  // One line under the version saying how far the job is ("Page 12"),
  // painted at once without handling any other window event.
  virtual void ShowProgress(const QString& line) = 0;

  // While the service is asked: the line ("Asking HOST …") and a way to
  // cancel. StillWaiting handles the window's events once and is false once
  // the user cancelled; EndWaiting takes the way to cancel away again, so
  // that no window event reaches the print job.
  virtual void ShowWaiting(const QString& line) { ShowProgress(line); }
  virtual bool StillWaiting() { return true; }
  virtual void EndWaiting() {}
};

}  // namespace zarn
