#include "engine/parse_print.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "pdf/pdf_output.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/fake_pdf_writer.h"

namespace zarn {
namespace {

using testing::EngineFixture;

// The texts of the surface's non-empty Print calls, in order.
QStringList Printed(const QStringList& calls) {
  QStringList out;
  for (const QString& c : calls) {
    if (!c.startsWith(u"Print ")) continue;
    const QString text = c.section(u' ', 3);
    if (!text.isEmpty()) out << text;
  }
  return out;
}

QString Crlf(const QStringList& lines) { return lines.join(QStringLiteral("\r\n")); }

const QString kLetter = QStringLiteral("SD|P|A4|1\r\nPT|100|100|Dear #N#|0|0|L|0\r\nED\r\n");

TEST(ParsePrint, SmallRepeatScriptPrintsBothRecords) {
  EngineFixture f;
  ParsePrint(f.engine, kLetter + Crlf({"RPTFLD|#N#|", "any line", "RPTDT|Ann|", "RPTDT|Bob|"}), kFalse);
  const QStringList calls = f.surface.Take();
  EXPECT_EQ(Printed(calls), (QStringList{"Dear Ann", "Dear Bob"}));
  EXPECT_EQ(calls.count("EndDoc"), 4);  // each record's SD and ED
  EXPECT_EQ(f.Messages(), (QStringList{"Repeat found", "RepeatFields are:'RPTFLD|#N#|\r'",
                                       "RepeatData are:'RPTDT|Ann|\r'", "RepeatData are:'RPTDT|Bob|'"}));
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST(ParsePrint, FieldAndDataLines) {
  struct Row {
    const char* name;
    QString script;
    QStringList printed;
  } rows[] = {
      {"trailing bars on both lines",
       "SPR|#N# has #Q#\r\n" + Crlf({"RPTFLD|#N#|#Q#|", "-", "RPTDT|Ann|3|"}) + "\r\n",
       {"Ann has 3"}},
      {"no trailing bar: the last name only matches at a line end",
       "SPR|#N# has #Q# apples\r\nSPR|#Q#\r\n" + Crlf({"RPTFLD|#N#|#Q#", "-", "RPTDT|Ann|3"}) + "\r\n",
       {"Ann has #Q# apples", "3"}},
      {"fewer values leave the other names", "SPR|#N# has #Q#\n" + QString("RPTFLD|#N#|#Q#\n-\nRPTDT|Ann\n"),
       {"Ann has #Q#"}},
      {"a value holding a later name is replaced again", "SPR|#N#/#Q#\n" + QString("RPTFLD|#N#|#Q#|\n-\nRPTDT|#Q#|7|\n"),
       {"7/7"}},
      {"an empty field name replaces nothing", "SPR|#N#\n" + QString("RPTFLD||#N#|\n-\nRPTDT|x|Ann|\n"), {"Ann"}},
      {"all occurrences, inserted text not rescanned", "SPR|#N#-#N#\n" + QString("RPTFLD|#N#|\n-\nRPTDT|<#N#>|\n"),
       {"<#N#>-<#N#>"}},
      {"leading spaces, blank lines and other commands in the data section",
       "SPR|#N#\n" + QString("RPTFLD|#N#|\n-\n   RPTDT|Ann|\n\n   \nSD|P|A4|1\nSPR|hello\n"), {"Ann"}},
      {"the first data line on the skipped line", kLetter + Crlf({"RPTFLD|#N#|", "RPTDT|Ann|", "RPTDT|Bob|"}),
       {"Dear Bob"}},
      {"no data lines print nothing", kLetter + "RPTFLD|#N#|\r\n-\r\n", {}},
      {"a second marker ends the section", "SPR|#N#\n" + QString("RPTFLD|#N#|\n-\nRPTDT|Ann|\nRPTFLD|#N#|\nRPTDT|Bob|\n"),
       {"Ann"}},
      {"marker names are case-sensitive", "SPR|#N#\n" + QString("RPTFLD|#N#|\n-\nrptdt|Ann|\nRPTDT|Bob|\n"),
       {"Bob"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EngineFixture f;
    ParsePrint(f.engine, row.script, kFalse);
    EXPECT_EQ(Printed(f.surface.Take()), row.printed);
    EXPECT_TRUE(f.trap.Errors().isEmpty());
  }
}

TEST(ParsePrint, MoreValuesThanNamesIsOneTrappedErrorAndTheNextRecordPrints) {
  EngineFixture f;
  ParsePrint(f.engine, "SPR|#N#\nRPTFLD|#N#\n-\nRPTDT|Ann|x|y\nRPTDT|Bob\n", kFalse);
  EXPECT_EQ(f.trap.Errors(), QStringList{"9 Subscript out of range"});
  ASSERT_EQ(f.trap.LogLines().size(), 1);
  EXPECT_TRUE(f.trap.LogLines()[0].contains("Location: zarn.mPRINTSCRIPT.ParsePrint"));
  // The record keeps the replacements made before the missing name.
  EXPECT_EQ(Printed(f.surface.Take()), (QStringList{"Ann", "Bob"}));
}

TEST(ParsePrint, RetryOfTheSubstitutionStartsAgainFromTheTemplate) {
  EngineFixture f;
  f.trap.dialogs.answers = {TrapChoice::Retry};
  ParsePrint(f.engine, "SPR|#N##N#\nRPTFLD|#N#\n-\nRPTDT|a#N#|x\n", kFalse);
  EXPECT_EQ(f.trap.Errors().size(), 2);
  EXPECT_EQ(Printed(f.surface.Take()), QStringList{"a#N#a#N#"});
}

TEST(ParsePrint, EndDocMarkerFinishesTheDocumentAfterTheRecord) {
  EngineFixture f;
  ParsePrint(f.engine, "SPR|#N#\nRPTFLD|#N#|\n-\nRPTDT|x RPTED y|\nRPTDT|Bob|\nRPTED\n", kFalse);
  const QStringList calls = f.surface.Take();
  ASSERT_EQ(calls.size(), 4);
  EXPECT_EQ(calls[0].section(u' ', 3), "x RPTED y");
  EXPECT_EQ(calls[1], "EndDoc");
  EXPECT_EQ(calls[2].section(u' ', 3), "Bob");
  EXPECT_EQ(calls[3], "EndDoc");
}

TEST(ParsePrint, DeviceMarkerPassesFieldOneWithWhatEverEndsIt) {
  EngineFixture f;
  ParsePrint(f.engine, Crlf({"SPR|#N#", "RPTFLD|#N#|", "-", "RPTDEV|PDF Writer|", "RPTDT|Ann|", "RPTDEV|Office",
                             "RPTDEV"}),
             kFalse);
  const QStringList calls = f.surface.Take();
  EXPECT_EQ(calls.first(), "Select PDF Writer");
  EXPECT_EQ(Printed(calls), QStringList{"Ann"});
  EXPECT_EQ(f.surface.DeviceName(), "PDF Writer");
  EXPECT_TRUE(f.Messages().contains("Device 'Office\r' not exists!"));
  EXPECT_EQ(f.trap.Errors(), QStringList{"9 Subscript out of range"});
}

TEST(ParsePrint, PaperSizeMarkerConvertsItsFields) {
  EngineFixture f;
  QStringList sizes;
  f.engine.PaperSize = [&](int32_t& w, int32_t& h, QString& name) -> int16_t {
    sizes << QString("%1 %2 %3").arg(w).arg(h).arg(name);
    return kTrue;
  };
  ParsePrint(f.engine, "RPTFLD|#N#|\n-\nRPTPSZ|21.5|29|Form A|\nRPTPSZ|x|29|B|\nRPTPSZ|10|20\nRPTPSZ|10|20|C\n",
             kFalse);
  EXPECT_EQ(sizes, (QStringList{"22 29 Form A", "10 20 C"}));
  EXPECT_EQ(f.trap.Errors(), (QStringList{"13 Type mismatch", "9 Subscript out of range"}));
}

TEST(ParsePrint, PdfPassReachesEveryRecord) {
  for (int16_t pass : {kFalse, kTrue}) {
    EngineFixture f;
    ParsePrint(f.engine, "MSGBOX|#N#|a|b\nRPTFLD|#N#|\n-\nRPTDT|One|\nRPTDT|Two|\n", pass);
    EXPECT_EQ(f.trap.dialogs.messages.size(), pass ? 0 : 2);
  }
}

// The hooks write into the surface's call list, so their order against the
// drawing shows.
void RecordHooks(EngineFixture& f) {
  f.engine.PDFONLY = [&](const QString& name, const QString& sub) {
    f.surface.calls << "hook PDFONLY " + name + " " + sub;
  };
  f.engine.PDFPrinterOff = [&] { f.surface.calls << "hook PDFPrinterOff"; };
}

TEST(ParsePrint, PdfOnlyNamesTheFileFirstThenRunsIntoTheWriterAndClearsTheCopy) {
  EngineFixture f;
  RecordHooks(f);
  f.state.PdfCopy = kTrue;
  ParsePrint(f.engine, Crlf({"PDFONLY", "SSD", "SPR|Hello", "PDFNAME|2024|invoice|", "ED"}), kFalse);
  EXPECT_EQ(f.surface.Take(), (QStringList{"hook PDFONLY invoice 2024", "EndDoc", "Print 0 0 Hello", "EndDoc",
                                           "hook PDFPrinterOff"}));
  EXPECT_EQ(f.state.PdfCopy, kFalse);
}

TEST(ParsePrint, PdfOnlyWithoutANameIsStampedWithTheClock) {
  EngineFixture f;
  RecordHooks(f);
  f.trap.clock.now = QDateTime(QDate(2026, 1, 2), QTime(15, 4, 5));
  ParsePrint(f.engine, "xPDFONLYx\nSPR|Hi\n", kFalse);
  EXPECT_EQ(f.surface.Take().first(), "hook PDFONLY 2026-01-02-15-04-05 ");
  EXPECT_EQ(f.state.PdfFileName, "2026-01-02-15-04-05");
  EXPECT_EQ(PdfTimeStamp(f.engine), "2026-01-02-15-04-05");
}

TEST(ParsePrint, RepeatTakesPrecedenceOverPdfOnly) {
  EngineFixture f;
  RecordHooks(f);
  f.state.PdfCopy = kTrue;
  ParsePrint(f.engine, "PDFONLY\nSPR|#N#\nRPTFLD|#N#|\n-\nRPTDT|Ann|\n", kFalse);
  EXPECT_EQ(f.surface.Take(), QStringList{"Print 0 0 Ann"});
  EXPECT_EQ(f.state.PdfCopy, kTrue);
}

TEST(ParsePrint, PlainScriptRunsOnceWithoutHooks) {
  EngineFixture f;
  RecordHooks(f);
  ParsePrint(f.engine, "SPR|one\r\npdfonly\r\nSPR|two", kFalse);
  EXPECT_EQ(Printed(f.surface.Take()), (QStringList{"one", "two"}));
  EXPECT_TRUE(f.Messages().isEmpty());
}

// The whole PDF-only road on the fake writer: file path, show flag, switch
// to the writer and back around the drawing.
TEST(ParsePrint, PdfOnlyThroughTheWriterControl) {
  EngineFixture f;
  testing::FakePdfWriter writer;
  QTemporaryDir base;
  f.state.PdfFolder = base.path();
  f.engine.PDFONLY = [&](const QString& name, const QString& sub) { PDFONLY(f.engine, writer, name, sub); };
  f.engine.PDFPrinterOff = [&] { PDFPrinterOff(f.engine); };
  ParsePrint(f.engine, Crlf({"PDFONLY", "PDFNAME|2024|invoice|", "SSD", "SPR|Hello", "ED"}), kFalse);
  EXPECT_EQ(f.surface.Take(),
            (QStringList{"Select PDF Writer", "EndDoc", "Print 0 0 Hello", "EndDoc", "Select Office"}));
  EXPECT_EQ(writer.Value("Output"), base.path() + "/20261208/2024/invoice.pdf");
  // Shown: the settings for the next document, before the standing ones.
  EXPECT_LT(writer.calls.indexOf("setValue ShowPDF yes"), writer.calls.indexOf("WriteSettings 1"));
  EXPECT_TRUE(QFileInfo(base.path() + "/20261208/2024").isDir());
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

}  // namespace
}  // namespace zarn
