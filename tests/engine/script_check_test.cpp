#include <gtest/gtest.h>

#include <QRegularExpression>

#include "engine/interpreter.h"
#include "engine/parse_print.h"
#include "engine/script_check.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/qstring_printer.h"

namespace zarn {
namespace {

using testing::EngineFixture;
using Kind = ScriptFinding::Kind;

// The error number a finding stands for in the interpreter's trap; 0 for a
// line that is skipped without one.
int32_t TrappedNumber(Kind kind) {
  switch (kind) {
    case Kind::MissingField:
    case Kind::TooManyValues:
      return 9;
    case Kind::NotANumber:
      return 13;
    case Kind::Overflow:
      return 6;
    default:
      return 0;
  }
}

// "line number" pairs the interpreter's own trap logged while the script ran.
QStringList InterpreterTraps(EngineFixture& f, qsizetype logBefore) {
  static const QRegularExpression location(QStringLiteral("Error (\\d+)\\t.*ExecutePrintScript\\tLine (\\d+)$"));
  QStringList traps;
  const QStringList log = f.trap.LogLines();
  for (qsizetype i = logBefore; i < log.size(); ++i) {
    const QRegularExpressionMatch m = location.match(log[i]);
    if (m.hasMatch()) traps << m.captured(2) + u' ' + m.captured(1);
  }
  return traps;
}

QStringList CheckedTraps(const QString& script) {
  QStringList traps;
  for (const ScriptFinding& finding : CheckPrintScript(script))
    if (TrappedNumber(finding.kind) != 0 && finding.kind != Kind::TooManyValues)
      traps << QString::number(finding.line) + u' ' + QString::number(TrappedNumber(finding.kind));
  return traps;
}

// Every command with every field count and a faulty value in every place: the
// check names exactly the lines and errors that running them traps.
TEST(ScriptCheck, AgreesWithTheInterpreterOnEveryCommandAndField) {
  const char* keywords[] = {"PDFNAME", "QRC", "GF", "MSGBOX", "PSZ", "RPTPSZ", "DEV", "RPTDEV", "MRG",
                            "NP",      "SSD", "SD", "ED",     "SFX", "SFY",    "SFXR", "SFYR", "SF",
                            "MXT",     "SPR", "PT", "DB",     "DL",  "SFC",    "DI",   "DG",   "NOPE"};
  const char* faults[] = {"x", "", "99999999999", "40000", "2.5", " 7 "};
  QString script;
  for (const char* keyword : keywords)
    for (int count = 0; count <= 9; ++count)
      for (int at = 0; at < count; ++at)
        for (const char* fault : faults) {
          QString line = QString::fromLatin1(keyword);
          for (int i = 0; i < count; ++i) line += u'|' + (i == at ? QString::fromLatin1(fault) : QStringLiteral("1"));
          script += line + QStringLiteral("\r\n");
        }
  EngineFixture f;
  const qsizetype before = f.trap.LogLines().size();
  ExecutePrintScript(f.engine, script, 0, 0);
  const QStringList ran = InterpreterTraps(f, before);
  EXPECT_GT(ran.size(), 1000);
  EXPECT_EQ(CheckedTraps(script), ran);
}

TEST(ScriptCheck, FindingsOfPlainAndRepeatScripts) {
  struct Row {
    const char* name;
    QString script;
    QStringList found;  // "line kind"
  } rows[] = {
      {"clean", "SD|P|A4|1\r\nPT|0|0|a|0|0|L|0\r\n\r\n  ED\r\n", {}},
      {"skipped lines", "FOO|1\r\n\tSD|P|A4|1\r\nSD |P|A4|1\r\n  # a comment|1\r\nED",
       {"1 unknown-keyword", "2 unknown-keyword", "3 unknown-keyword"}},
      {"markers the client looks for", "PDFONLY\r\nSD|P|A4|1\r\nED\r\n#REPRINT", {}},
      {"a lone LF stays in the line", "SD|P|A4|1\nPT|0|0|a|0|0|L|0\r\nED", {"1 not-a-number"}},
      {"repeat: template per record, data section",
       "SD|P|A4|1\r\nPT|#X#|0|#N#|0|0|L|0\r\nPDFONLY\r\nRPTFLD|#N#|#X#|#Q#|\r\nRPTDT|lost|1|\r\n"
       "RPTDT|Ann|1|\r\nRPTDT|Bob|b|\r\nSD|P|A4|1\r\nRPTDT|a|1|2||4|\r\nRPTPSZ|1|x|F|\r\nRPTDEV\r\n\r\n",
       {"2 not-a-number", "3 unknown-keyword", "5 never-read", "8 not-a-data-line",
        "9 too-many-values", "10 not-a-number", "11 missing-field"}},
      {"repeat: the last name lacks its closing bar", "SPR|#N#\r\nRPTFLD|#N#\r\n-\r\nRPTDT|Ann|\r\n",
       {"2 no-closing-bar", "4 too-many-values"}},
      {"warnings: lower-case paper and orientation, bars", "SD|p|a4|1\r\nSPR|#N#\r\nRPTFLD|#N#|\r\n-\r\nRPTDT|Ann\r\n"
       "RPTDEV|Office\r\nRPTPSZ|1|1|F|\r\nRPTED\r\n",
       {"1 lower-case", "1 lower-case", "5 no-closing-bar", "6 no-closing-bar"}},
      {"repeat: a name no record fills", "SPR|#N# #Q#\r\nRPTFLD|#N#|#Q#|\r\n-\r\nRPTDT|Ann|\r\n",
       {"2 unfilled-field"}},
      {"repeat without data", "SPR|#N#\r\nRPTFLD|#N#|\r\n-\r\n", {"2 no-data"}},
      {"repeat in a CR-only script has no data section", "SPR|#N#\rRPTFLD|#N#|\r-\rRPTDT|Ann|\r",
       {"2 no-data"}},
  };
  for (const Row& r : rows) {
    QStringList found;
    for (const ScriptFinding& f : CheckPrintScript(r.script))
      found << QString::number(f.line) + u' ' + FindingKindName(f.kind);
    EXPECT_EQ(found, r.found) << r.name;
  }
}

// "DEV": the check warns exactly where the engine, on the same printers, does
// not end up on the named printer, and names the printer it is on instead.
TEST(ScriptCheck, DeviceWarningsFollowTheEngine) {
  const QStringList lines = {"DEV|office", "DEV|PDF*", "DEV|PDF Writer", "DEV|default", "DEV|Nope",
                             "DEV|", "DEV|Office"};
  EngineFixture f;
  MachinePrinters printers;
  for (int i = 0; i < f.engine.printers.Count(); ++i) printers.names << f.engine.printers.DeviceName(i);
  printers.current = f.surface.DeviceName();
  QStringList onEngine;
  for (const QString& line : lines) {
    ExecutePrintScript(f.engine, line, 0, 0);
    onEngine << f.surface.DeviceName();
  }
  QStringList warned;
  for (const ScriptFinding& finding : CheckPrintScript(lines.join(QStringLiteral("\r\n")), &printers)) {
    ASSERT_EQ(finding.kind, Kind::PrinterNotExact);
    EXPECT_TRUE(finding.message.contains(u'"' + onEngine[finding.line - 1] + u'"')) << finding.message.toStdString();
    warned << QString::number(finding.line);
  }
  // 1 and 2 only pass the existence check, 5 fails it; 4 and 6 go back to
  // the printer before the last switch, which is there by its exact name.
  EXPECT_EQ(warned, QStringList({"1", "2", "5"}));
  EXPECT_EQ(onEngine, QStringList({"Office", "Office", "PDF Writer", "Office", "Office", "PDF Writer", "Office"}));
}

// A repeat script's template faults are those its records trap when run.
TEST(ScriptCheck, RepeatRecordsAgreeWithTheRunner) {
  const QString script =
      "SD|P|A4|1\r\nPT|#X#|0|#N#|0|0|L|0\r\nDB|0|0|1|1|0|0|#000000|#F#\r\nRPTFLD|#N#|#X#|#F#|\r\n-\r\n"
      "RPTDT|Ann|1|0|\r\nRPTDT|Bob|b|0|\r\nRPTDT|Cy|1|70000|\r\n";
  EngineFixture f;
  const qsizetype before = f.trap.LogLines().size();
  ParsePrint(f.engine, script, 0);
  EXPECT_EQ(InterpreterTraps(f, before), QStringList({"2 13", "3 6"}));
  EXPECT_EQ(CheckedTraps(script), QStringList({"2 13", "3 6"}));
}

}  // namespace
}  // namespace zarn
