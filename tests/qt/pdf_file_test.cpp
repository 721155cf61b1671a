// Real PDF files: the repeat runner, the PDF-only path and the job flow's PDF
// copy on the Qt print surface and our PDF writer printer, read back with
// poppler's pdftotext and pdfinfo.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "engine/parse_print.h"
#include "launch/form_load.h"
#include "pdf/pdf_output.h"
#include "qt/pdf_writer_printer.h"
#include "qt/qt_print_surface.h"
#include "tests/support/fakes.h"
#include "tests/support/gui_app.h"
#include "tests/support/launch_fakes.h"
#include "tests/support/poppler.h"
#include "tests/support/recording_surface.h"

namespace zarn {
namespace {

using namespace zarn::testing;

// The text of each page (pdftotext ends every page with a form feed).
QStringList PageTexts(const QString& pdf) {
  QStringList pages = QString::fromUtf8(RunTool("pdftotext", {"-layout", pdf, "-"})).split(u'\f');
  if (!pages.isEmpty() && pages.last().trimmed().isEmpty()) pages.removeLast();
  for (QString& p : pages) p = p.simplified();
  return pages;
}

// Every PDF file below folder, relative to it, sorted.
QStringList PdfFiles(const QString& folder) {
  QStringList out;
  for (QDirIterator it(folder, {"*.pdf"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
    out << QDir(folder).relativeFilePath(it.next());
  out.sort();
  return out;
}

class PdfFileTest : public ::testing::Test {
 protected:
  PdfFileTest() {
    engine.state.PdfFolder = base.path() + "/out";
    QDir().mkpath(engine.state.PdfFolder);
    engine.PDFONLY = [this](const QString& name, const QString& sub) { PDFONLY(engine, writer, name, sub); };
    engine.PDFPrinterOff = [this] { PDFPrinterOff(engine); };
    engine.PdfDocumentName = [this](const QString& name, const QString& sub) { PdfDocumentName(engine, name, sub); };
    engine.DocumentEnded = [this] { PdfDocumentEnded(engine); };
  }

  QString Out(const QString& relative) const { return base.path() + "/out/" + relative; }

  // The whole job flow on the real engine and PDF output; returns the run log.
  QString RunJob(const QString& settings, const QString& response) {
    QFile f(SettingsPath(base.path()));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(settings.toUtf8());
    f.close();
    http.body = response;
    JobCalls calls;
    calls.GetURL = [](HttpClient& h, QString& address) { return QString::fromUtf8(h.Get(address, {}).body); };
    calls.ParsePrint = &ParsePrint;
    calls.PDFPrinterOn = [this](Engine& e, const QString& name, const QString& sub) {
      PDFPrinterOn(e, writer, name, sub);
    };
    calls.PDFPrinterOff = &PDFPrinterOff;
    const QString link = "\"zarn://" + QString::fromLatin1(QByteArray("127.0.0.1/print?job=1").toBase64()) + "/\"";
    Job job{engine, http, clipboard, trap.dialogs, trap.files, trap.clock, window, base.path(), link, calls};
    Form_Load(job);
    surface.FinishAll();
    return clipboard.texts.value(0);
  }

  struct GuiApp {
    GuiApp() { EnsureGuiApp(); }
  } gui;  // before the surface
  ScopedTrapHost trap;
  QTemporaryDir base;
  QStringList opened;  // files the writer showed to the user
  PdfWriterPrinter writer{[this](const QString& path) { opened << path; }, base.path() + "/documents", &trap.clock};
  QtPrintSurface surface{writer, {}, {}};
  FakePictureLoader pictures;
  RunLog log;
  Engine engine{surface, surface, log, trap.dialogs, trap.files, pictures, trap.clock};
  ScriptedHttp http;
  FakeClipboard clipboard;
  FakeMainWindow window;
};

const QString kRecords = QStringLiteral("RPTFLD|#N#|\r\n-\r\nRPTDT|Ann|\r\nRPTDT|Bob|\r\n");

TEST_F(PdfFileTest, TemplateWithEndDocGivesOneDocumentPerRecord) {
  PDFPrinterOn(engine, writer, "merge", "");
  ParsePrint(engine, "SD|P|A4|1\r\nPT|1000|1000|Dear #N#|5000|0|L|0\r\nED\r\n" + kRecords, kFalse);
  PDFPrinterOff(engine);
  // Documents without a name of their own follow the run's name.
  EXPECT_EQ(PdfFiles(base.path()), (QStringList{"out/20261208/merge-2.pdf", "out/20261208/merge.pdf"}));
  EXPECT_EQ(PageTexts(Out("20261208/merge.pdf")), QStringList{"Dear Ann"});
  EXPECT_EQ(PageTexts(Out("20261208/merge-2.pdf")), QStringList{"Dear Bob"});
  EXPECT_TRUE(opened.isEmpty());
  EXPECT_TRUE(trap.Errors().isEmpty());
}

TEST_F(PdfFileTest, EachDocumentOfAPdfRunIsTheFileItsPdfNameNames) {
  const QString doc = "SD|P|A4|1\r\nPT|1000|1000|%1|5000|0|L|0\r\nED\r\n";
  // A PDFNAME before its document's SD, or after it (SD has begun the document).
  const QString script = "PDFONLY\r\nPDFNAME|2024|a|\r\n" + doc.arg("One") +
                         "SD|P|A4|1\r\nPDFNAME|2024|b|\r\nPT|1000|1000|Two|5000|0|L|0\r\nED\r\n" +
                         "PDFNAME|2024|c|\r\n" + doc.arg("Three");
  const QString runLog = RunJob("1\r\n" + engine.state.PdfFolder + "\r\n", script);
  EXPECT_EQ(PdfFiles(base.path()),
            (QStringList{"out/20261208/2024/a.pdf", "out/20261208/2024/b.pdf", "out/20261208/2024/c.pdf"}));
  EXPECT_EQ(PageTexts(Out("20261208/2024/a.pdf")), QStringList{"One"});
  EXPECT_EQ(PageTexts(Out("20261208/2024/b.pdf")), QStringList{"Two"});
  EXPECT_EQ(PageTexts(Out("20261208/2024/c.pdf")), QStringList{"Three"});
  EXPECT_EQ(runLog.count("MESSAGE :PDF file '"), 3) << runLog.toStdString();
  EXPECT_EQ(opened, QStringList{Out("20261208/2024/a.pdf")});
  EXPECT_TRUE(trap.Errors().isEmpty());
}

TEST_F(PdfFileTest, PdfMergeWritesOneFilePerRecordAndPrintsNothing) {
  const QString script = "PDFMERGE\r\nPDFNAME|letters|letter-#N#|\r\nSD|P|A4|1\r\nPT|1000|1000|Dear #N#|5000|0|L|0\r\n"
                         "ED\r\nRPTFLD|#N#|\r\n-\r\nRPTDT|Ann|\r\nRPTDT|Bob|\r\nRPTDT|Cy|\r\n";
  RunJob("1\r\n" + engine.state.PdfFolder + "\r\n", script);
  EXPECT_EQ(PdfFiles(base.path()), (QStringList{"out/20261208/letters/letter-Ann.pdf",
                                                "out/20261208/letters/letter-Bob.pdf",
                                                "out/20261208/letters/letter-Cy.pdf"}));
  EXPECT_EQ(PageTexts(Out("20261208/letters/letter-Cy.pdf")), QStringList{"Dear Cy"});
  EXPECT_EQ(engine.state.PdfCopy, kFalse);
  EXPECT_TRUE(trap.Errors().isEmpty());
}

TEST_F(PdfFileTest, TemplateWithoutEndDocGivesOnePagePerRecord) {
  PDFPrinterOn(engine, writer, "letters", "");
  ParsePrint(engine, "PT|1000|1000|Dear #N#|5000|0|L|0\r\nNP\r\n" + kRecords + "RPTED\r\n", kFalse);
  PDFPrinterOff(engine);
  EXPECT_EQ(PdfFiles(base.path()), QStringList{"out/20261208/letters.pdf"});
  EXPECT_EQ(PageTexts(Out("20261208/letters.pdf")), (QStringList{"Dear Ann", "Dear Bob"}));
  EXPECT_TRUE(QString::fromUtf8(RunTool("pdfinfo", {Out("20261208/letters.pdf")})).contains(QRegularExpression("Pages:\\s+2\\n")));
  EXPECT_TRUE(trap.Errors().isEmpty());
}

TEST_F(PdfFileTest, PdfOnlyJobWritesItsNamedFileOnceAndShowsIt) {
  const QString script = "PDFONLY\r\nPDFNAME|2024|invoice|\r\nSD|P|A4|1\r\nPT|1000|1000|Invoice 17|5000|0|L|0\r\nED\r\n";
  RunJob("1\r\n" + engine.state.PdfFolder + "\r\n", script);
  EXPECT_EQ(PdfFiles(base.path()), QStringList{"out/20261208/2024/invoice.pdf"});
  EXPECT_EQ(PageTexts(Out("20261208/2024/invoice.pdf")), QStringList{"Invoice 17"});
  EXPECT_EQ(opened, QStringList{Out("20261208/2024/invoice.pdf")});
  EXPECT_EQ(engine.state.PdfCopy, kFalse);
  EXPECT_TRUE(trap.Errors().isEmpty());
}

TEST_F(PdfFileTest, SettingsOneMakesACopyNamedByTheTimeStamp) {
  trap.clock.now = QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7));
  RunJob("1\r\n" + engine.state.PdfFolder + "\r\n", "SD|P|A4|1\r\nPT|1000|1000|Copy me|5000|0|L|0\r\nED\r\n");
  // The printer run went to the current printer, our writer, without settings;
  // the copy to the day folder under the time stamp.
  EXPECT_EQ(PdfFiles(base.path()),
            (QStringList{"documents/2026-12-08-09-05-07.pdf", "out/20261208/2026-12-08-09-05-07.pdf"}));
  EXPECT_EQ(PageTexts(Out("20261208/2026-12-08-09-05-07.pdf")), QStringList{"Copy me"});
  EXPECT_EQ(engine.state.PdfFileName, "2026-12-08-09-05-07");
  EXPECT_TRUE(opened.isEmpty());
  EXPECT_TRUE(trap.Errors().isEmpty());
}

TEST_F(PdfFileTest, CopyRunFollowsTheScriptsNameAndTheReprintRule) {
  struct Row {
    const char* name;
    QString response;
    QStringList files;
  } rows[] = {
      {"named by PDFNAME", "PDFNAME|2024|letter|\r\nSSD\r\nSPR|Hi\r\nED",
       {"documents/2026-12-08-03-29-32.pdf", "out/20261208/2024/letter.pdf"}},
      {"#REPRINT at the very end: no copy", "SSD\r\nSPR|Hi\r\nED\r\n#REPRINT", {"documents/2026-12-08-03-29-32.pdf"}},
      {"#REPRINT and a line end: a copy", "SSD\r\nSPR|Hi\r\nED\r\n#REPRINT\r\n",
       {"documents/2026-12-08-03-29-32.pdf", "out/20261208/2026-12-08-03-29-32.pdf"}},
      {"switch off", "SSD\r\nSPR|Hi\r\nED", {"documents/2026-12-08-03-29-32.pdf"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    QDir(base.path() + "/out").removeRecursively();
    QDir(base.path() + "/documents").removeRecursively();
    QDir().mkpath(base.path() + "/out");
    engine.state = PrintState{};
    clipboard.texts.clear();
    const bool on = QString(row.name) != "switch off";
    RunJob(QString(on ? "1" : "0") + "\r\n" + base.path() + "/out\r\n", row.response);
    EXPECT_EQ(PdfFiles(base.path()), row.files);
  }
  EXPECT_TRUE(trap.Errors().isEmpty());
}

}  // namespace
}  // namespace zarn
