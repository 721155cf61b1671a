// The window and the message boxes on real Qt: under the test command's
// virtual X display (Windows' own under Wine), or offscreen when there is no
// display.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "qt/qt_dialogs.h"
#include "qt/qt_main_window.h"
#include "tests/support/widgets_app.h"

namespace zarn {
namespace {

const auto* const kQtApp = ::testing::AddGlobalTestEnvironment(new zarn::testing::WidgetsApp);

TEST(QtMainWindow, FixedWindowWithCaptionLabelsAndVersion) {
  QtMainWindow w;
  QWidget& widget = w.Widget();
  EXPECT_EQ(widget.windowTitle(), QStringLiteral("zarn"));
  EXPECT_EQ(widget.objectName(), QStringLiteral("frmMAIN"));
  EXPECT_FALSE(widget.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(widget.windowIcon().isNull());
  // 4320 x 1800 twips: 288 x 120 pixels at 96 dots per inch.
  EXPECT_EQ(widget.minimumSize(), widget.maximumSize());
  EXPECT_EQ(widget.width(), TwipsToPixels(4320, true));
  EXPECT_EQ(widget.height(), TwipsToPixels(1800, false));
  EXPECT_EQ(TwipsToPixels(1440, true), qRound(QGuiApplication::primaryScreen()->logicalDotsPerInchX()));
  for (QLabel* label : {&w.Label1(), &w.VersionLabel()}) {
    EXPECT_EQ(label->font().family(), QStringLiteral("Arial Narrow")) << label->objectName().toStdString();
    EXPECT_TRUE(widget.rect().contains(label->geometry())) << label->objectName().toStdString();
  }
  EXPECT_EQ(w.Label1().objectName(), QStringLiteral("Label1"));
  EXPECT_EQ(w.VersionLabel().objectName(), QStringLiteral("lblVER"));
  auto* logo = widget.findChild<QLabel*>(QStringLiteral("Image1"));
  ASSERT_NE(logo, nullptr);
  EXPECT_FALSE(logo->pixmap().isNull());

  w.SetVersionCaption(QStringLiteral("ZARN v2.1.0"));
  EXPECT_EQ(w.VersionLabel().text(), QStringLiteral("ZARN v2.1.0"));
  w.ShowAndRepaint();
  EXPECT_TRUE(widget.isVisible());
  w.ProcessEvents();
}

// Presses `button` on the message box once it is up and records what it showed.
struct BoxSeen {
  QString title, text, details;
  QStringList labels;  // the buttons' texts
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QList<QMessageBox::StandardButton> buttons;
};
void PressWhenShown(QMessageBox::StandardButton button, BoxSeen& seen, int attempts = 200) {
  QTimer::singleShot(10, [=, &seen] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      if (attempts > 0) PressWhenShown(button, seen, attempts - 1);
      return;
    }
    seen.title = box->windowTitle();
    seen.text = box->text();
    seen.details = box->informativeText();
    seen.icon = box->icon();
    for (QAbstractButton* b : box->buttons()) {
      seen.buttons << box->standardButton(b);
      seen.labels << b->text();
    }
    seen.defaultButton = box->standardButton(box->defaultButton());
    box->button(button)->click();
  });
}

TEST(QtDialogs, MessageHasOnlyOkAndNoIcon) {
  QtDialogs dialogs;
  BoxSeen seen;
  PressWhenShown(QMessageBox::Ok, seen);
  dialogs.Message(QStringLiteral("zarn"), QStringLiteral("ERROR\r\na\r\nb"));
  EXPECT_EQ(seen.title, QStringLiteral("zarn"));
  EXPECT_EQ(seen.text, QStringLiteral("ERROR\na\nb"));
  EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
  EXPECT_EQ(seen.buttons, QList<QMessageBox::StandardButton>{QMessageBox::Ok});
}

TEST(QtDialogs, AbortRetryIgnoreReturnsTheButtonPressed) {
  QtDialogs dialogs;
  const std::pair<QMessageBox::StandardButton, TrapChoice> rows[] = {
      {QMessageBox::Abort, TrapChoice::Abort},
      {QMessageBox::Retry, TrapChoice::Retry},
      {QMessageBox::Ignore, TrapChoice::Ignore},
  };
  for (const auto& [button, choice] : rows) {
    BoxSeen seen;
    PressWhenShown(button, seen);
    EXPECT_EQ(dialogs.AbortRetryIgnore(QStringLiteral("zarn"), QStringLiteral("Error 6\r\nOverflow"),
                                       QStringLiteral("The print service at shop.example did not answer.")),
              choice);
    EXPECT_EQ(seen.title, QStringLiteral("zarn"));
    // The plain sentence first, the trap's lines below it; access keys; Enter retries.
    EXPECT_EQ(seen.text, QStringLiteral("The print service at shop.example did not answer."));
    EXPECT_EQ(seen.details, QStringLiteral("Error 6\nOverflow"));
    for (const char* label : {"&Abort", "&Retry", "&Ignore"}) EXPECT_TRUE(seen.labels.contains(QLatin1String(label)));
    EXPECT_EQ(seen.defaultButton, QMessageBox::Retry);
    EXPECT_EQ(seen.buttons.size(), 3);
    for (auto b : {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore}) EXPECT_TRUE(seen.buttons.contains(b));
  }
}

}  // namespace
}  // namespace zarn
