#pragma once
// The run log (LogText): one text for the whole run, owned by the job flow and
// handed to the user on the clipboard at the end. Lines end with CR LF; the
// engine's own lines begin with "MESSAGE :".
#include <QString>

#include "engine/job_limits.h"

namespace zarn {

class RunLog {
 public:
  void Clear() {
    text_.clear();
    cut_ = false;
  }
  void Reset(const QString& firstLine) {
    Clear();
    AppendLine(firstLine);
  }
  // Past kMaxRunLogChars one line says the log was cut, and nothing more
  // is kept: a template that logs a line per command cannot fill the memory.
  void AppendLine(const QString& line) {
    if (cut_) return;
    if (text_.size() + line.size() + 2 > kMaxRunLogChars) {
      cut_ = true;
      text_ += QStringLiteral("MESSAGE :The run log reached 8 MB; later lines were left out.\r\n");
      return;
    }
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
  bool cut_ = false;
};

}  // namespace zarn
