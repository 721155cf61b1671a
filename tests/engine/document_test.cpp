#include <gtest/gtest.h>

#include "engine/coordinates.h"
#include "engine/document.h"
#include "engine/fonts.h"
#include "engine/text.h"
#include "tests/support/engine_fixture.h"

namespace zarn {
namespace {

using testing::EngineFixture;

TEST(PrinterPattern, Table) {
  struct Row {
    const char16_t* text;
    const char16_t* pattern;
    bool match;
  } rows[] = {
      {u"office", u"office", true},        {u"office", u"offic", false},      {u"office", u"*", true},
      {u"", u"*", true},                   {u"office", u"of*e", true},        {u"office", u"*ice", true},
      {u"office", u"*x*", false},          {u"office", u"o?fice", true},      {u"office", u"o?ice", false},
      {u"hp4", u"hp#", true},              {u"hpx", u"hp#", false},           {u"hp4", u"hp[0-5]", true},
      {u"hp7", u"hp[0-5]", false},         {u"hp7", u"hp[!0-5]", true},       {u"hp4", u"hp[!0-5]", false},
      {u"hpb", u"hp[abc]", true},          {u"hp-", u"hp[a-]", true},         {u"a[b", u"a[b", true},
      {u"abcabd", u"*abd", true},          {u"printer 2", u"printer #", true}, {u"x", u"", false},
  };
  for (const auto& r : rows)
    EXPECT_EQ(MatchesPattern(r.text, r.pattern), r.match)
        << QString::fromUtf16(r.text).toStdString() << " ~ " << QString::fromUtf16(r.pattern).toStdString();
}

TEST(DeviceName, ExistenceCheckIsCaseInsensitiveButTheSwitchNeedsTheExactName) {
  EngineFixture f({"Office", "Label Printer"});
  EXPECT_EQ(DeviceName(f.engine, "label printer"), -1);
  EXPECT_EQ(f.surface.DeviceName(), "Office");  // not switched
  EXPECT_EQ(f.state.LastDeviceName, "Office");  // but overwritten
  EXPECT_EQ(DeviceName(f.engine, "Label*"), -1);
  EXPECT_EQ(f.surface.DeviceName(), "Office");
  EXPECT_EQ(DeviceName(f.engine, "Label Printer"), -1);
  EXPECT_EQ(f.surface.DeviceName(), "Label Printer");
}

TEST(DeviceName, MissingPrinterIsLoggedAndKeepsTheCurrentOne) {
  EngineFixture f({"Office"});
  EXPECT_EQ(DeviceName(f.engine, "Nowhere"), 0);
  EXPECT_EQ(f.Messages(), QStringList({"Device 'Nowhere' not exists!"}));
  EXPECT_EQ(f.surface.DeviceName(), "Office");
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST(DeviceName, DefaultBeforeAnySwitchNamesNoPrinter) {
  EngineFixture f({"Office"});
  EXPECT_EQ(DeviceName(f.engine, "DeFault"), 0);
  EXPECT_EQ(DeviceName(f.engine, ""), 0);
  EXPECT_EQ(f.Messages(), QStringList({"Device '' not exists!", "Device '' not exists!"}));
}

TEST(DeviceName, DefaultAlternatesBetweenTheTwoMostRecentPrinters) {
  EngineFixture f({"A", "B"});
  DeviceName(f.engine, "B");
  EXPECT_EQ(f.surface.DeviceName(), "B");
  DeviceName(f.engine, "default");
  EXPECT_EQ(f.surface.DeviceName(), "A");
  DeviceName(f.engine, "default");
  EXPECT_EQ(f.surface.DeviceName(), "B");
}

TEST(PrinterIndex, EmptyListFindsNothing) {
  EngineFixture f(QStringList{});
  EXPECT_EQ(PrinterIndex(f.engine, "*"), -1);
  EXPECT_EQ(PrinterIndex(f.engine, ""), -1);
}

TEST(StartDoc, SettingsPageBottomAndPageOpening) {
  struct Row {
    const char* orientation;
    const char* paper;
    QStringList calls;
    int32_t pageBottom;
  } rows[] = {
      {"P", "A4", {"EndDoc", "PaperSize 9", "Orientation 1", "Copies 2", "PageOpen 0", "Print 0 0 ", "PageOpen 1"},
       16000},
      {"L", "A4", {"EndDoc", "PaperSize 9", "Orientation 2", "Copies 2", "PageOpen 0", "Print 0 0 ", "PageOpen 1"},
       9999999},
      {"P", "A5", {"EndDoc", "PaperSize 11", "Orientation 1", "Copies 2", "PageOpen 0", "Print 0 0 ", "PageOpen 1"},
       9999999},
      {"p", "a4", {"EndDoc", "Copies 2", "PageOpen 0", "Print 0 0 ", "PageOpen 1"}, 9999999},
  };
  for (const auto& r : rows) {
    EngineFixture f;
    f.state.LastY = 50;
    f.state.MarginLeft = 7;
    EXPECT_EQ(StartDoc(f.engine, r.orientation, r.paper, 2), -1);
    EXPECT_EQ(f.surface.Take(), r.calls) << r.orientation << r.paper;
    EXPECT_EQ(f.state.PageBottom, r.pageBottom);
    EXPECT_EQ(f.state.LastY, 0);
    EXPECT_EQ(f.state.MarginLeft, 0);
  }
}

TEST(StartDoc, CopiesOutsideSixteenBitsIsTrappedAndTheRestStillRuns) {
  EngineFixture f;
  StartDoc(f.engine, "P", "A4", 40000);
  EXPECT_EQ(f.trap.Errors(), QStringList({"6 Overflow"}));
  EXPECT_TRUE(f.trap.LogLines().value(0).contains("Location: zarn.mPRINTSCRIPT.StartDoc"));
  EXPECT_EQ(f.surface.calls.last(), "PageOpen 1");
}

TEST(SetMargin, ResetsOriginButKeepsLastPosition) {
  EngineFixture f;
  SFX(f.engine, 300);
  SFY(f.engine, 400);
  SetMargin(f.engine, 10, 20);
  EXPECT_EQ(f.state.MarginTop, 10);
  EXPECT_EQ(f.state.MarginLeft, 20);
  EXPECT_EQ(f.state.OriginX, 0);
  EXPECT_EQ(f.state.OriginY, 0);
  EXPECT_EQ(f.state.LastX, 300);
  EXPECT_EQ(f.state.LastY, 400);
  SFXR(f.engine, 5);
  EXPECT_EQ(f.state.OriginX, 305);
}

TEST(Document, SimpleStartDocNewPageEndDocTouchOnlyTheSurface) {
  EngineFixture f;
  f.state.LastY = 123;
  EXPECT_EQ(SimpleStartDoc(f.engine), 0);
  EXPECT_EQ(NewPage(f.engine), -1);
  EXPECT_EQ(EndDoc(f.engine), -1);
  EXPECT_EQ(f.surface.Take(), QStringList({"EndDoc", "NewPage", "EndDoc"}));
  EXPECT_EQ(f.state.LastY, 123);
}

// The surface's position and settings reset as paper's do, PrintState not:
// after a page turn a simple print starts at the top-left corner, and a
// printer change also brings back the default font.
TEST(Document, NewPageAndAPrinterChangeResetTheSurfaceButNotPrintState) {
  EngineFixture f;
  StartDoc(f.engine, "P", "A4", 1);
  SimplePrint(f.engine, "a");
  f.state.LastY = 777;
  NewPage(f.engine);
  SimplePrint(f.engine, "b");
  SetFont(f.engine, "Courier", 20, 0, 0);
  DeviceName(f.engine, "PDF Writer");
  SimplePrint(f.engine, "c");
  QStringList prints;
  for (const QString& call : f.surface.Take())
    if (call.startsWith("Print")) prints << call;
  EXPECT_EQ(prints, QStringList({"Print 0 0 ", "Print 0 200 a", "Print 0 0 b", "Print 0 0 c"}));
  EXPECT_EQ(f.surface.TextWidth("c"), 100);  // Arial 10 again
  EXPECT_EQ(f.state.LastY, 777);
}

}  // namespace
}  // namespace zarn
