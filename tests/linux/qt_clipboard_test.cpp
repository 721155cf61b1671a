// The clipboard on real Qt: under the test command's virtual X display, or
// offscreen when there is no display.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QProcess>

#include "linux/qt_clipboard.h"
#include "tests/support/widgets_app.h"

namespace zarn {
namespace {

const auto* const kQtApp = ::testing::AddGlobalTestEnvironment(new zarn::testing::WidgetsApp);

TEST(QtClipboard, TextReachesTheDesktopClipboardUnchanged) {
  const QString text = QStringLiteral("ZARN last run: 08/12/2026 03:29:32\r\nURL decoded :M\u00fcller\r\nZARN end: x");
  QtClipboard clipboard;
  clipboard.SetText(text);
  if (QGuiApplication::platformName() != QLatin1String("xcb")) {
    EXPECT_EQ(clipboard.LastRoute(), QtClipboard::Route::Qt);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
    return;
  }
  // No clipboard manager runs on the test display: a detached helper serves it.
  ASSERT_FALSE(ClipboardManagerRuns());
  EXPECT_EQ(clipboard.LastRoute(), QtClipboard::Route::Helper);
  QProcess out;
  out.start(QStringLiteral("xclip"), {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")});
  ASSERT_TRUE(out.waitForFinished(10000));
  EXPECT_EQ(QString::fromUtf8(out.readAllStandardOutput()), text);
}

TEST(QtClipboard, WithoutAHelperQtKeepsTheText) {
  // On X11 the helper has the clipboard by now, and Qt's older time stamp may
  // not take it back; elsewhere Qt's clipboard is the one used.
  if (QGuiApplication::platformName() == QLatin1String("xcb")) GTEST_SKIP() << "X11 uses the helper";
  QtClipboard clipboard{QString()};
  clipboard.SetText(QStringLiteral("abc"));
  EXPECT_EQ(clipboard.LastRoute(), QtClipboard::Route::Qt);
  QCoreApplication::processEvents();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("abc"));
}

}  // namespace
}  // namespace zarn
