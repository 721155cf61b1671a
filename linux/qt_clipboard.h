#pragma once
// The desktop clipboard. The run log has to outlive the process that puts it
// there, but an X11 selection dies with its owner, so on X11 the text is
//   - put on the clipboard by Qt, which hands it to the clipboard manager when
//     the QApplication ends, where a clipboard manager runs, and otherwise
//   - given to a detached helper (xclip) that keeps serving it after we end,
//     until someone else takes the clipboard.
// Elsewhere (Wayland, offscreen) Qt's clipboard is used as it is.
// Needs a QGuiApplication; on X11 the QApplication must be destroyed normally
// (not _exit) for the hand-over to the clipboard manager to happen.
#include <QString>

#include "platform/clipboard.h"

namespace zarn {

class QtClipboard final : public Clipboard {
 public:
  // helper: the program that serves the clipboard after we end ("xclip" reads
  // the text on its standard input); empty for none.
  explicit QtClipboard(QString helper = QStringLiteral("xclip"));
  void SetText(const QString& text) override;

  // How the last SetText placed the text, for tests and diagnostics.
  enum class Route { None, Qt, ClipboardManager, Helper };
  Route LastRoute() const { return route_; }

 private:
  bool ServeByHelper(const QString& text);

  QString helper_;
  Route route_ = Route::None;
};

// True when the application runs on X11 and a clipboard manager owns the
// CLIPBOARD_MANAGER selection.
bool ClipboardManagerRuns();

}  // namespace zarn
