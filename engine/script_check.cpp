#include "engine/script_check.h"

#include <QSet>
#include <algorithm>
#include <array>

#include "engine/document.h"
#include "engine/interpreter.h"
#include "engine/parse_print.h"
#include "errortrap/convert.h"
#include "errortrap/error.h"

namespace zarn {

namespace {

using Kind = ScriptFinding::Kind;

struct KindName {
  Kind kind;
  const char* name;
};
constexpr std::array kKindNames{
    KindName{Kind::UnknownKeyword, "unknown-keyword"}, KindName{Kind::MissingField, "missing-field"},
    KindName{Kind::NotANumber, "not-a-number"},        KindName{Kind::Overflow, "overflow"},
    KindName{Kind::OtherError, "error"},               KindName{Kind::UnfilledName, "unfilled-field"},
    KindName{Kind::TooManyValues, "too-many-values"},  KindName{Kind::NotADataLine, "not-a-data-line"},
    KindName{Kind::NeverRead, "never-read"},           KindName{Kind::NoData, "no-data"},
    KindName{Kind::CommentIsData, "comment-is-data"}, KindName{Kind::PrinterNotExact, "printer-not-exact"},
    KindName{Kind::LowerCase, "lower-case"},           KindName{Kind::NoClosingBar, "no-closing-bar"},
    KindName{Kind::OffPage, "off-page"},               KindName{Kind::NoGlyph, "no-glyph"},
    KindName{Kind::BreakThenAbove, "page-break-above"},
};

// A field as the author can read it: quoted, with line ends and tabs shown.
QString Shown(const QString& text) {
  QString out = text;
  out.replace(u'\\', QStringLiteral("\\\\"));
  out.replace(u'\r', QStringLiteral("\\r"));
  out.replace(u'\n', QStringLiteral("\\n"));
  out.replace(u'\t', QStringLiteral("\\t"));
  return u'"' + out + u'"';
}

// Blank for the repeat runner's purposes: nothing but spaces and a CR.
bool IsBlank(const QString& line) {
  return std::all_of(line.begin(), line.end(), [](QChar c) { return c == u' ' || c == u'\r'; });
}

bool IsComment(const QString& line) { return WithoutLeadingSpaces(line).startsWith(u'#'); }

// A data line by its look: a marker at its start.
bool LooksLikeDataLine(const QString& line) {
  return std::any_of(kDataMarkers.begin(), kDataMarkers.end(),
                     [&](const DataMarker& m) { return line.startsWith(QStringView(m.text)); });
}

QString TypeName(QChar type) {
  switch (type.unicode()) {
    case u'N':
    case u'L':
      return QStringLiteral("a number");
    case u'S':
      return QStringLiteral("a 16-bit number");
    case u'M':
      return QStringLiteral("millimetres");
    default:
      return QStringLiteral("a text");
  }
}

QString Trapped(int32_t error) {
  return QStringLiteral("; the client traps error %1 (%2) and, on Ignore, drops the line")
      .arg(error)
      .arg(RuntimeErrorText(static_cast<RuntimeError>(error)));
}

// The finding for a command line whose fields raise, or nothing.
bool DescribeTrapped(const LineCheck& c, Kind& kind, QString& message) {
  if (c.fate != LineCheck::Fate::Trapped) return false;
  const QString field = QStringLiteral("%1 field %2").arg(c.command).arg(c.field);
  switch (static_cast<RuntimeError>(c.error)) {
    case RuntimeError::SubscriptOutOfRange:
      kind = Kind::MissingField;
      if (c.required > c.present)
        message = QStringLiteral("%1 needs %2 field(s) after the keyword, the line has %3")
                      .arg(c.command)
                      .arg(c.required)
                      .arg(c.present);
      else
        message = QStringLiteral("%1 (%2) is missing").arg(field, TypeName(c.type));
      break;
    case RuntimeError::TypeMismatch:
      kind = Kind::NotANumber;
      message = QStringLiteral("%1 %2 is not a number").arg(field, Shown(c.text));
      break;
    case RuntimeError::Overflow: {
      kind = Kind::Overflow;
      // A short field whose value is a good 32-bit number overflows its 16 bits.
      bool fitsLong = true;
      try {
        FieldToLong(c.text);
      } catch (const ZarnError&) {
        fitsLong = false;
      }
      message = fitsLong && c.type == u'S'
                    ? QStringLiteral("%1 %2 does not fit 16 bits (-32768 to 32767)").arg(field, Shown(c.text))
                    : QStringLiteral("%1 %2 does not fit 32 bits").arg(field, Shown(c.text));
      break;
    }
    default:
      kind = Kind::OtherError;
      message = QStringLiteral("%1 %2 raises an error").arg(field, Shown(c.text));
      break;
  }
  message += Trapped(c.error);
  return true;
}

class Checker {
 public:
  Checker(const QString& script, const MachinePrinters* printers) : script_(script), printers_(printers) {
    if (printers_) current_ = printers_->current;
  }

  QList<ScriptFinding> Run() {
    const qsizetype repeatAt = script_.indexOf(kRepeatMarker);
    if (repeatAt >= 0) {
      CheckRepeat(repeatAt);
    } else {
      const QStringList lines = SplitScriptLines(script_);
      for (qsizetype i = 0; i < lines.size(); ++i) CheckLine(i + 1, lines.at(i), lines.at(i), QString());
    }
    std::stable_sort(found_.begin(), found_.end(),
                     [](const ScriptFinding& a, const ScriptFinding& b) { return a.line < b.line; });
    return found_;
  }

 private:
  // A finding once per line, however many records repeat it; detail is told
  // with its first report only.
  void Add(qsizetype line, Kind kind, const QString& message, const QString& detail = QString()) {
    const QString key = QString::number(line) + u'\x1f' + message;
    if (seen_.contains(key)) return;
    seen_.insert(key);
    found_.append({line, kind, message + detail});
  }

  // A line the interpreter runs; raw is the same line before a record's values
  // were put in, record names that record's data line.
  void CheckLine(qsizetype number, const QString& line, const QString& raw, const QString& record) {
    const LineCheck c = CheckScriptLine(line);
    Kind kind;
    QString message;
    if (c.fate == LineCheck::Fate::Skipped) {
      if (IsMarkerLine(line)) return;
      kind = Kind::UnknownKeyword;
      message = QStringLiteral("%1 is no command; the line is skipped without a message").arg(Shown(c.keyword));
      if (line.contains(kPdfOnlyMarker)) message += QStringLiteral(" (PDFONLY has no effect in a repeat script; a PDFMERGE line sends the records to PDF files)");
    } else if (c.fate == LineCheck::Fate::Runs) {
      WarnAboutRun(number, c.command, WithoutLeadingSpaces(line).split(u'|'));
      return;
    } else if (!DescribeTrapped(c, kind, message)) {
      return;
    }
    const QString detail =
        !record.isEmpty() && line != raw ? QStringLiteral(" (with the values of ") + record + u')' : QString();
    Add(number, kind, message, detail);
  }

  // A command that runs, but perhaps not as meant.
  void WarnAboutRun(qsizetype number, const QString& command, const QStringList& fields) {
    if (command == u"SD") {
      const QString orientation = fields.value(1), paper = fields.value(2);
      if (paper == u"a4" || paper == u"a5")
        Add(number, Kind::LowerCase,
            QStringLiteral("SD paper %1 is not \"%2\": paper names are matched in capitals, so the paper is left as "
                           "it was (and the page bottom for automatic page breaks is not the A4 one)")
                .arg(Shown(paper), paper.toUpper()));
      if (orientation == u"p" || orientation == u"l")
        Add(number, Kind::LowerCase,
            QStringLiteral("SD orientation %1 is not \"%2\": it is matched in capitals, so the orientation is left "
                           "as it was")
                .arg(Shown(orientation), orientation.toUpper()));
    } else if (command == u"DEV" || command == u"RPTDEV") {
      FollowDevice(number, command, fields.value(1));
    }
  }

  // DeviceName and SetPrinter on this machine's printers: the existence check
  // ignores case and takes patterns, the switch needs the exact name.
  void FollowDevice(qsizetype number, const QString& command, QString name) {
    if (!printers_) return;
    const QString given = name;
    if (name.isEmpty() || name.toLower() == u"default") name = lastDevice_;
    const QString pattern = name.toLower();
    const bool exists = std::any_of(printers_->names.begin(), printers_->names.end(),
                                    [&](const QString& p) { return MatchesPattern(p.toLower(), pattern); });
    if (exists) {
      lastDevice_ = current_;
      if (printers_->names.contains(name)) {
        current_ = name;
        return;
      }
    }
    QString message = QStringLiteral("%1 %2 matches no printer here exactly, so the job goes on printing on %3")
                          .arg(command, Shown(given), Shown(current_));
    message += exists ? QStringLiteral(" (a printer matches it ignoring case or as a pattern: that only checks that "
                                       "one exists; the switch needs the exact name)")
                      : QStringLiteral(" (the run log gets %1)")
                            .arg(Shown(QStringLiteral("MESSAGE :Device '") + name + QStringLiteral("' not exists!")));
    if (name.endsWith(u'\r'))
      message += QStringLiteral("; the name ends in the CR of its line: end the line with \"|\"");
    Add(number, Kind::PrinterNotExact, message + QStringLiteral("; printers here: ") + printers_->names.join(u", "));
  }

  // A CR LF field or data line whose last field keeps the line's CR.
  void WarnNoClosingBar(qsizetype number, const QString& line, const QString& what) {
    if (!line.endsWith(u'\r') || line.endsWith(QStringLiteral("|\r")) || !line.contains(u'|')) return;
    Add(number, Kind::NoClosingBar,
        QStringLiteral("this %1 line does not end with \"|\": its last field keeps the CR of the line end%2; "
                       "end the line with \"|\"")
            .arg(what, what == u"RPTFLD" ? QStringLiteral(", so that name only matches at the end of a template line")
                                        : QStringLiteral(", so that value is not the one written")));
  }

  // Lines the interpreter skips on purpose: the PDF-only marker, and lines
  // that begin with "#", which scripts use as comments (the job flow's
  // "#REPRINT" among them).
  bool IsMarkerLine(const QString& line) const {
    if (!repeat_ && line.contains(kPdfOnlyMarker)) return true;
    if (repeat_ && WithoutLeadingSpaces(line).section(u'|', 0, 0).toUpper() == kPdfMergeMarker) return true;
    return IsComment(line);
  }

  void CheckRepeat(qsizetype markerAt) {
    repeat_ = true;
    // Cut as the repeat runner cuts it: the template before the marker, the
    // rest up to a second marker split at LF; rest line 0 is the field line, line 1 is never read.
    const QString templateText = script_.left(markerAt);
    const QStringList templateLines = SplitScriptLines(templateText);
    const QStringList rest = RepeatRest(script_, markerAt);
    const QStringList fieldNames = (kRepeatMarker.toString() + rest.value(0)).split(u'|');
    const qsizetype fieldLine = std::max<qsizetype>(1, templateLines.size());
    WarnNoClosingBar(fieldLine, rest.value(0), QStringLiteral("RPTFLD"));

    qsizetype mostValues = 0;
    bool anyRecord = false;
    for (qsizetype i = 1; i < rest.size(); ++i) {
      const QString line = WithoutLeadingSpaces(rest.at(i));
      const qsizetype number = fieldLine + i;
      if (line.isEmpty() || IsBlank(line)) continue;
      bool marked = false;
      for (const DataMarker& marker : kDataMarkers) marked = marked || line.contains(QStringView(marker.text));
      if (IsComment(line) && !marked) continue;
      if (i == 1) {
        if (LooksLikeDataLine(line))
          Add(number, Kind::NeverRead,
              QStringLiteral("the line right after the RPTFLD line is never read; this data line has no effect"));
        continue;
      }
      if (IsComment(line))
        Add(number, Kind::CommentIsData,
            QStringLiteral("this comment holds a marker (RPTDT, RPTED, RPTDEV, RPTPSZ or RPTPSM): the repeat runner "
                           "acts on it like a data line"));
      if (!marked) {
        Add(number, Kind::NotADataLine,
            QStringLiteral("no RPTDT, RPTED, RPTDEV, RPTPSZ or RPTPSM on this data-section line: it is ignored, "
                           "commands do not run here"));
        continue;
      }
      for (const DataMarker& marker : kDataMarkers) {
        if (!line.contains(QStringView(marker.text))) continue;
        const QString markerName = QString::fromUtf16(marker.text.data(), static_cast<qsizetype>(marker.text.size()));
        if (marker.action != DataAction::EndDocument)
          WarnNoClosingBar(number, line, marker.action == DataAction::PrintRecord ? markerName + QStringLiteral(" data") : markerName);
        if (marker.action == DataAction::PrintRecord) {
          anyRecord = true;
          const QStringList values = line.split(u'|');
          // An empty last value (after a closing "|") gives no field a value.
          const qsizetype given = values.size() - 1 - (values.size() > 1 && IsBlank(values.last()) ? 1 : 0);
          mostValues = std::max(mostValues, given);
          CheckRecord(number, templateLines, templateText, fieldNames, values);
        } else if (marker.action != DataAction::PrintRecord && marker.action != DataAction::EndDocument) {
          Kind kind;
          QString message;
          const LineCheck c = CheckCommandFields(marker.text, line);
          if (DescribeTrapped(c, kind, message))
            Add(number, kind, message);
          else if (marker.action == DataAction::SelectDevice)
            FollowDevice(number, c.command, line.split(u'|').value(1));
        }
      }
    }
    if (!anyRecord) {
      Add(fieldLine, Kind::NoData,
          QStringLiteral("the repeat section has no RPTDT data line from the second line after RPTFLD on: "
                         "the template is never printed"));
      return;
    }
    for (qsizetype j = 1; j < fieldNames.size(); ++j) {
      if (IsBlank(fieldNames.at(j)) || j <= mostValues) continue;
      Add(fieldLine, Kind::UnfilledName,
          QStringLiteral("field name %1 (position %2) gets a value from no data line")
              .arg(Shown(fieldNames.at(j)))
              .arg(j));
    }
  }

  void CheckRecord(qsizetype number, const QStringList& templateLines, const QString& templateText,
                   const QStringList& fieldNames, const QStringList& values) {
    QString filled = templateText;
    try {
      FillRecord(filled, fieldNames, values);
    } catch (const ZarnError& error) {
      QString message = QStringLiteral("RPTDT has %1 value(s) but RPTFLD names only %2 field(s)")
                            .arg(values.size() - 1)
                            .arg(fieldNames.size() - 1);
      if (IsBlank(values.last()) && !IsBlank(fieldNames.last()))
        message += QStringLiteral(" (the last value is the empty text after a closing \"|\" that the RPTFLD line lacks)");
      Add(number, Kind::TooManyValues,
          message + QStringLiteral("; the client traps error %1 (%2); on Ignore the record prints with the names "
                                   "filled so far")
                        .arg(error.number())
                        .arg(error.description()));
    }
    const QStringList lines = SplitScriptLines(filled);
    const QString record = QStringLiteral("the data line %1").arg(number);
    for (qsizetype i = 0; i < lines.size(); ++i)
      CheckLine(i + 1, lines.at(i), templateLines.value(i), record);
  }

  const QString& script_;
  const MachinePrinters* printers_;
  QString current_, lastDevice_;  // the printer the run is on, and LastDeviceName
  bool repeat_ = false;
  QList<ScriptFinding> found_;
  QSet<QString> seen_;
};

}  // namespace

QString FindingKindName(Kind kind) {
  for (const KindName& k : kKindNames)
    if (k.kind == kind) return QString::fromLatin1(k.name);
  return QStringLiteral("finding");
}

bool IsWarning(Kind kind) {
  return kind == Kind::PrinterNotExact || kind == Kind::LowerCase || kind == Kind::NoClosingBar ||
         kind == Kind::OffPage || kind == Kind::NoGlyph || kind == Kind::BreakThenAbove;
}

QList<ScriptFinding> CheckPrintScript(const QString& script, const MachinePrinters* printers) {
  return Checker(script, printers).Run();
}

}  // namespace zarn
