#pragma once
// The settings file "zarn.ini" beside the program: line 1 the PDF copy switch,
// line 2 the PDF folder, an optional line 3 the service hosts that may be
// asked (web/service_hosts.h). It is read line by line the way the classic "Line
// Input" reads: a line ends at CR LF or at a CR alone; a lone LF is part of the
// line; the last line needs no line end; reading when nothing is left is the
// run-time error "Input past end of file" (62).
#include <QByteArray>
#include <QString>

namespace zarn {

class HostAllowList;
class Trap;
struct PrintState;

class SettingsReader {
 public:
  SettingsReader() = default;  // an empty file
  // The file's bytes: UTF-8, or ISO-8859-1 when they are not valid UTF-8 (a
  // file written by the Windows client in its single-byte code page).
  explicit SettingsReader(const QByteArray& bytes);

  // The next line without its line end; raises InputPastEnd at the end.
  QString LineInput();
  bool AtEnd() const { return pos_ >= text_.size(); }

 private:
  QString text_;
  qsizetype pos_ = 0;
};

// True when the line is the number 1, compared as a number (" 1", "1.0" and
// "+1" count; "2", "", "one" do not).
bool IsNumberOne(const QString& line);

// Reads the lines into the PDF copy switch, the PDF folder and, where hosts is
// given and the file has a third line, the service hosts; each one a step of
// the caller's trap.
void ReadSettingsLines(Trap& trap, SettingsReader& settings, PrintState& state, HostAllowList* hosts);

}  // namespace zarn
