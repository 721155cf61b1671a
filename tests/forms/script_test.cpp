#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "engine/interpreter.h"
#include "engine/parse_print.h"
#include "forms/form_store.h"
#include "forms/paper_size.h"
#include "linux/file_form_spooler.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/form_fakes.h"
#include "tests/support/qstring_printer.h"

namespace zarn {
namespace {

struct ScriptFixture {
  ScriptFixture() : spooler(pages, f.surface, dir.path()) {
    pages.printers = {{"Office", {testing::Form("Letter", 215900, 279400)}}};
    f.engine.PaperSize = BindPaperSize(f.engine, spooler);
  }
  testing::EngineFixture f{{"Office"}};
  QTemporaryDir dir;
  testing::FakePrinterPageSizes pages;
  FileFormSpooler spooler;
};

TEST(PaperSizeScript, PszLinesInAnyCaseReachPaperSize) {
  ScriptFixture s;
  s.f.state.MarginTop = 500;
  ExecutePrintScript(s.f.engine, "SSD\r\npsz|10|15|MyForm\r\nRPTPSZ|12.5|20|Card\r\n", 0, 0);
  const QStringList calls = s.f.surface.Take();
  EXPECT_TRUE(calls.contains("FormSize MyForm 100000 150000")) << calls.join('\n').toStdString();
  EXPECT_TRUE(calls.contains("FormSize Card 120000 200000")) << calls.join('\n').toStdString();  // 12.5 -> 12
  EXPECT_EQ(s.f.state.MarginTop, 0);
  EXPECT_EQ(s.f.Messages().filter("width:"),
            QStringList({"PaperSize: Form 'MyForm' width:10 CM , Height:15 CM",
                         "PaperSize: Form 'Card' width:12 CM , Height:20 CM"}));
}

TEST(PaperSizeScript, AFullStoreGivesUpItsLeastUsedFormAndTakesTheNewOne) {
  ScriptFixture s;
  QString script;
  for (int i = 0; i < kMaxUserForms; ++i) script += QString("PSZ|10|5|label %1\r\n").arg(i);
  script += "PSZ|10|5|label 0\r\n";  // used again: now "label 1" is the least used
  ExecutePrintScript(s.f.engine, script, 0, 0);
  ASSERT_EQ(GetFormNames(s.spooler, "Office").size(), 1 + kMaxUserForms);
  s.f.log.Clear();
  s.f.surface.Take();

  ExecutePrintScript(s.f.engine, "PSZ|10|5|shipping label\r\n", 0, 0);
  const QStringList messages = s.f.Messages();
  EXPECT_TRUE(messages.contains("PaperSize: Form store full, DeleteForm 'label 1' (used least recently)"))
      << messages.join('\n').toStdString();
  EXPECT_TRUE(messages.contains("PaperSize: AddFormTrue"));
  EXPECT_TRUE(s.f.surface.Take().contains("FormSize shipping label 100000 50000"));
  const QStringList names = GetFormNames(s.spooler, "Office");
  EXPECT_EQ(names.size(), 1 + kMaxUserForms);
  EXPECT_EQ(names.first(), "Letter");  // built-in forms stay
  EXPECT_FALSE(names.contains("label 1"));
  EXPECT_TRUE(names.contains("label 0"));
  EXPECT_EQ(names.last(), "shipping label");
}

TEST(PaperSizeScript, ARptpszDataLineOfARepeatSectionReachesPaperSize) {
  ScriptFixture s;
  ParsePrint(s.f.engine, "SSD\nRPTFLD|NAME\nskipped\nRPTPSZ|10|15|Card\n", 0);
  EXPECT_TRUE(s.f.Messages().contains("PaperSize: Form 'Card' width:10 CM , Height:15 CM"))
      << s.f.Messages().join('\n').toStdString();
}

}  // namespace
}  // namespace zarn
