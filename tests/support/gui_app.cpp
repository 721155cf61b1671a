#include "tests/support/gui_app.h"

#include <QGuiApplication>

namespace zarn::testing {

void EnsureGuiApp() {
  if (QGuiApplication::instance()) return;
#ifndef _WIN32
  // Windows' own platform needs no display; Qt's offscreen one has no fonts there.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
  static int argc = 1;
  static char name[] = "zarn-test";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);  // lives for the whole test program
}

}  // namespace zarn::testing
