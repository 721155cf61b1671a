#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "forms/form_store.h"
#include "forms/paper_size.h"
#include "linux/file_form_spooler.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/form_fakes.h"
#include "tests/support/qstring_printer.h"

namespace zarn {
namespace {

using testing::Form;

// "Office" lists Letter first, so A4 is a built-in form that is not first.
struct PaperFixture {
  explicit PaperFixture(QStringList surfacePrinters = {"Office", "PDF Writer"})
      : f(std::move(surfacePrinters)), spooler(pages, f.surface, dir.path()), rec(spooler) {
    pages.printers = {{"Office", {Form("Letter", 215900, 279400), Form("A4", 210000, 297000),
                                  Form("A5", 148000, 210000)}},
                      {"Labels", {Form("Half", 148500, 297000), Form("Tiny", 10000, 10000)}},
                      {"PDF Writer", StandardPageSizes()}};
    f.engine.PaperSize = BindPaperSize(f.engine, rec);
  }
  // Puts a mark in every field PaperSize resets.
  void MarkState() {
    f.state.OriginX = 11;
    f.state.OriginY = 12;
    f.state.MarginTop = 13;
    f.state.MarginLeft = 14;
    f.state.LastX = 15;
    f.state.LastY = 16;
  }
  int16_t Run(int32_t width, int32_t height, QString name) { return f.engine.PaperSize(width, height, name); }

  testing::EngineFixture f;
  QTemporaryDir dir;
  testing::FakePrinterPageSizes pages;
  FileFormSpooler spooler;
  testing::RecordingFormSpooler rec;
};

void ExpectStateCleared(const PrintState& s) {
  EXPECT_EQ(s.OriginX, 0);
  EXPECT_EQ(s.OriginY, 0);
  EXPECT_EQ(s.MarginTop, 0);
  EXPECT_EQ(s.MarginLeft, 0);
  EXPECT_EQ(s.LastX, 0);
  EXPECT_EQ(s.LastY, 0);
}

const QStringList kPageOpening = {"PageOpen 0", "Print 0 0 ", "PageOpen 1"};

TEST(PaperSize, AFreshFormIsAddedAppliedAndThePageOpened) {
  PaperFixture p;
  p.MarkState();
  EXPECT_EQ(p.Run(10, 15, "MyForm"), -1);
  EXPECT_EQ(p.f.Messages(), QStringList({"PaperSize:'W=10, H=15, FormName=MyForm'", "PaperSize: DeleteFormTrue",
                                         "PaperSize:3 Forms Found.", "PaperSize: AddFormTrue",
                                         "PaperSize: DefaultFormTrue", "PaperSize: Form 'MyForm' width:10 CM , Height:15 CM"}));
  EXPECT_EQ(p.f.surface.Take(), QStringList({"FormSize MyForm 100000 150000"}) + kPageOpening);
  ExpectStateCleared(p.f.state);
  EXPECT_EQ(p.rec.openHandles, 0);
  EXPECT_TRUE(p.f.trap.Errors().isEmpty());
}

TEST(PaperSize, ABuiltInFormThatIsNotFirstStopsAfterThreeLines) {
  PaperFixture p;
  p.MarkState();
  EXPECT_EQ(p.Run(21, 30, "a4"), 0);
  EXPECT_EQ(p.f.Messages(), QStringList({"PaperSize:'W=21, H=30, FormName=a4'", "PaperSize: DeleteFormTrue",
                                         "PaperSize:3 Forms Found."}));
  EXPECT_TRUE(p.f.surface.calls.isEmpty());
  EXPECT_EQ(p.f.state.OriginX, 11);
  EXPECT_EQ(p.f.state.LastY, 16);
  EXPECT_EQ(GetFormNames(p.spooler, "Office"), QStringList({"Letter", "A4", "A5"}));
}

TEST(PaperSize, TheFirstFormCountsAsAbsentAndIsAppliedAtItsStoredSize) {
  PaperFixture p;
  EXPECT_EQ(p.Run(10, 15, "LETTER"), -1);
  EXPECT_EQ(p.f.Messages().mid(3), QStringList({"PaperSize: AddFormFalse", "PaperSize: DefaultFormTrue",
                                                "PaperSize: Form 'LETTER' width:21.59 CM , Height:27.94 CM"}));
  EXPECT_EQ(p.f.surface.Take(), QStringList({"FormSize Letter 215900 279400"}) + kPageOpening);
}

TEST(PaperSize, TheSizeLineUsesTheShortestDecimalForm) {
  PaperFixture p({"Labels"});
  p.Run(1, 1, "half");
  EXPECT_EQ(p.f.Messages().last(), "PaperSize: Form 'half' width:14.85 CM , Height:29.7 CM");
}

TEST(PaperSize, TheSameNameAgainReplacesTheFormWithTheNewSize) {
  PaperFixture p;
  p.Run(10, 15, "MyForm");
  p.f.log.Clear();
  p.f.surface.Take();
  p.f.surface.printer.y = 0;  // the first page's empty line moved it down
  EXPECT_EQ(p.Run(20, 30, "myform"), -1);
  EXPECT_EQ(p.f.Messages(), QStringList({"PaperSize:'W=20, H=30, FormName=myform'", "PaperSize: DeleteFormTrue",
                                         "PaperSize:3 Forms Found.", "PaperSize: AddFormTrue",
                                         "PaperSize: DefaultFormTrue", "PaperSize: Form 'myform' width:20 CM , Height:30 CM"}));
  EXPECT_EQ(p.f.surface.Take(), QStringList({"FormSize myform 200000 300000"}) + kPageOpening);
  EXPECT_EQ(GetFormNames(p.spooler, "Office"), QStringList({"Letter", "A4", "A5", "myform"}));
}

TEST(PaperSize, TheFormStoreCallsGoToTheCurrentPrinter) {
  PaperFixture p;
  p.f.surface.Select(1);
  p.Run(10, 15, "MyForm");
  EXPECT_EQ(p.f.Messages()[2], QString("PaperSize:%1 Forms Found.").arg(StandardPageSizes().size()));
  EXPECT_EQ(GetFormNames(p.spooler, "PDF Writer").last(), "MyForm");
  EXPECT_EQ(GetFormNames(p.spooler, "Office").size(), 3);
  for (const QString& call : p.rec.calls)
    if (call.startsWith("Open")) {
      EXPECT_EQ(call, "Open PDF Writer 1");
    }
}

TEST(PaperSize, WidthsUpTo214748CentimetresConvertOneMoreOverflows) {
  {
    PaperFixture p;
    EXPECT_EQ(p.Run(214748, -214748, "Huge"), -1);
    EXPECT_TRUE(p.f.trap.Errors().isEmpty());
    EXPECT_EQ(p.f.Messages()[0], "PaperSize:'W=214748, H=-214748, FormName=Huge'");
    // The spooler refuses a negative sheet, so the requested size is reported.
    EXPECT_EQ(p.f.Messages().mid(3), QStringList({"PaperSize: AddFormFalse", "PaperSize: DefaultFormTrue",
                                                  "PaperSize: Form 'Huge' width:214748 CM , Height:-214748 CM"}));
  }
  {
    PaperFixture p;
    EXPECT_EQ(p.Run(214749, 15, "Huge"), -1);  // Ignore goes on past the failed step
    EXPECT_EQ(p.f.trap.Errors(), QStringList({"6 Overflow"}));
    EXPECT_TRUE(p.f.trap.LogLines().value(0).contains("Location: zarn.mPRINTSCRIPT.PaperSize"));
    EXPECT_EQ(p.f.Messages().mid(0, 2),
              QStringList({"PaperSize:'W=214749, H=15, FormName=Huge'", "PaperSize: DeleteFormTrue"}));
    EXPECT_EQ(p.f.Messages().value(3), "PaperSize: AddFormFalse");
  }
  {
    PaperFixture p;
    EXPECT_EQ(p.Run(15, -214749, "Huge"), -1);
    EXPECT_EQ(p.f.trap.Errors(), QStringList({"6 Overflow"}));
  }
}

TEST(PaperSize, RetryOnTheOverflowRunsTheConversionAgain) {
  PaperFixture p;
  p.f.trap.dialogs.answers = {TrapChoice::Retry, TrapChoice::Ignore};
  p.Run(214749, 15, "Huge");
  EXPECT_EQ(p.f.trap.Errors(), QStringList({"6 Overflow", "6 Overflow"}));  // retried once
}

TEST(PaperSize, AnUnknownPrinterLogsFalseAndStillOpensThePage) {
  PaperFixture p({"Ghost"});
  p.MarkState();
  EXPECT_EQ(p.Run(10, 15, "MyForm"), -1);
  EXPECT_EQ(p.f.Messages(), QStringList({"PaperSize:'W=10, H=15, FormName=MyForm'", "PaperSize: DeleteFormFalse",
                                         "PaperSize:0 Forms Found.", "PaperSize: AddFormFalse",
                                         "PaperSize: DefaultFormFalse", "PaperSize: Form 'MyForm' width:10 CM , Height:15 CM"}));
  EXPECT_EQ(p.f.surface.Take(), kPageOpening);
  ExpectStateCleared(p.f.state);
}

}  // namespace
}  // namespace zarn
