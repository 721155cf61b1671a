// Our PDF writer printer: its automation objects and where documents go.
#include "qt/pdf_writer_printer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "errortrap/error.h"
#include "qt/qt_print_surface.h"
#include "tests/support/fakes.h"
#include "tests/support/poppler.h"

namespace zarn::testing {
namespace {

class PdfWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApp();
    ASSERT_TRUE(dir.isValid());
  }
  void Write(const QMap<QString, QString>& values, bool forNext = true,
             const QString& printer = PdfWriterPrinter::Name()) {
    auto settings = writer.CreatePDFSettings();
    settings->setPrintername(printer);
    for (auto it = values.begin(); it != values.end(); ++it) settings->setValue(it.key(), it.value());
    settings->WriteSettings(forNext);
  }
  void PrintOne(const QString& text = "page") {
    surface.Print(text);
    surface.EndDoc();
  }
  static QByteArray Head(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.read(5) : QByteArray();
  }
  static void Put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }

  QTemporaryDir dir;
  QStringList opened;
  FixedClock clock;
  PdfWriterPrinter writer{[this](const QString& p) { opened << p; }, dir.filePath("docs"), &clock};
  QtPrintSurface surface{writer, {}, {}};
};

TEST_F(PdfWriterTest, TheUtilNamesThePrinterTheListShows) {
  EXPECT_EQ(writer.CreatePDFUtil()->defaultprintername(), "zarn PDF Writer");
  EXPECT_EQ(surface.DeviceName(surface.Count() - 1), writer.CreatePDFUtil()->defaultprintername());
}

TEST_F(PdfWriterTest, OneShotSettingsServeTheNextDocumentOnly) {
  const QString target = dir.filePath("out.pdf");
  Write({{"Output", target}, {"ShowPDF", "YES"}, {"ConfirmOverwrite", "no"}, {"ShowSaveAS", "never"}});
  surface.Print("first");
  EXPECT_TRUE(opened.isEmpty());  // shown only when it is finished
  surface.EndDoc();
  EXPECT_EQ(Head(target), "%PDF-");
  EXPECT_EQ(opened, QStringList{target});

  // Without settings: the documents folder, a time-stamped name, a free one when taken.
  PrintOne();
  PrintOne();
  const QString docs = dir.filePath("docs");
  EXPECT_EQ(QDir(docs).entryList(QDir::Files, QDir::Name),
            (QStringList{"2026-12-08-03-29-32-2.pdf", "2026-12-08-03-29-32.pdf"}));
  EXPECT_EQ(opened.size(), 1);
  EXPECT_NE(FindWord(Words(target), "first"), nullptr);
}

TEST_F(PdfWriterTest, StandingSettingsServeEveryDocumentWithoutOneShotSettings) {
  const QString standing = dir.filePath("standing.pdf"), once = dir.filePath("once.pdf");
  Write({{"Output", standing}, {"ConfirmOverwrite", "no"}}, false);
  Write({{"Output", once}}, true);
  PrintOne("a");
  PrintOne("b");
  PrintOne("c");
  EXPECT_NE(FindWord(Words(once), "a"), nullptr);
  EXPECT_NE(FindWord(Words(standing), "c"), nullptr);
  EXPECT_FALSE(QDir(dir.filePath("docs")).exists());
}

TEST_F(PdfWriterTest, AnExistingFileIsReplacedOnlyWhenAllowed) {
  struct Row {
    const char* name;
    const char* confirm;  // nullptr: not set
    int answer;           // -1: no one to ask, 0 no, 1 yes
    bool replaced;
  };
  const Row rows[] = {
      {"no question", "no", -1, true},
      {"asked, yes", "yes", 1, true},
      {"asked, no", "yes", 0, false},
      {"nobody to ask", "yes", -1, false},
      {"not set", nullptr, -1, false},
  };
  int n = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const QString target = dir.filePath(QStringLiteral("exists%1.pdf").arg(++n));
    Put(target, "OLD");
    QStringList asked;
    if (r.answer >= 0)
      writer.SetOverwriteQuestion([&](const QString& p) { asked << p; return r.answer == 1; });
    else
      writer.SetOverwriteQuestion({});
    QMap<QString, QString> values{{"Output", target}};
    if (r.confirm) values.insert("ConfirmOverwrite", r.confirm);
    Write(values);
    PrintOne();
    const QString other = dir.filePath(QStringLiteral("exists%1-2.pdf").arg(n));
    EXPECT_EQ(Head(target), r.replaced ? "%PDF-" : "OLD");
    EXPECT_EQ(QFile::exists(other), !r.replaced);
    if (!r.replaced) {
      EXPECT_EQ(Head(other), "%PDF-");
    }
    EXPECT_EQ(asked.size(), r.answer >= 0 ? 1 : 0);
  }
}

TEST_F(PdfWriterTest, TheEarlierFileStaysWholeUntilTheNewOneIsComplete) {
  const QString target = dir.filePath("report.pdf");
  Put(target, "OLD");
  Write({{"Output", target}, {"ConfirmOverwrite", "no"}});
  surface.Print("new");
  EXPECT_EQ(Head(target), "OLD");
  surface.EndDoc();
  EXPECT_EQ(Head(target), "%PDF-");
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"report.pdf"});  // no temporary left
}

TEST_F(PdfWriterTest, AMissingFolderFailsTheFirstOutputAndKeepsTheSettingsForRetry) {
  const QString folder = dir.filePath("later");
  Write({{"Output", folder + "\\x.pdf"}});  // "\" as separator, as Windows scripts write it
  try {
    surface.Print("x");
    ADD_FAILURE() << "no error";
  } catch (const ZarnError& e) {
    EXPECT_EQ(e.number(), 76);
  }
  ASSERT_TRUE(writer.PendingSettings().has_value());
  ASSERT_TRUE(QDir().mkdir(folder));
  PrintOne();
  EXPECT_EQ(Head(folder + "/x.pdf"), "%PDF-");
  EXPECT_FALSE(writer.PendingSettings().has_value());
}

TEST_F(PdfWriterTest, SettingsForAnotherPrinterAreRefused) {
  try {
    Write({{"Output", dir.filePath("x.pdf")}}, true, "Office");
    ADD_FAILURE() << "no error";
  } catch (const ZarnError& e) {
    EXPECT_EQ(e.number(), 5);
  }
  EXPECT_FALSE(writer.PendingSettings().has_value());
  Write({{"Output", dir.filePath("x.pdf")}}, true, "ZARN pdf writer");  // names ignore case
  EXPECT_TRUE(writer.PendingSettings().has_value());
}

}  // namespace
}  // namespace zarn::testing
