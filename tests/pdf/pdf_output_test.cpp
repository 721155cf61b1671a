#include "pdf/pdf_output.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>

#include "qt/real_file_system.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/fake_pdf_writer.h"

namespace zarn {
namespace {

using testing::EngineFixture;
using testing::FakePdfWriter;

class PdfOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(base.isValid());
    f.state.PdfFolder = base.path();
  }
  QString Day() const { return base.path() + "/20261208"; }

  QTemporaryDir base;
  EngineFixture f;
  FakePdfWriter writer;
};

// The writer's settings for one PDF run: the ones for the next document,
// then the same as standing ones for every later document (beside the file,
// under a free numbered name, not shown).
QStringList ExpectedCalls(const QString& output, const QString& showPdf) {
  return QStringList{"CreatePDFUtil",
          "defaultprintername",
          "CreatePDFSettings",
          "printername PDF Writer",
          "setValue Output " + output,
          "setValue ConfirmOverwrite no",
          "setValue ShowSaveAS never",
          "setValue ShowSettings never",
          "setValue ShowPDF " + showPdf,
          "setValue ShowProgress no",
          "setValue ShowProgressFinished no",
          "setValue RememberLastFileName no",
          "setValue RememberLastFolderName no",
          "WriteSettings 1",
          "setValue ConfirmOverwrite yes",
          "setValue ShowPDF no",
          "WriteSettings 0"};
}

TEST_F(PdfOutputTest, PrinterOnAndPdfOnlyWriteTheNineSettingsAndSwitchToTheWriter) {
  struct Row {
    const char* name;
    void (*call)(Engine&, PdfWriterControl&, const QString&, const QString&);
    const char* showPdf;
  };
  for (const Row& row : {Row{"PDFPrinterOn", &PDFPrinterOn, "no"}, Row{"PDFONLY", &PDFONLY, "yes"}}) {
    SCOPED_TRACE(row.name);
    writer.calls.clear();
    f.surface.current = 0;
    row.call(f.engine, writer, "invoice", "");
    EXPECT_EQ(writer.calls, ExpectedCalls(Day() + "/invoice.pdf", row.showPdf));
    EXPECT_EQ(f.state.DeviceBeforePdf, "Office");
    EXPECT_EQ(f.surface.DeviceName(), "PDF Writer");
    EXPECT_TRUE(QFileInfo(Day()).isDir());
  }
  // The second run of the day finds the folder and creates nothing.
  EXPECT_TRUE(f.trap.Errors().isEmpty());
  EXPECT_TRUE(f.Messages().isEmpty());
}

TEST_F(PdfOutputTest, SubFolderIsCreatedOneLevelAtATime) {
  PDFPrinterOn(f.engine, writer, "invoice", "2024");
  EXPECT_TRUE(QFileInfo(Day() + "/2024").isDir());
  EXPECT_EQ(writer.Value("Output"), Day() + "/2024/invoice.pdf");

  // Two levels below an upper level that exists: only the lower one is made.
  PDFPrinterOn(f.engine, writer, "x", "2024\\march");
  EXPECT_TRUE(QFileInfo(Day() + "/2024/march").isDir());
  EXPECT_EQ(writer.Value("Output"), Day() + "/2024/march/x.pdf");
  EXPECT_TRUE(f.trap.Errors().isEmpty());

  // Two levels whose upper one is missing fail through the trap; the rest still runs.
  PDFPrinterOn(f.engine, writer, "y", "2025\\april");
  EXPECT_EQ(f.trap.Errors(), QStringList{"76 Path not found"});
  EXPECT_FALSE(QFileInfo::exists(Day() + "/2025"));
  EXPECT_EQ(writer.Value("Output"), Day() + "/2025/april/y.pdf");
  EXPECT_EQ(f.surface.DeviceName(), "PDF Writer");
  ASSERT_EQ(f.trap.LogLines().size(), 1);
  EXPECT_TRUE(f.trap.LogLines()[0].contains("Location: zarn.mPRINTSCRIPT.PDFPrinterOn"));
}

TEST_F(PdfOutputTest, MissingPdfFolderIsATrappedErrorEachTimeItIsRetried) {
  f.state.PdfFolder = base.path() + "/gone";
  f.trap.dialogs.answers = {TrapChoice::Retry};
  PDFONLY(f.engine, writer, "a", "");
  EXPECT_EQ(f.trap.Errors(), (QStringList{"76 Path not found", "76 Path not found"}));
  EXPECT_EQ(f.trap.LogLines().size(), 2);
  EXPECT_EQ(writer.calls.size(), 17);
}

// Real files, but every folder is made by another job just before this one
// asks: two jobs that start the day in the same second.
class RacedFileSystem final : public FileSystem {
 public:
  std::optional<QByteArray> ReadAll(const QString& p) const override { return real.ReadAll(p); }
  bool Exists(const QString& p) const override { return real.Exists(p); }
  bool IsFile(const QString& p) const override { return real.IsFile(p); }
  bool MakeFolder(const QString& p) override {
    real.MakeFolder(p);
    return false;  // as mkdir says when the folder is there
  }
  bool Append(const QString& p, const QByteArray& b) override { return real.Append(p, b); }
  bool IsLink(const QString& p) const override { return real.IsLink(p); }
  QString CreateFreeName(const QString& p) override { return real.CreateFreeName(p); }
  void RemoveIfEmpty(const QString& p) override { real.RemoveIfEmpty(p); }
  qint64 Size(const QString& p) const override { return real.Size(p); }
  bool Remove(const QString& p) override { return real.Remove(p); }
  bool Replace(const QString& p, const QByteArray& b) override { return real.Replace(p, b); }
  RealFileSystem real;
};

TEST_F(PdfOutputTest, AFolderAnotherJobMadeMeanwhileIsTaken) {
  RacedFileSystem files;
  Engine e(f.surface, f.surface, f.log, f.trap.dialogs, files, f.pictures, f.trap.clock);
  e.state.PdfFolder = base.path();
  PDFPrinterOn(e, writer, "invoice", "2024");
  EXPECT_EQ(writer.Value("Output"), Day() + "/2024/invoice.pdf");
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST_F(PdfOutputTest, AFileInTheWayOfTheDayFolderIsLeftAlone) {
  QFile file(Day());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  PDFPrinterOn(f.engine, writer, "a", "");
  EXPECT_TRUE(QFileInfo(Day()).isFile());
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST_F(PdfOutputTest, TheWriterIsFoundByACaseInsensitiveMatch) {
  writer.printerName = "pdf WRITER";
  PDFPrinterOn(f.engine, writer, "a", "");
  EXPECT_EQ(f.surface.DeviceName(), "PDF Writer");
  EXPECT_TRUE(f.Messages().isEmpty());
}

TEST_F(PdfOutputTest, AWriterMissingFromThePrinterListIsLoggedAndThePrinterStays) {
  writer.printerName = "Other Writer";
  PDFPrinterOn(f.engine, writer, "a", "");
  EXPECT_EQ(f.Messages(), QStringList{"Error with PDF Writer module"});
  EXPECT_EQ(f.surface.DeviceName(), "Office");
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST_F(PdfOutputTest, AWriterThatIsNotInstalledFailsEveryMemberCallThroughTheTrap) {
  writer.installed = false;
  PDFPrinterOn(f.engine, writer, "a", "");
  const QStringList errors = f.trap.Errors();
  ASSERT_EQ(errors.size(), 14);
  EXPECT_EQ(errors[0], "429 ActiveX component can't create object");
  EXPECT_EQ(errors[1], "424 Object required");
  EXPECT_EQ(errors[2], "429 ActiveX component can't create object");
  EXPECT_EQ(errors.count("424 Object required"), 12);
  EXPECT_EQ(f.Messages(), QStringList{"Error with PDF Writer module"});
  EXPECT_EQ(f.surface.DeviceName(), "Office");
}

TEST_F(PdfOutputTest, PrinterOffSwitchesBackByExactName) {
  f.surface.printers = QStringList{"office", "Office", "PDF Writer"};
  f.surface.current = 1;
  PDFPrinterOn(f.engine, writer, "a", "");
  ASSERT_EQ(f.surface.DeviceName(), "PDF Writer");
  PDFPrinterOff(f.engine);
  EXPECT_EQ(f.surface.current, 1);
}

TEST_F(PdfOutputTest, PrinterOffLeavesTheWriterWhenThePrinterHasVanished) {
  PDFPrinterOn(f.engine, writer, "a", "");
  f.surface.printers = QStringList{"PDF Writer"};
  f.surface.current = 0;
  PDFPrinterOff(f.engine);
  EXPECT_EQ(f.surface.DeviceName(), "PDF Writer");

  f.surface.printers.clear();
  f.surface.current = -1;
  PDFPrinterOff(f.engine);
  EXPECT_EQ(f.surface.current, -1);
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

// Without a PDF folder the day folder goes to the user's documents folder, or
// home when there is none, never to the root of the file system.
TEST_F(PdfOutputTest, NoPdfFolderUsesTheDocumentsFolderOrHome) {
#ifdef _WIN32
  // Windows' documents folder is a known folder that no variable of this
  // process moves: the day folder goes there, and the fall-back to home
  // (a user without one) is not shown here.
  std::printf("[ NOTE     ] the documents folder is the user's known folder: home without one is not shown on Windows\n");
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  ASSERT_TRUE(QFileInfo(documents).isDir()) << documents.toStdString();
  const bool dayExisted = QFileInfo::exists(documents + "/20261208");
  f.state.PdfFolder.clear();
  PDFPrinterOn(f.engine, writer, "a", "");
  EXPECT_EQ(writer.Value("Output"), documents + "/20261208/a.pdf");
  EXPECT_TRUE(QFileInfo(documents + "/20261208").isDir());
  if (!dayExisted) QDir(documents + "/20261208").removeRecursively();
  EXPECT_TRUE(f.trap.Errors().isEmpty());
  return;
#endif
  const QByteArray oldHome = qgetenv("HOME");
  const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("HOME", base.path().toUtf8());
  qputenv("XDG_CONFIG_HOME", (base.path() + "/config").toUtf8());
  f.state.PdfFolder.clear();

  PDFPrinterOn(f.engine, writer, "a", "");
  EXPECT_EQ(writer.Value("Output"), base.path() + "/20261208/a.pdf");
  EXPECT_TRUE(QFileInfo(base.path() + "/20261208").isDir());

  ASSERT_TRUE(QDir(base.path()).mkdir("Documents"));
  PDFPrinterOn(f.engine, writer, "b", "");
  EXPECT_EQ(writer.Value("Output"), base.path() + "/Documents/20261208/b.pdf");
  EXPECT_TRUE(QFileInfo(base.path() + "/Documents/20261208").isDir());

  qputenv("HOME", oldHome);
  if (oldConfig.isNull())
    qunsetenv("XDG_CONFIG_HOME");
  else
    qputenv("XDG_CONFIG_HOME", oldConfig);
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST_F(PdfOutputTest, TheDayFolderFollowsTheEngineClock) {
  f.trap.clock.now = QDateTime(QDate(2027, 1, 5), QTime(23, 59, 59));
  PDFPrinterOn(f.engine, writer, "a", "");
  EXPECT_TRUE(QFileInfo(base.path() + "/20270105").isDir());
  EXPECT_EQ(writer.Value("Output"), base.path() + "/20270105/a.pdf");
}

}  // namespace
}  // namespace zarn

namespace zarn {
namespace {

// Scripts come from any web page: a PDF name may not leave the day folder.
TEST_F(PdfOutputTest, HostileNamesStayInsideTheDayFolder) {
  struct Row {
    const char* name;
    const char* sub;
    QStringList errors;
    bool stamped;  // the file name was replaced by the time stamp
    const char* inDay = nullptr;  // the file below the day folder, when checked
  } rows[] = {
      {"y", "../../x", {"75 PDF sub-folder outside the PDF folder: ../../x"}, false},
      {"y", "/tmp", {"75 PDF sub-folder outside the PDF folder: /tmp"}, false},
      {"y", "C:\\Windows", {"75 PDF sub-folder outside the PDF folder: C:\\Windows"}, false},
      {"..\\..\\evil", "", {"75 PDF file name outside the PDF folder: ..\\..\\evil"}, true},
      {"/tmp/evil", "2024", {"75 PDF file name outside the PDF folder: /tmp/evil"}, true},
      {"a/../../b", "", {"75 PDF file name outside the PDF folder: a/../../b"}, true},
      {"..invoice", "2024..q1", {}, false},  // dots inside a name are fine
      {"lead", "\\invoices", {}, false, "/invoices/lead.pdf"},  // joined with its own "\"
      {"y", "\\\\server\\share", {"75 PDF sub-folder outside the PDF folder: \\\\server\\share"}, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(std::string(r.name) + " in " + r.sub);
    EngineFixture g;
    g.state.PdfFolder = base.path();
    FakePdfWriter w;
    PDFONLY(g.engine, w, r.name, r.sub);
    EXPECT_EQ(g.trap.Errors(), r.errors);
    const QString output = w.Value("Output");
    EXPECT_TRUE(output.startsWith(Day() + "/")) << output.toStdString();
    EXPECT_FALSE(output.contains("/../")) << output.toStdString();
    if (r.stamped) {
      // "-2" and on: the earlier rows' stamped files are there already.
      EXPECT_TRUE(QFileInfo(output).fileName().startsWith("2026-12-08-03-29-32")) << output.toStdString();
    }
    if (r.inDay) {
      EXPECT_EQ(output, Day() + r.inDay);
    }
  }
  // Nothing was created beside the PDF folder.
  EXPECT_EQ(QDir(base.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"20261208"});
}

}  // namespace
}  // namespace zarn
