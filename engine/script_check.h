#pragma once
// The script check for script authors: every line of a print script that the
// engine would skip or reject, found without running anything. It reads the
// script exactly as ParsePrint and ExecutePrintScript do (the same line split,
// command table, field types, conversions and repeat-section markers), so it
// reports what the client would do and nothing else.
#include <QList>
#include <QString>

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
  };
  qsizetype line = 0;  // 1-based, as the error log counts script lines
  Kind kind = Kind::UnknownKeyword;
  QString message;
};

// The kind as one word for listings ("unknown-keyword", "not-a-number" ...).
QString FindingKindName(ScriptFinding::Kind kind);

// The findings in line order; none for a script the engine runs as written.
QList<ScriptFinding> CheckPrintScript(const QString& script);

}  // namespace zarn
