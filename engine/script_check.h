#pragma once
// The script check for script authors: every line of a print script that the
// engine would skip or reject, found without running anything. It reads the
// script exactly as ParsePrint and ExecutePrintScript do (the same line split,
// command table, field types, conversions and repeat-section markers), so it
// reports what the client would do and nothing else.
#include <QList>
#include <QString>
#include <QStringList>

namespace zarn {

struct ScriptFinding {
  enum class Kind {
    UnknownKeyword,  // skipped without a message
    MissingField,    // error 9 in the trap
    NotANumber,      // error 13
    Overflow,        // error 6: outside 32 bits, or 16 for a short field
    OtherError,      // any other error a field raises
    UnfilledName,    // a repeat field name that no data line fills
    TooManyValues,   // a data line with more values than field names: error 9
    NotADataLine,    // a data-section line without a marker: ignored
    NeverRead,       // a data line right after the field line: never looked at
    NoData,          // a repeat section without a data line: nothing prints
    CommentIsData,   // a "#" line of the data section that holds a marker
    // Warnings: lines that run, but not as their author may think.
    PrinterNotExact,  // a DEV name that no printer here has exactly: no switch
    LowerCase,        // SD paper or orientation in lower case: left as it was
    NoClosingBar,     // a CR LF field or data line without its closing "|"
    // Found by running the script (zarn-render --check):
    OffPage,          // drawn outside the printable page: lost
    NoGlyph,          // a character no installed font has: a blank box
    BreakThenAbove,   // the page bottom turned the page, then SFY placed output on the new one
  };
  qsizetype line = 0;  // 1-based, as the error log counts script lines
  Kind kind = Kind::UnknownKeyword;
  QString message;
};

// The kind as one word for listings ("unknown-keyword", "not-a-number" ...).
QString FindingKindName(ScriptFinding::Kind kind);

// Whether a kind is a warning rather than a skipped or rejected line.
bool IsWarning(ScriptFinding::Kind kind);

// The printers of this machine, in the client's list order, and the one a
// job starts on.
struct MachinePrinters {
  QStringList names;
  QString current;
};

// The findings in line order; none for a script the engine runs as written.
// With printers, "DEV" and "RPTDEV" names are followed through the run.
QList<ScriptFinding> CheckPrintScript(const QString& script, const MachinePrinters* printers = nullptr);

}  // namespace zarn
