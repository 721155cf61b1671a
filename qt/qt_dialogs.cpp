#include "qt/qt_dialogs.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "errortrap/exception_guard.h"

namespace zarn {

namespace {
// The program's texts end their lines with CR LF; the box wants plain line feeds.
QString ShownText(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}

// Runs the box; a Ctrl+C (or an exception signal sent from outside) while it
// is open closes it and is then raised for the trap of the calling step.
void Run(QMessageBox& box, QWidget* owner) {
  if (owner) box.setParent(owner, box.windowFlags());
  {
    HeldSignals held([&box] { box.done(0); });
    // A signal that came just before the box could listen.
    if (!HeldSignals::Pending()) box.exec();
  }
  HeldSignals::RaiseHeld();
}
}  // namespace

void QtDialogs::Message(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, ShownText(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  Run(box, owner_);
}

bool QtDialogs::MessageOrStop(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, ShownText(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  QPushButton* stop = box.addButton(QStringLiteral("&Stop printing"), QMessageBox::DestructiveRole);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  Run(box, owner_);
  return box.clickedButton() == stop;
}

namespace {
// A box that a page may open while the user types elsewhere: its buttons take
// no key and no click for their first second, so keystrokes meant for another
// window cannot answer it (the way browsers guard their permission prompts).
constexpr int kConsentGuardMs = 1000;

void GuardButtons(QMessageBox& box) {
  const QList<QAbstractButton*> buttons = box.buttons();
  for (QAbstractButton* b : buttons) b->setEnabled(false);
  QTimer::singleShot(kConsentGuardMs, &box, [buttons] {
    for (QAbstractButton* b : buttons) b->setEnabled(true);
  });
}

// Escape and the close button give no answer while the buttons sleep.
class GuardedBox final : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;
  QAbstractButton* closed = nullptr;  // what Escape and the close button mean

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (closed && !closed->isEnabled()) return;
    QMessageBox::keyPressEvent(event);
  }
  void closeEvent(QCloseEvent* event) override {
    if (closed && !closed->isEnabled()) {
      event->ignore();
      return;
    }
    QMessageBox::closeEvent(event);
  }
};

}  // namespace

HostAnswer QtDialogs::AskHost(const QString& title, const QString& text) {
  GuardedBox box(QMessageBox::Question, title, ShownText(text), QMessageBox::NoButton);
  box.setTextFormat(Qt::PlainText);
  QPushButton* always = box.addButton(QStringLiteral("&Always"), QMessageBox::AcceptRole);
  QPushButton* once = box.addButton(QStringLiteral("&This time"), QMessageBox::AcceptRole);
  QPushButton* never = box.addButton(QStringLiteral("&Never"), QMessageBox::RejectRole);
  // Closing the box refuses this once, remembered nowhere: a hidden button
  // stands for it, so that it is told apart from Never.
  QPushButton* notNow = box.addButton(QStringLiteral("Not now"), QMessageBox::RejectRole);
  notNow->hide();
  box.setEscapeButton(notNow);
  box.closed = notNow;
  // This time, never Always, is what Return (after the first second) answers.
  always->setAutoDefault(false);
  never->setAutoDefault(false);
  box.setDefaultButton(once);
  GuardButtons(box);
  Run(box, owner_);
  if (box.clickedButton() == always) return HostAnswer::Always;
  if (box.clickedButton() == once) return HostAnswer::ThisTime;
  if (box.clickedButton() == never) return HostAnswer::Never;
  return HostAnswer::NotNow;
}

bool QtDialogs::OfferAllow(const QString& title, const QString& text) {
  GuardedBox box(QMessageBox::Question, title, ShownText(text), QMessageBox::NoButton);
  box.setTextFormat(Qt::PlainText);
  QPushButton* allow = box.addButton(QStringLiteral("&Allow from now on"), QMessageBox::AcceptRole);
  QPushButton* keep = box.addButton(QStringLiteral("&Keep refusing"), QMessageBox::RejectRole);
  box.setDefaultButton(keep);
  box.setEscapeButton(keep);
  box.closed = keep;
  allow->setAutoDefault(false);
  GuardButtons(box);
  Run(box, owner_);
  return box.clickedButton() == allow;
}

TrapChoice QtDialogs::AbortRetryIgnore(const QString& title, const QString& text, const QString& plain) {
  QMessageBox box(QMessageBox::Critical, title, plain.isEmpty() ? ShownText(text) : plain,
                  QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
  box.setTextFormat(Qt::PlainText);
  // What failed in one sentence; the trap's four lines below it, as the error log has them.
  if (!plain.isEmpty()) box.setInformativeText(ShownText(text));
  box.button(QMessageBox::Abort)->setText(QStringLiteral("&Abort"));
  box.button(QMessageBox::Retry)->setText(QStringLiteral("&Retry"));
  box.button(QMessageBox::Ignore)->setText(QStringLiteral("&Ignore"));
  box.button(QMessageBox::Abort)->setToolTip(QStringLiteral("End zarn now; nothing more is printed"));
  box.button(QMessageBox::Retry)->setToolTip(QStringLiteral("Try the failed step again"));
  box.button(QMessageBox::Ignore)->setToolTip(QStringLiteral("Skip the failed step and go on with the job"));
  // Enter tries again, the one answer that loses nothing.
  box.setDefaultButton(QMessageBox::Retry);
  // Closing the box (or Esc) counts as Abort, the one button that rejects.
  Run(box, owner_);
  switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Retry:
      return TrapChoice::Retry;
    case QMessageBox::Ignore:
      return TrapChoice::Ignore;
    default:
      return TrapChoice::Abort;
  }
}

}  // namespace zarn
