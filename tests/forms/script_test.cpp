#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "engine/interpreter.h"
#include "engine/parse_print.h"
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

TEST(PaperSizeScript, ARptpszDataLineOfARepeatSectionReachesPaperSize) {
  ScriptFixture s;
  ParsePrint(s.f.engine, "SSD\nRPTFLD|NAME\nskipped\nRPTPSZ|10|15|Card\n", 0);
  EXPECT_TRUE(s.f.Messages().contains("PaperSize: Form 'Card' width:10 CM , Height:15 CM"))
      << s.f.Messages().join('\n').toStdString();
}

}  // namespace
}  // namespace zarn
