#include "linux/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QProcess>
#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace zarn {

namespace {

bool OnX11() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

xcb_connection_t* X11Connection() {
  auto* x11 = qGuiApp == nullptr ? nullptr : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
  return x11 == nullptr ? nullptr : x11->connection();
}

}  // namespace

bool ClipboardManagerRuns() {
  if (!OnX11()) return false;
  xcb_connection_t* c = X11Connection();
  if (c == nullptr) return false;
  static const char kName[] = "CLIPBOARD_MANAGER";
  xcb_intern_atom_reply_t* atom =
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, std::strlen(kName), kName), nullptr);
  if (atom == nullptr) return false;
  const xcb_atom_t a = atom->atom;
  std::free(atom);
  if (a == XCB_ATOM_NONE) return false;
  xcb_get_selection_owner_reply_t* owner =
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, a), nullptr);
  if (owner == nullptr) return false;
  const bool runs = owner->owner != XCB_WINDOW_NONE;
  std::free(owner);
  return runs;
}

QtClipboard::QtClipboard(QString helper) : helper_(std::move(helper)) {}

void QtClipboard::SetText(const QString& text) {
  QClipboard* clipboard = QGuiApplication::clipboard();
  const auto viaQt = [&] {
    clipboard->clear();
    clipboard->setText(text);
  };
  const bool x11 = OnX11();
  if (x11 && ClipboardManagerRuns()) {
    viaQt();
    // Qt can fail to take the selection when its last X time stamp is older
    // than the current owner's; the helper does not have that problem.
    if (clipboard->ownsClipboard()) {
      route_ = Route::ClipboardManager;
      return;
    }
  }
  if (x11 && ServeByHelper(text)) {
    route_ = Route::Helper;
    return;
  }
  viaQt();
  route_ = Route::Qt;
}

bool QtClipboard::ServeByHelper(const QString& text) {
  if (helper_.isEmpty()) return false;
  QProcess p;
  p.setProgram(helper_);
  p.setArguments({QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
  // The helper outlives us: it must not hold our output streams open.
  p.setStandardOutputFile(QProcess::nullDevice());
  p.setStandardErrorFile(QProcess::nullDevice());
  p.start();
  if (!p.waitForStarted(5000)) return false;
  const QByteArray bytes = text.toUtf8();
  if (p.write(bytes) != bytes.size()) {
    p.kill();
    p.waitForFinished(1000);
    return false;
  }
  p.closeWriteChannel();
  // xclip takes the selection, leaves a served child behind and exits.
  if (!p.waitForFinished(10000)) {
    p.kill();
    p.waitForFinished(1000);
    return false;
  }
  return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

}  // namespace zarn
