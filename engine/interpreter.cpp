#include "engine/interpreter.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string_view>

#include "engine/coordinates.h"
#include "engine/document.h"
#include "engine/drawing.h"
#include "engine/fonts.h"
#include "engine/pictures.h"
#include "engine/script_fields.h"
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

// A command's handler gets its fields converted by the command's table row,
// left to right, so the first faulty field from the left is the one reported.
using Handler = void (*)(Engine&, const FieldArgs&);

struct Command {
  std::u16string_view keyword;
  std::u16string_view fields;  // field type letters (engine/script_fields.h)
  std::string_view names;      // one name per field, blank-separated, for script authors
  bool inPdfPass;              // false: the PDF copy run skips the line
  Handler run;
};

void RunPdfName(Engine& e, const FieldArgs& f) {
  PrintState& s = e.state;
  const qsizetype n = f.Count();
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
  if (e.PdfDocumentName) e.PdfDocumentName(s.PdfFileName, s.PdfSubFolder);
}

// The numbers are read once the picture is saved, so a faulty one still leaves
// this line's code in qrcode.bmp. Without a QR maker they are read all the same.
void RunQrc(Engine& e, const FieldArgs& f) {
  if (f.View(1).isEmpty()) return;
  const QString text = f.Text(1);
  const auto place = [&f] { return PicturePlace{f.Long(2), f.Long(3), f.Long(4), f.Long(5)}; };
  if (e.QRC)
    e.QRC(text, place);
  else
    place();
}

void RunGetFile(Engine& e, const FieldArgs& f) {
  if (f.View(1).isEmpty()) return;
  const QString url = f.Text(1);
  const QString path = f.Text(2);
  GetFile(e, url, path);
}

void RunMsgBox(Engine& e, const FieldArgs& f) {
  const QString title = f.Text(1);
  const QString text = f.Text(2) + QStringLiteral("\r\n") + f.Text(3);
  // A script may show a box or two; from the third on the user can end a
  // flood of them, and the job with it.
  constexpr int kBoxesBeforeStop = 2;
  if (++e.messageBoxes <= kBoxesBeforeStop) e.dialogs.Message(title, text);
  else if (e.dialogs.MessageOrStop(title, text)) throw JobStopped{};
}

void RunPaperSize(Engine& e, const FieldArgs& f) {
  int32_t width = f.Long(1);
  int32_t height = f.Long(2);
  QString name = f.Text(3);
  if (e.PaperSize) e.PaperSize(width, height, name);
}

void RunPaperSizeMm(Engine& e, const FieldArgs& f) {
  int32_t width = f.Tenths(1);
  int32_t height = f.Tenths(2);
  QString name = f.Text(3);
  if (e.PaperSizeMm) e.PaperSizeMm(width, height, name);
}

void RunDevice(Engine& e, const FieldArgs& f) { DeviceName(e, f.Text(1)); }

void RunMargin(Engine& e, const FieldArgs& f) {
  const int32_t top = f.Long(1);
  const int32_t left = f.Long(2);
  SetMargin(e, top, left);
}

void RunNewPage(Engine& e, const FieldArgs&) { NewPage(e); }
void RunSimpleStartDoc(Engine& e, const FieldArgs&) { SimpleStartDoc(e); }

void RunStartDoc(Engine& e, const FieldArgs& f) {
  const QString orientation = f.Text(1);
  const QString paper = f.Text(2);
  const int32_t copies = f.Long(3);
  StartDoc(e, orientation, paper, copies);
}

void RunEndDoc(Engine& e, const FieldArgs&) { EndDoc(e); }
// Only noted here: the job flow reports to the address when the job has ended.
void RunStatus(Engine& e, const FieldArgs& f) { e.state.StatusAddress = f.Text(1); }
void RunSFX(Engine& e, const FieldArgs& f) { SFX(e, f.Long(1)); }
void RunSFY(Engine& e, const FieldArgs& f) { SFY(e, f.Long(1)); }
void RunSFXR(Engine& e, const FieldArgs& f) { SFXR(e, f.Long(1)); }
void RunSFYR(Engine& e, const FieldArgs& f) { SFYR(e, f.Long(1)); }

void RunSetFont(Engine& e, const FieldArgs& f) {
  const QString name = f.Text(1);
  const int32_t size = f.Long(2);
  const int32_t bold = f.Long(3);
  const int32_t italic = f.Long(4);
  SetFont(e, name, size, bold, italic);
}

void RunMoveXText(Engine& e, const FieldArgs& f) {
  const int32_t x = f.Long(1);
  QString text = f.Text(2);
  const int32_t width = f.Long(3);
  const int32_t height = f.Long(4);
  const QString align = f.Text(5);
  const int32_t wrap = f.Long(6);
  MoveXText(e, x, std::move(text), width, height, align, wrap);
}

void RunSimplePrint(Engine& e, const FieldArgs& f) { SimplePrint(e, f.Text(1)); }

void RunPrintText(Engine& e, const FieldArgs& f) {
  const int32_t x = f.Long(1);
  const int32_t y = f.Long(2);
  QString text = f.Text(3);
  const int32_t width = f.Long(4);
  const int32_t height = f.Long(5);
  const QString align = f.Text(6);
  const int32_t wrap = f.Long(7);
  const QString mode = f.Has(8) ? f.Text(8) : QStringLiteral("-");
  PrintText(e, x, y, std::move(text), width, height, align, wrap, mode);
}

void RunDrawBox(Engine& e, const FieldArgs& f) {
  const int32_t x = f.Long(1);
  const int32_t y = f.Long(2);
  const int32_t width = f.Long(3);
  const int32_t height = f.Long(4);
  const int32_t corner = f.Long(5);
  const int32_t border = f.Long(6);
  const QString colour = f.Text(7);
  const int16_t fill = f.Short(8);
  DrawBox(e, x, y, width, height, corner, border, colour, fill, 0);
}

void RunDrawLine(Engine& e, const FieldArgs& f) {
  const int32_t x1 = f.Long(1);
  const int32_t y1 = f.Long(2);
  const int32_t x2 = f.Long(3);
  const int32_t y2 = f.Long(4);
  const int32_t width = f.Long(5);
  const QString colour = f.Text(6);
  const int32_t style = f.Has(7) ? f.Long(7) : 0;
  DrawLine(e, x1, y1, x2, y2, width, colour, style);
}

void RunSetForeColor(Engine& e, const FieldArgs& f) { SetForeColor(e, f.Text(1)); }

void RunDrawImage(Engine& e, const FieldArgs& f) {
  const QString path = f.Text(1);
  const int32_t x = f.Long(2);
  const int32_t y = f.Long(3);
  const int32_t width = f.Long(4);
  const int32_t height = f.Long(5);
  DrawImage(e, path, x, y, width, height);
}

void RunDrawGradient(Engine& e, const FieldArgs& f) {
  const QString colour1 = f.Text(1);
  const QString colour2 = f.Text(2);
  const int32_t direction = f.Long(3);
  const int32_t x = f.Long(4);
  const int32_t y = f.Long(5);
  const int32_t width = f.Long(6);
  const int32_t height = f.Long(7);
  DrawGradient(e, colour1, colour2, direction, x, y, width, height);
}

// The command table, searched in this order; the first match runs. The type
// letters say how each field after the keyword is read (engine/script_fields.h).
constexpr std::array<Command, 29> kCommands{{
    {u"PDFNAME", u"T/TT", "subfolder name unused", true, RunPdfName},
    {u"QRC", u"ELLLL", "text x y width height", true, RunQrc},
    {u"GF", u"ET", "url file", true, RunGetFile},
    {u"MSGBOX", u"TTT", "title line1 line2", false, RunMsgBox},
    {u"PSZ", u"NNT", "width height form", true, RunPaperSize},
    {u"RPTPSZ", u"NNT", "width height form", true, RunPaperSize},
    {u"DEV", u"T", "printer", true, RunDevice},
    {u"RPTDEV", u"T", "printer", true, RunDevice},
    {u"MRG", u"NN", "top left", true, RunMargin},
    {u"NP", u"", "", true, RunNewPage},
    {u"SSD", u"", "", true, RunSimpleStartDoc},
    {u"SD", u"TTN", "orientation paper copies", true, RunStartDoc},
    {u"ED", u"", "", true, RunEndDoc},
    {u"SFX", u"N", "x", true, RunSFX},
    {u"SFY", u"N", "y", true, RunSFY},
    {u"SFXR", u"N", "dx", true, RunSFXR},
    {u"SFYR", u"N", "dy", true, RunSFYR},
    {u"SF", u"TNNN", "font size bold italic", true, RunSetFont},
    {u"MXT", u"NTNNTN", "x text width height align wrap", true, RunMoveXText},
    {u"SPR", u"T", "text", true, RunSimplePrint},
    {u"PT", u"NNTNNTN/T", "x y text width height align wrap mode", true, RunPrintText},
    {u"DB", u"NNNNNNTS", "x y width height corner border colour fill", true, RunDrawBox},
    {u"DL", u"NNNNNT/N", "x1 y1 x2 y2 width colour style", true, RunDrawLine},
    {u"SFC", u"T", "colour", true, RunSetForeColor},
    {u"DI", u"TNNNN", "file x y width height", true, RunDrawImage},
    {u"DG", u"TTNNNNN", "colour1 colour2 direction x y width height", true, RunDrawGradient},
    {u"STATUS", u"T", "address", true, RunStatus},
    // Paper in millimetres, one decimal: keywords the original client does not
    // know, so there a script keeps printing on the paper it had.
    {u"PSM", u"MMT", "width height form", true, RunPaperSizeMm},
    {u"RPTPSM", u"MMT", "width height form", true, RunPaperSizeMm},
}};

// Every field of a row has its name.
constexpr bool NamesMatchFields(const Command& c) {
  qsizetype letters = 0, names = 0;
  for (const char16_t t : c.fields) letters += t != u'/';
  bool inName = false;
  for (const char ch : c.names) {
    if (ch != ' ' && !inName) ++names;
    inName = ch != ' ';
  }
  return letters == names;
}
static_assert(std::all_of(kCommands.begin(), kCommands.end(), NamesMatchFields),
              "a command table row names more or fewer fields than it reads");

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

// What a line comes to before anything runs.
enum class Found { Blank, Skipped, NotInThisRun, Ready };

const Command* FindCommand(const UpperKeyword& keyword) {
  for (const Command& command : kCommands)
    if (keyword.Is(command.keyword)) return &command;
  return nullptr;
}

// Splits the line, finds its command and converts the command's fields; the
// first faulty field raises. Execution and the script check both come here.
Found PrepareLine(QStringView line, bool pdfPass, bool pdfNameOnly, Fields& fields, FieldArgs& args,
                  const Command*& command, bool checking = false) {
  command = nullptr;
  qsizetype lead = 0;
  while (lead < line.size() && line[lead] == u' ') ++lead;
  if (lead == line.size()) return Found::Blank;
  fields.Split(line.mid(lead));
  const UpperKeyword keyword(fields.Keyword());
  if (pdfNameOnly && !keyword.Is(kPdfName)) return Found::NotInThisRun;
  command = FindCommand(keyword);
  if (!command) return Found::Skipped;
  if (pdfPass && !command->inPdfPass) return Found::NotInThisRun;
  if (fields.After() < RequiredFields(command->fields)) Raise(RuntimeError::SubscriptOutOfRange);
  ConvertFields(command->fields, fields, args, checking);
  return Found::Ready;
}

void RunLine(Engine& e, QStringView line, bool pdfPass, bool pdfNameOnly, Fields& fields, FieldArgs& args) {
  const Command* command = nullptr;
  if (PrepareLine(line, pdfPass, pdfNameOnly, fields, args, command) == Found::Ready) command->run(e, args);
}

// The letter of field i in a type string, 0 past its end.
char16_t TypeOfField(std::u16string_view types, qsizetype i) {
  qsizetype at = 0;
  for (const char16_t t : types) {
    if (t == u'/') continue;
    if (++at == i) return t;
  }
  return 0;
}

// Fills in a trapped line's error and the field it concerns.
void DescribeFault(LineCheck& check, const ZarnError& error, std::u16string_view types, const Fields& fields,
                   const FieldArgs& args, bool countedFirst) {
  check.fate = LineCheck::Fate::Trapped;
  check.error = error.number();
  check.present = fields.After();
  check.required = countedFirst ? RequiredFields(types) : 0;
  // A missing field found by the count check is the first one the line lacks;
  // otherwise conversion stopped right after the fields it had converted.
  const bool short_ = error.number() == static_cast<int32_t>(RuntimeError::SubscriptOutOfRange) && countedFirst &&
                      fields.After() < check.required;
  check.field = short_ ? fields.After() + 1 : args.Count() + 1;
  check.type = QChar(TypeOfField(types, check.field));
  if (check.field <= fields.After()) check.text = fields.View(check.field).toString();
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
  FieldArgs args;
  // One step per script line, so a failing command is dropped on Ignore and the
  // line the error log names is the script's own line number.
  int number = 0;
  ForEachLine(script, [&](QStringView line) {
    e.line = ++number;
    trap.StepAtLine(number, [&] { RunLine(e, line, pdfPass != 0, pdfNameOnly != 0, fields, args); });
  });
}

LineCheck CheckScriptLine(QStringView line) {
  LineCheck check;
  Fields fields;
  FieldArgs args;
  const Command* command = nullptr;
  try {
    switch (PrepareLine(line, false, false, fields, args, command, true)) {
      case Found::Blank:
        check.fate = LineCheck::Fate::Blank;
        return check;
      case Found::Skipped:
      case Found::NotInThisRun:
        check.fate = LineCheck::Fate::Skipped;
        break;
      case Found::Ready:
        check.fate = LineCheck::Fate::Runs;
        break;
    }
  } catch (const ZarnError& error) {
    DescribeFault(check, error, command->fields, fields, args, true);
  }
  check.keyword = fields.Keyword().toString();
  if (command) {
    check.command = QString::fromUtf16(command->keyword.data(), static_cast<qsizetype>(command->keyword.size()));
    check.fieldTypes = QString::fromUtf16(command->fields.data(), static_cast<qsizetype>(command->fields.size()));
  }
  return check;
}

QList<CommandInfo> CommandTable() {
  QList<CommandInfo> table;
  for (const Command& c : kCommands) {
    CommandInfo info;
    info.keyword = QString::fromUtf16(c.keyword.data(), static_cast<qsizetype>(c.keyword.size()));
    info.fieldTypes = QString::fromUtf16(c.fields.data(), static_cast<qsizetype>(c.fields.size()));
    info.fieldNames = QString::fromLatin1(c.names.data(), static_cast<qsizetype>(c.names.size()))
                          .split(u' ', Qt::SkipEmptyParts);
    info.inPdfCopy = c.inPdfPass;
    table.append(info);
  }
  return table;
}

std::u16string_view CommandFieldTypes(std::u16string_view keyword) {
  for (const Command& command : kCommands)
    if (command.keyword == keyword) return command.fields;
  throw std::logic_error("no such command in the table");
}

void ReadCommandFields(std::u16string_view keyword, QStringView line, Fields& fields, FieldArgs& args) {
  fields.Split(line);
  ConvertFields(CommandFieldTypes(keyword), fields, args);
}

LineCheck CheckCommandFields(std::u16string_view keyword, QStringView line) {
  LineCheck check;
  Fields fields;
  FieldArgs args;
  const std::u16string_view types = CommandFieldTypes(keyword);
  check.fate = LineCheck::Fate::Runs;
  check.command = QString::fromUtf16(keyword.data(), static_cast<qsizetype>(keyword.size()));
  check.fieldTypes = QString::fromUtf16(types.data(), static_cast<qsizetype>(types.size()));
  try {
    ReadCommandFields(keyword, line, fields, args);
  } catch (const ZarnError& error) {
    DescribeFault(check, error, types, fields, args, false);
  }
  check.keyword = fields.Keyword().toString();
  return check;
}

}  // namespace zarn
