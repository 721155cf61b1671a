#include <gtest/gtest.h>

#include "engine/interpreter.h"
#include "errortrap/error.h"
#include "tests/support/engine_fixture.h"

namespace zarn {
namespace {

using testing::EngineFixture;

QStringList RunScript(EngineFixture& f, const QString& script, int16_t pdfPass = 0, int16_t pdfNameOnly = 0) {
  f.surface.Take();
  ExecutePrintScript(f.engine, script, pdfPass, pdfNameOnly);
  return f.surface.Take();
}

TEST(ScriptLines, BreakIsChosenOnceForTheWholeScript) {
  struct Row {
    const char* name;
    QString script;
    QStringList lines;
  } rows[] = {
      {"crlf", "a\r\nb\r\nc", {"a", "b", "c"}},
      {"cr", "a\rb\rc", {"a", "b", "c"}},
      {"lf", "a\nb\nc", {"a", "b", "c"}},
      {"crlf wins over lone lf", "a\r\nb\nc", {"a", "b\nc"}},
      {"crlf wins over lone cr", "a\r\r\nb", {"a\r", "b"}},
      {"cr wins over lf", "a\rb\nc", {"a", "b\nc"}},
      {"lf then cr is no crlf", "a\n\rb", {"a\n", "b"}},
      {"single line", "abc", {"abc"}},
      {"final break leaves an empty line", "a\r\n", {"a", ""}},
      {"empty script", "", {}},
  };
  for (const Row& r : rows) EXPECT_EQ(SplitScriptLines(r.script), r.lines) << r.name;
}

TEST(Interpreter, LineEndsOfEveryKindRunAlike) {
  const QStringList breaks = {"\r\n", "\r", "\n"};
  QStringList first;
  for (const QString& br : breaks) {
    EngineFixture f;
    const QStringList calls = RunScript(f, "SD|P|A4|1" + br + "SPR|one" + br + "SPR|two" + br + "ED");
    if (first.isEmpty()) first = calls;
    EXPECT_EQ(calls, first);
  }
  EXPECT_TRUE(first.contains("Print 0 200 one"));
  EXPECT_EQ(first.last(), "EndDoc");
}

TEST(Interpreter, KeywordsLeadingSpacesAndNumbers) {
  struct Row {
    const char* line;
    int32_t top, left;  // margins afterwards (they start at 7 and 8)
    QStringList errors;
  } rows[] = {
      {"MRG|10.5|20", 10, 20, {}},
      {"MRG|11.5|20", 12, 20, {}},
      {"MRG| -3 |+4", -3, 4, {}},
      {"mrg|1|2", 1, 2, {}},
      {"   MRG|1|2", 1, 2, {}},
      {"\tMRG|1|2", 7, 8, {}},
      {"MRG |1|2", 7, 8, {}},
      {"MRG||20", 7, 8, {"13 Type mismatch"}},
      {"MRG|x|20", 7, 8, {"13 Type mismatch"}},
      {"MRG|2147483648|20", 7, 8, {"6 Overflow"}},
      {"MRG|1", 7, 8, {"9 Subscript out of range"}},
      {"MRG|1|2|extra|fields", 1, 2, {}},
      {"#REPRINT", 7, 8, {}},
      {"    ", 7, 8, {}},
  };
  for (const Row& r : rows) {
    EngineFixture f;
    f.state.MarginTop = 7;
    f.state.MarginLeft = 8;
    ExecutePrintScript(f.engine, r.line, 0, 0);
    EXPECT_EQ(f.state.MarginTop, r.top) << r.line;
    EXPECT_EQ(f.state.MarginLeft, r.left) << r.line;
    EXPECT_EQ(f.trap.Errors(), r.errors) << r.line;
  }
}

TEST(Interpreter, StartDocLinesAsWritten) {
  EngineFixture f;
  EXPECT_EQ(RunScript(f, "SD |P|A4|1\r\n\tSD|P|A4|1"), QStringList());
  const QStringList calls = RunScript(f, "  sd|P|A4|1");
  EXPECT_EQ(calls, QStringList({"EndDoc", "PaperSize 9", "Orientation 1", "Copies 1", "PageOpen 0", "Print 0 0 ",
                                "PageOpen 1"}));
  EXPECT_EQ(f.state.PageBottom, 16000);
}

TEST(Interpreter, FailingLineIsDroppedAndNamedByItsLineNumber) {
  EngineFixture f;
  RunScript(f, "SPR|a\r\nSF|Arial|abc|0|0\r\nSPR|b\r\nSF|Arial\r\nSPR|c");
  EXPECT_EQ(f.trap.Errors(), QStringList({"13 Type mismatch", "9 Subscript out of range"}));
  const QStringList log = f.trap.LogLines();
  ASSERT_EQ(log.size(), 2);
  EXPECT_TRUE(log[0].endsWith("Location: zarn.mPRINTSCRIPT.ExecutePrintScript\tLine 2")) << log[0].toStdString();
  EXPECT_TRUE(log[1].endsWith("Location: zarn.mPRINTSCRIPT.ExecutePrintScript\tLine 4")) << log[1].toStdString();
  EXPECT_EQ(f.surface.printer.fontName, "Arial");
  EXPECT_EQ(f.surface.Take(), QStringList());  // Run() took them; nothing else happened
}

TEST(Interpreter, FirstFaultyFieldFromTheLeftIsReported) {
  EngineFixture f;
  RunScript(f, "DL|1|99999999999|x|0|1|#000000\r\nDB|0|0|10|10|0|0|#000000|40000");
  EXPECT_EQ(f.trap.Errors(), QStringList({"6 Overflow", "6 Overflow"}));
  RunScript(f, "DL|1|x|99999999999|0|1|#000000");
  EXPECT_EQ(f.trap.Errors().last(), "13 Type mismatch");
}

TEST(Interpreter, PdfNameForms) {
  struct Row {
    const char* line;
    const char* folder;
    const char* name;
  } rows[] = {
      {"PDFNAME|invoice", "", "invoice"},
      {"PDFNAME|x|invoice", "", "invoice"},
      {"PDFNAME|2024|invoice|", "2024", "invoice"},
      {"PDFNAME|2024|invoice|a|b", "2024", "invoice"},
      {"pdfname|Low|Case", "", "Case"},
  };
  for (const Row& r : rows) {
    EngineFixture f;
    f.state.PdfSubFolder = "old";
    ExecutePrintScript(f.engine, r.line, 0, 0);
    EXPECT_EQ(f.state.PdfSubFolder, r.folder) << r.line;
    EXPECT_EQ(f.state.PdfFileName, r.name) << r.line;
  }
  EngineFixture f;
  f.state.PdfFileName = "kept";
  ExecutePrintScript(f.engine, "PDFNAME", 0, 0);
  EXPECT_EQ(f.trap.Errors(), QStringList({"9 Subscript out of range"}));
  EXPECT_EQ(f.state.PdfFileName, "kept");
}

TEST(Interpreter, PdfNameOnlyRunsNothingElse) {
  EngineFixture f;
  const QStringList calls = RunScript(f, "SD|P|A4|1\r\nPDFNAME|2024|bill|\r\nPT|0|0|x|0|0|L|0\r\nMRG|x|y\r\nED", 0, -1);
  EXPECT_EQ(calls, QStringList());
  EXPECT_TRUE(f.trap.Errors().isEmpty());
  EXPECT_EQ(f.state.PdfSubFolder, "2024");
  EXPECT_EQ(f.state.PdfFileName, "bill");
}

TEST(Interpreter, MessageBoxOnlyInThePrinterRun) {
  EngineFixture f;
  RunScript(f, "MSGBOX|Note|a|b\r\nMSGBOX|short", -1, 0);
  EXPECT_TRUE(f.trap.dialogs.messages.isEmpty());
  EXPECT_TRUE(f.trap.Errors().isEmpty());
  RunScript(f, "MSGBOX|Note|a|b\r\nMSGBOX|short", 0, 0);
  EXPECT_EQ(f.trap.dialogs.messages, QStringList({"Note|a\r\nb"}));
  EXPECT_EQ(f.trap.Errors(), QStringList({"9 Subscript out of range"}));
}

TEST(Interpreter, AMessageBoxShowsWhatABoxCan) {
  EngineFixture f;
  RunScript(f, "MSGBOX|Note|" + QString(3 * 1024 * 1024, u'a') + "|b", 0, 0);
  ASSERT_EQ(f.trap.dialogs.messages.size(), 1);
  EXPECT_EQ(f.trap.dialogs.messages[0], "Note|" + QString(2000, u'a') + "\n[… cut: 3145731 characters in all]");
}

TEST(Interpreter, OptionalTrailingFields) {
  EngineFixture f;
  f.state.LastY = 1000;
  f.state.OriginY = 1000;
  f.state.PageBottom = 9999999;
  // Without a mode the text is placed absolutely and LastY stays.
  EXPECT_EQ(RunScript(f, "PT|100|200|Hello|0|0|L|0"), QStringList({"Print 100 1200 Hello"}));
  EXPECT_EQ(f.state.LastY, 1000);
  // With a ninth field it is the mode; fields past it are ignored.
  EXPECT_EQ(RunScript(f, "PT|100|200|Hello|0|0|L|0|y|extra|extra|extra|extra|extra|extra"),
            QStringList({"Print 100 1200 Hello"}));
  EXPECT_EQ(f.state.LastY, 1200);

  EXPECT_EQ(RunScript(f, "DL|0|0|1000|0|10|#000000"),
            QStringList({"DrawStyle 0", "DrawWidth 10", "Line 0 1200 1000 1200 0 Segment"}));
  EXPECT_EQ(RunScript(f, "DL|0|0|1000|0|10|#000000|2").first(), "DrawStyle 2");
  f.surface.SetDrawStyle(3);
  EXPECT_EQ(RunScript(f, "DB|0|0|10|10|0|0|#000000|0"), QStringList({"DrawStyle 0"}));
}

TEST(Interpreter, HooksGetTheConvertedFields) {
  EngineFixture f;
  QStringList seen;
  // Unset hooks: the commands do nothing.
  RunScript(f, "GF|http://h/a.png|/tmp/a.png\r\nQRC|abc|1|2|3|4\r\nPSZ|210|297|Form");
  EXPECT_TRUE(f.trap.Errors().isEmpty());

  f.engine.DownloadFile = [&](const QString& url, const QString& path) {
    seen << "get " + url + " " + path;
    return int16_t{-1};
  };
  f.engine.QRC = [&](const QString& text, const std::function<PicturePlace()>& place) {
    const PicturePlace at = place();
    seen << QString("qrc %1 %2 %3 %4 %5").arg(text).arg(at.x).arg(at.y).arg(at.width).arg(at.height);
    return int16_t{-1};
  };
  f.engine.PaperSize = [&](int32_t& w, int32_t& h, QString& name) {
    seen << QString("psz %1 %2 %3").arg(w).arg(h).arg(name);
    return int16_t{-1};
  };
  RunScript(f,
      "GF||/tmp/a.png\r\nGF|http://h/a.png|/tmp/a.png\r\nQRC||100|100|500|500\r\nQRC|abc|100|100.5|500|500\r\n"
      "PSZ|210|297|Form\r\nRPTPSZ|100|150.5|Label\r\nGF|http://h/b.png\r\nQRC|abc|1");
  EXPECT_EQ(seen, QStringList({"get http://h/a.png /tmp/a.png", "qrc abc 100 100 500 500", "psz 210 297 Form",
                               "psz 100 150 Label"}));
  EXPECT_EQ(f.trap.Errors(), QStringList({"9 Subscript out of range", "9 Subscript out of range"}));
}

TEST(Interpreter, QrErrorsReachTheInterpretersTrap) {
  EngineFixture f;
  f.engine.QRC = [](const QString&, const std::function<PicturePlace()>&) -> int16_t {
    Raise(RuntimeError::InvalidPicture);
  };
  const QStringList calls = RunScript(f, "QRC|abc|0|0|10|10\r\nSPR|after");
  EXPECT_EQ(f.trap.Errors(), QStringList({"481 Invalid picture"}));
  EXPECT_TRUE(f.trap.LogLines().value(0).contains("Location: zarn.mPRINTSCRIPT.ExecutePrintScript\tLine 1"));
  EXPECT_EQ(calls, QStringList({"Print 0 0 after"}));
}

TEST(Interpreter, EveryDrawingCommandReachesItsProcedure) {
  EngineFixture f;
  const QString pic = f.trap.folder + "/logo.bmp";
  f.trap.files.Append(pic, "PIC");
  f.state.PageBottom = 9999999;
  const QStringList calls = RunScript(f,
                                "SF|Courier|12|1|0\r\nSFC|#0000FF\r\nSFX|100\r\nSFY|50\r\nSFXR|10\r\nSFYR|5\r\n"
                                "SPR|plain &at;\r\nMXT|0|a&at;b|0|0|L|0\r\nDG|#000000|#000000|1|0|0|10|1\r\n"
                                "DI|" + pic + "|1|2|3|4\r\nNP\r\nSSD\r\nDEV|PDF Writer\r\nRPTDEV|Office");
  EXPECT_EQ(calls, QStringList({"FontName Courier", "FontSize 12", "FontBold 1", "FontItalic 0",
                                "ForeColor 16711680", "Print 0 0 plain &at;", "Print 110 55 a&at;b",
                                "Line 110 55 120 55 0 Segment", "Line 110 56 120 56 0 Segment",
                                "Picture logo.bmp 111 57 3 4", "NewPage", "EndDoc", "Select PDF Writer",
                                "Select Office"}));
  EXPECT_TRUE(f.trap.Errors().isEmpty()) << f.trap.Errors().join(", ").toStdString();
}

TEST(Interpreter, LongLineWithManyBarsKeepsItsFirstFields) {
  EngineFixture f;
  QString line = "SPR|" + QString(20000, u'x');
  for (int i = 0; i < 1000; ++i) line += "|y";
  const QStringList calls = RunScript(f, line);
  ASSERT_EQ(calls.size(), 1);
  EXPECT_EQ(calls[0], "Print 0 0 " + QString(20000, u'x'));
}

}  // namespace
}  // namespace zarn
