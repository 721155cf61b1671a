#pragma once
// The run log (LogText): one text for the whole run, owned by the job flow and
// handed to the user on the clipboard at the end. Lines end with CR LF; the
// engine's own lines begin with "MESSAGE :".
#include <QString>

namespace zarn {

class RunLog {
 public:
  void Clear() { text_.clear(); }
  void Reset(const QString& firstLine) { text_ = firstLine + QStringLiteral("\r\n"); }
  void AppendLine(const QString& line) {
    text_ += line;
    text_ += QStringLiteral("\r\n");
  }
  // "MESSAGE :" + text + CR LF.
  void Message(const QString& text) { AppendLine(QStringLiteral("MESSAGE :") + text); }
  // Text without a line end (the run's last line).
  void AppendRaw(const QString& text) { text_ += text; }
  const QString& Text() const { return text_; }

 private:
  QString text_;
};

}  // namespace zarn
