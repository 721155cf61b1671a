#include "platform/qt_dialogs.h"

#include <QMessageBox>
#include <QPushButton>

namespace zarn {

namespace {
// The program's texts end their lines with CR LF; the box wants plain line feeds.
QString ShownText(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  return text;
}
}  // namespace

void QtDialogs::Message(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, ShownText(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

TrapChoice QtDialogs::AbortRetryIgnore(const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::Critical, title, ShownText(text),
                  QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::Abort);
  // Closing the box (or Esc) counts as Abort, the one button that rejects.
  box.exec();
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
