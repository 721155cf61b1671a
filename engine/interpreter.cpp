#include "engine/interpreter.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "engine/coordinates.h"
#include "engine/document.h"
#include "engine/drawing.h"
#include "engine/fonts.h"
#include "engine/text.h"
#include "errortrap/convert.h"
#include "errortrap/error.h"
#include "errortrap/trap.h"
#include "platform/dialogs.h"

namespace zarn {

namespace {

// The line break of a script, chosen once for the whole text: CR LF when there
// is one, else CR when there is one, else LF.
enum class LineBreak { CrLf, Cr, Lf };

LineBreak ChooseLineBreak(QStringView script) {
  // A CR LF exists exactly when some CR is followed by an LF.
  for (qsizetype at = script.indexOf(u'\r'); at >= 0; at = script.indexOf(u'\r', at + 1))
    if (at + 1 < script.size() && script[at + 1] == u'\n') return LineBreak::CrLf;
  if (script.contains(u'\r')) return LineBreak::Cr;
  return LineBreak::Lf;
}

// Calls f with a view of every line, without copying the script.
template <typename F>
void ForEachLine(QStringView script, F&& f) {
  if (script.isEmpty()) return;
  const LineBreak kind = ChooseLineBreak(script);
  const QChar mark = kind == LineBreak::Lf ? QChar(u'\n') : QChar(u'\r');
  qsizetype start = 0;
  qsizetype from = 0;
  for (;;) {
    const qsizetype at = script.indexOf(mark, from);
    if (at < 0) {
      f(script.mid(start));
      return;
    }
    if (kind == LineBreak::CrLf && (at + 1 >= script.size() || script[at + 1] != u'\n')) {
      from = at + 1;  // a lone CR stays inside the line
      continue;
    }
    f(script.mid(start, at - start));
    start = from = at + (kind == LineBreak::CrLf ? 2 : 1);
  }
}

// The fields of one line as views into the script. No command reads more than
// nine fields, so only the first kMaxFields are cut apart; a longer line keeps
// the rest in its last stored field, which no command reads.
class Fields {
 public:
  static constexpr qsizetype kMaxFields = 12;

  void Split(QStringView line) {
    count_ = 0;
    qsizetype start = 0;
    while (count_ < kMaxFields - 1) {
      const qsizetype bar = line.indexOf(u'|', start);
      if (bar < 0) break;
      parts_[count_++] = line.mid(start, bar - start);
      start = bar + 1;
    }
    parts_[count_++] = line.mid(start);
  }

  // Fields after the keyword (at least as many as any command tests for).
  qsizetype After() const { return count_ - 1; }
  QStringView Keyword() const { return parts_[0]; }

  // Field i (1 = the first after the keyword); a field the line does not have
  // is Subscript out of range.
  QStringView View(qsizetype i) const {
    if (i >= count_) Raise(RuntimeError::SubscriptOutOfRange);
    return parts_[i];
  }
  QString Text(qsizetype i) const { return View(i).toString(); }
  int32_t Number(qsizetype i) const { return FieldToLong(View(i)); }
  int16_t Short(qsizetype i) const { return FieldToShort(View(i)); }

 private:
  std::array<QStringView, kMaxFields> parts_;
  qsizetype count_ = 0;
};

// Arguments are converted into locals one statement at a time, so the first
// faulty field from the left is the one reported.
using Handler = void (*)(Engine&, const Fields&);

struct Command {
  std::u16string_view keyword;
  qsizetype minFields;  // fields after the keyword that the command always reads
  bool inPdfPass;       // false: the PDF copy run skips the line
  Handler run;
};

void RunPdfName(Engine& e, const Fields& f) {
  PrintState& s = e.state;
  const qsizetype n = f.After();
  if (n >= 3) {
    s.PdfSubFolder = f.Text(1);
    s.PdfFileName = f.Text(2);
  } else if (n == 2) {
    s.PdfSubFolder.clear();
    s.PdfFileName = f.Text(2);
  } else {
    s.PdfSubFolder.clear();
    s.PdfFileName = f.Text(1);
  }
}

void RunQrc(Engine& e, const Fields& f) {
  if (f.View(1).isEmpty()) return;
  const QString text = f.Text(1);
  const int32_t x = f.Number(2);
  const int32_t y = f.Number(3);
  const int32_t width = f.Number(4);
  const int32_t height = f.Number(5);
  if (e.QRC) e.QRC(text, x, y, width, height);
}

void RunGetFile(Engine& e, const Fields& f) {
  if (f.View(1).isEmpty()) return;
  const QString url = f.Text(1);
  const QString path = f.Text(2);
  GetFile(e, url, path);
}

void RunMsgBox(Engine& e, const Fields& f) {
  const QString title = f.Text(1);
  const QString text = f.Text(2) + QStringLiteral("\r\n") + f.Text(3);
  e.dialogs.Message(title, text);
}

void RunPaperSize(Engine& e, const Fields& f) {
  int32_t width = f.Number(1);
  int32_t height = f.Number(2);
  QString name = f.Text(3);
  if (e.PaperSize) e.PaperSize(width, height, name);
}

void RunDevice(Engine& e, const Fields& f) { DeviceName(e, f.Text(1)); }

void RunMargin(Engine& e, const Fields& f) {
  const int32_t top = f.Number(1);
  const int32_t left = f.Number(2);
  SetMargin(e, top, left);
}

void RunNewPage(Engine& e, const Fields&) { NewPage(e); }
void RunSimpleStartDoc(Engine& e, const Fields&) { SimpleStartDoc(e); }

void RunStartDoc(Engine& e, const Fields& f) {
  const QString orientation = f.Text(1);
  const QString paper = f.Text(2);
  const int32_t copies = f.Number(3);
  StartDoc(e, orientation, paper, copies);
}

void RunEndDoc(Engine& e, const Fields&) { EndDoc(e); }
void RunSFX(Engine& e, const Fields& f) { SFX(e, f.Number(1)); }
void RunSFY(Engine& e, const Fields& f) { SFY(e, f.Number(1)); }
void RunSFXR(Engine& e, const Fields& f) { SFXR(e, f.Number(1)); }
void RunSFYR(Engine& e, const Fields& f) { SFYR(e, f.Number(1)); }

void RunSetFont(Engine& e, const Fields& f) {
  const QString name = f.Text(1);
  const int32_t size = f.Number(2);
  const int32_t bold = f.Number(3);
  const int32_t italic = f.Number(4);
  SetFont(e, name, size, bold, italic);
}

void RunMoveXText(Engine& e, const Fields& f) {
  const int32_t x = f.Number(1);
  QString text = f.Text(2);
  const int32_t width = f.Number(3);
  const int32_t height = f.Number(4);
  const QString align = f.Text(5);
  const int32_t wrap = f.Number(6);
  MoveXText(e, x, std::move(text), width, height, align, wrap);
}

void RunSimplePrint(Engine& e, const Fields& f) { SimplePrint(e, f.Text(1)); }

void RunPrintText(Engine& e, const Fields& f) {
  const int32_t x = f.Number(1);
  const int32_t y = f.Number(2);
  QString text = f.Text(3);
  const int32_t width = f.Number(4);
  const int32_t height = f.Number(5);
  const QString align = f.Text(6);
  const int32_t wrap = f.Number(7);
  const QString mode = f.After() >= 8 ? f.Text(8) : QStringLiteral("-");
  PrintText(e, x, y, std::move(text), width, height, align, wrap, mode);
}

void RunDrawBox(Engine& e, const Fields& f) {
  const int32_t x = f.Number(1);
  const int32_t y = f.Number(2);
  const int32_t width = f.Number(3);
  const int32_t height = f.Number(4);
  const int32_t corner = f.Number(5);
  const int32_t border = f.Number(6);
  const QString colour = f.Text(7);
  const int16_t fill = f.Short(8);
  DrawBox(e, x, y, width, height, corner, border, colour, fill, 0);
}

void RunDrawLine(Engine& e, const Fields& f) {
  const int32_t x1 = f.Number(1);
  const int32_t y1 = f.Number(2);
  const int32_t x2 = f.Number(3);
  const int32_t y2 = f.Number(4);
  const int32_t width = f.Number(5);
  const QString colour = f.Text(6);
  const int32_t style = f.After() >= 7 ? f.Number(7) : 0;
  DrawLine(e, x1, y1, x2, y2, width, colour, style);
}

void RunSetForeColor(Engine& e, const Fields& f) { SetForeColor(e, f.Text(1)); }

void RunDrawImage(Engine& e, const Fields& f) {
  const QString path = f.Text(1);
  const int32_t x = f.Number(2);
  const int32_t y = f.Number(3);
  const int32_t width = f.Number(4);
  const int32_t height = f.Number(5);
  DrawImage(e, path, x, y, width, height);
}

void RunDrawGradient(Engine& e, const Fields& f) {
  const QString colour1 = f.Text(1);
  const QString colour2 = f.Text(2);
  const int32_t direction = f.Number(3);
  const int32_t x = f.Number(4);
  const int32_t y = f.Number(5);
  const int32_t width = f.Number(6);
  const int32_t height = f.Number(7);
  DrawGradient(e, colour1, colour2, direction, x, y, width, height);
}

// The command table, searched in this order; the first match runs.
constexpr std::array<Command, 26> kCommands{{
    {u"PDFNAME", 1, true, RunPdfName},
    {u"QRC", 1, true, RunQrc},
    {u"GF", 1, true, RunGetFile},
    {u"MSGBOX", 3, false, RunMsgBox},
    {u"PSZ", 3, true, RunPaperSize},
    {u"RPTPSZ", 3, true, RunPaperSize},
    {u"DEV", 1, true, RunDevice},
    {u"RPTDEV", 1, true, RunDevice},
    {u"MRG", 2, true, RunMargin},
    {u"NP", 0, true, RunNewPage},
    {u"SSD", 0, true, RunSimpleStartDoc},
    {u"SD", 3, true, RunStartDoc},
    {u"ED", 0, true, RunEndDoc},
    {u"SFX", 1, true, RunSFX},
    {u"SFY", 1, true, RunSFY},
    {u"SFXR", 1, true, RunSFXR},
    {u"SFYR", 1, true, RunSFYR},
    {u"SF", 4, true, RunSetFont},
    {u"MXT", 6, true, RunMoveXText},
    {u"SPR", 1, true, RunSimplePrint},
    {u"PT", 7, true, RunPrintText},
    {u"DB", 8, true, RunDrawBox},
    {u"DL", 6, true, RunDrawLine},
    {u"SFC", 1, true, RunSetForeColor},
    {u"DI", 5, true, RunDrawImage},
    {u"DG", 7, true, RunDrawGradient},
}};

constexpr std::u16string_view kPdfName = u"PDFNAME";

constexpr qsizetype LongestKeyword() {
  qsizetype n = 0;
  for (const Command& c : kCommands) n = std::max<qsizetype>(n, static_cast<qsizetype>(c.keyword.size()));
  return n;
}

// The keyword in upper case. Upper-casing never shortens a text, so a first
// field longer than the longest keyword matches nothing and is not converted;
// plain ASCII is upper-cased in place, anything else through the full Unicode
// mapping.
class UpperKeyword {
 public:
  explicit UpperKeyword(QStringView keyword) {
    if (keyword.size() > kLongest) return;
    bool ascii = true;
    for (qsizetype i = 0; i < keyword.size(); ++i) {
      const char16_t c = keyword[i].unicode();
      if (c >= 0x80) ascii = false;
      buffer_[i] = (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
    }
    if (ascii) {
      view_ = std::u16string_view(buffer_.data(), static_cast<size_t>(keyword.size()));
    } else {
      full_ = keyword.toString().toUpper();
      view_ = std::u16string_view(reinterpret_cast<const char16_t*>(full_.utf16()),
                                  static_cast<size_t>(full_.size()));
    }
    valid_ = true;
  }

  bool Is(std::u16string_view keyword) const { return valid_ && view_ == keyword; }

 private:
  static constexpr qsizetype kLongest = LongestKeyword();
  std::array<char16_t, kLongest> buffer_{};
  QString full_;
  std::u16string_view view_;
  bool valid_ = false;
};

void RunLine(Engine& e, QStringView line, bool pdfPass, bool pdfNameOnly, Fields& fields) {
  qsizetype lead = 0;
  while (lead < line.size() && line[lead] == u' ') ++lead;
  if (lead == line.size()) return;
  fields.Split(line.mid(lead));
  const UpperKeyword keyword(fields.Keyword());
  if (pdfNameOnly && !keyword.Is(kPdfName)) return;
  for (const Command& command : kCommands) {
    if (!keyword.Is(command.keyword)) continue;
    if (pdfPass && !command.inPdfPass) return;
    if (fields.After() < command.minFields) Raise(RuntimeError::SubscriptOutOfRange);
    command.run(e, fields);
    return;
  }
}

}  // namespace

QStringList SplitScriptLines(const QString& script) {
  QStringList lines;
  ForEachLine(script, [&](QStringView line) { lines.append(line.toString()); });
  return lines;
}

void ExecutePrintScript(Engine& e, const QString& script, int16_t pdfPass, int16_t pdfNameOnly) {
  Trap trap(Proc::ExecutePrintScript);
  Fields fields;
  // One step per script line, so a failing command is dropped on Ignore and the
  // line the error log names is the script's own line number.
  ForEachLine(script, [&](QStringView line) {
    trap.Step([&] { RunLine(e, line, pdfPass != 0, pdfNameOnly != 0, fields); });
  });
}

}  // namespace zarn
