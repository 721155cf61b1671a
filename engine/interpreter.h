#pragma once
// The print script interpreter: lines, fields, keywords, dispatch.
#include <QString>
#include <QStringList>
#include <QStringView>
#include <cstdint>
#include <string_view>

#include "engine/engine.h"
#include "engine/script_fields.h"

namespace zarn {

// Executes the script line by line. pdfPass: this is the PDF copy run (no
// message boxes). pdfNameOnly: only PDFNAME lines run.
void ExecutePrintScript(Engine& e, const QString& script, int16_t pdfPass, int16_t pdfNameOnly);

// The script's lines: split at CR LF, else CR, else LF, chosen once.
QStringList SplitScriptLines(const QString& script);

// What the printer run of ExecutePrintScript does with one line, found out
// without running it: the same split, keyword, command table and conversions.
struct LineCheck {
  enum class Fate {
    Blank,    // empty or only spaces: skipped
    Skipped,  // no command of the table: skipped without a message
    Runs,     // the command runs with every field it reads converted
    Trapped,  // a field raises an error in the interpreter's trap
  };
  Fate fate = Fate::Blank;
  QString keyword;     // the first field as written
  QString command;     // the table's keyword it matched (Runs, Trapped)
  QString fieldTypes;  // that command's type letters (engine/script_fields.h)
  // Trapped: the run-time error (9 missing field, 13 no number, 6 overflow),
  // the field it concerns (1 = the first after the keyword), that field's type
  // letter and text (empty when the line lacks it), the fields the line has
  // after its keyword and, when the count is checked first, those it needs.
  int32_t error = 0;
  qsizetype field = 0;
  QChar type;
  QString text;
  qsizetype present = 0;
  qsizetype required = 0;
};
LineCheck CheckScriptLine(QStringView line);

// One row of the command table, as script authors are told it.
struct CommandInfo {
  QString keyword;
  QString fieldTypes;      // type letters (engine/script_fields.h)
  QStringList fieldNames;  // one per field after the keyword, in order
  bool inPdfCopy = true;   // false: the PDF copy run skips the line
};
// The table in its search order.
QList<CommandInfo> CommandTable();

// The type letters of a command in the table; std::logic_error for a keyword
// that is not there.
std::u16string_view CommandFieldTypes(std::u16string_view keyword);

// A whole line split at "|" and its fields 1.. converted by the table row of
// keyword, left to right, with no count check first: the repeat runner reads
// its RPTDEV and RPTPSZ data lines so. Raises as ConvertFields does.
void ReadCommandFields(std::u16string_view keyword, QStringView line, Fields& fields, FieldArgs& args);
// The same, reported instead of raised.
LineCheck CheckCommandFields(std::u16string_view keyword, QStringView line);

}  // namespace zarn
