#include <gtest/gtest.h>

#include "engine/coordinates.h"
#include "engine/document.h"
#include "engine/fonts.h"
#include "tests/support/engine_fixture.h"

namespace zarn {
namespace {

using testing::EngineFixture;

TEST(Resolve, NegativeMeansLastPositionOtherwiseOriginPlusMargin) {
  PrintState s;
  s.LastX = 1000;
  s.LastY = 2000;
  s.OriginX = 10;
  s.OriginY = 20;
  s.MarginLeft = 100;
  s.MarginTop = 200;
  EXPECT_EQ(ResolveX(s, -1), 1000);
  EXPECT_EQ(ResolveX(s, 0), 110);
  EXPECT_EQ(ResolveX(s, 5), 115);
  EXPECT_EQ(ResolveY(s, -7), 2000);
  EXPECT_EQ(ResolveY(s, 0), 220);
  s.MarginLeft = 2147483647;
  EXPECT_THROW(ResolveX(s, 1), ZarnError);
}

TEST(SFYR, TurnsThePageOnlyPastThePageBottom) {
  struct Row {
    int32_t dy;
    bool turns;
  } rows[] = {{16000, false}, {16001, true}};
  for (const auto& r : rows) {
    EngineFixture f;
    StartDoc(f.engine, "P", "A4", 1);
    SetMargin(f.engine, 300, 0);
    f.surface.Take();
    SFYR(f.engine, r.dy);
    EXPECT_EQ(f.surface.Take().contains("NewPage"), r.turns) << r.dy;
    EXPECT_EQ(f.state.LastY, r.turns ? 300 : 16000);
    EXPECT_EQ(f.state.OriginY, r.turns ? 0 : 16000);
  }
}

TEST(SFYR, BeforeAnyDocumentThePageBottomIsZero) {
  EngineFixture f;
  f.state.MarginTop = 50;
  SFYR(f.engine, 1);
  EXPECT_EQ(f.surface.Take(), QStringList({"NewPage"}));
  EXPECT_EQ(f.state.LastY, 50);
}

TEST(SFXR, OverflowIsTrappedAndLeavesTheOriginAlone) {
  EngineFixture f;
  SFX(f.engine, 2147483647);
  f.state.OriginX = 5;
  SFXR(f.engine, 1);
  EXPECT_EQ(f.trap.Errors(), QStringList({"6 Overflow"}));
  EXPECT_EQ(f.state.OriginX, 5);
  EXPECT_EQ(f.state.LastX, 5);  // the next step still ran
}

TEST(FixPos, CentreAndRightRoundHalfToEven) {
  EngineFixture f;
  // Recording metrics: 100 twips per character at 10 pt.
  struct Row {
    const char* text;
    int32_t x, width;
    const char* align;
    int16_t result;
  } rows[] = {
      {"ab", 100, 205, "C", 102},   // 100 + 5 / 2 = 102.5 -> 102
      {"ab", 100, 207, "C", 104},   // 103.5 -> 104
      {"ab", 100, 300, "R", 200},
      {"abcd", 100, 200, "C", 0 + 100 - 100},  // wider than the area: left of x by half the excess
      {"abcd", 100, 200, "R", -100},
      {"ab", 100, 300, "c", 0},
      {"ab", 100, 300, "L", 0},
  };
  for (const auto& r : rows) EXPECT_EQ(FixPos(f.engine, r.text, r.x, r.width, r.align), r.result) << r.text << r.align;
  EXPECT_EQ(FixPos(f.engine, "a", 40000, 0, "R"), 0);
  EXPECT_EQ(f.trap.Errors(), QStringList({"6 Overflow"}));
}

TEST(HTML2RGB, Codes) {
  testing::ScopedTrapHost t;
  struct Row {
    const char* code;
    uint32_t value;
  } rows[] = {
      {"#FF0000", 255}, {"FF0000", 255}, {"#0000ff", 16711680}, {"", 0},     {"#F00", 240},
      {"#1G0000", 1},   {"FF#0000", 255}, {"#FFFFFF", 16777215}, {"#00FF00xyz", 65280}, {"#", 0},
  };
  for (const auto& r : rows) EXPECT_EQ(HTML2RGB(r.code), r.value) << r.code;
}

TEST(SetFont, NameBeforeSizeAndAnyNonZeroSwitchesOn) {
  EngineFixture f;
  EXPECT_EQ(SetFont(f.engine, "Courier", 12, 2, 0), -1);
  SetFont(f.engine, "Courier", 12, -1, 5);
  EXPECT_EQ(f.surface.Take(), QStringList({"FontName Courier", "FontSize 12", "FontBold 1", "FontItalic 0",
                                            "FontName Courier", "FontSize 12", "FontBold 1", "FontItalic 1"}));
  SetForeColor(f.engine, "#0000FF");
  EXPECT_EQ(f.surface.printer.foreColor, 16711680u);
}

}  // namespace
}  // namespace zarn
