#include <gtest/gtest.h>

#include "engine/coordinates.h"
#include "engine/document.h"
#include "engine/drawing.h"
#include "tests/support/engine_fixture.h"

namespace zarn {
namespace {

using testing::EngineFixture;

TEST(DrawBox, RoundedFilledAndBorderedInOrder) {
  EngineFixture f;
  SetMargin(f.engine, 200, 100);
  f.surface.Take();
  DrawBox(f.engine, 0, 0, 1000, 400, 10, 5, "#FF0000", 1, 0);
  EXPECT_EQ(f.surface.Take(), QStringList({
                                  "DrawStyle 0",
                                  "FillStyle 0",
                                  "FillColor 255",
                                  "Line 100 240 1100 560 255 FilledBox",
                                  "Line 140 200 1060 600 255 FilledBox",
                                  "Circle 140 240 40 255",
                                  "Circle 1060 240 40 255",
                                  "Circle 140 560 40 255",
                                  "Circle 1060 560 40 255",
                                  "DrawWidth 5",
                                  "Line 100 240 100 560 255 Segment",
                                  "Line 140 200 1060 200 255 Segment",
                                  "Line 140 600 1060 600 255 Segment",
                                  "Line 1100 240 1100 560 255 Segment",
                                  "Arc 140 240 40 255 1.5707964 3.1415927",
                                  "Arc 1060 240 40 255 0 1.5707964",
                                  "Arc 140 560 40 255 3.1415927 4.712389",
                                  "Arc 1060 560 40 255 4.712389 6.2831855",
                              }));
  // Nothing is put back: the fill stays solid in the box colour.
  EXPECT_EQ(f.surface.printer.fillStyle, 0);
  EXPECT_EQ(f.surface.printer.fillColor, 255u);
  EXPECT_EQ(f.surface.printer.drawWidth, 5);
}

TEST(DrawBox, SquareBoxFillsWithTheColourItself) {
  EngineFixture f;
  f.surface.SetDrawStyle(2);
  f.surface.Take();
  DrawBox(f.engine, 100, 200, 300, 400, 0, 3, "#00FF00", 1, 0);
  EXPECT_EQ(f.surface.Take(), QStringList({"DrawStyle 0", "Line 100 200 400 600 65280 FilledBox", "DrawWidth 3",
                                           "Line 100 200 400 600 65280 BoxOutline"}));
  EXPECT_EQ(f.surface.printer.fillStyle, 1);  // untouched

  DrawBox(f.engine, 100, 200, 300, 400, -5, 0, "#00FF00", 0, 0);
  EXPECT_EQ(f.surface.Take(), QStringList({"DrawStyle 0"}));
}

TEST(DrawBox, RadiusFromTheShorterSideHalfToEven) {
  struct Row {
    int32_t w, h, percent;
    const char* circle;  // the first disc
  } rows[] = {
      {1000, 400, 10, "Circle 40 40 40 0"},
      {400, 1000, 10, "Circle 40 40 40 0"},
      {300, 500, 5, "Circle 15 15 15 0"},
      {250, 250, 1, "Circle 2 2 2 0"},
      {100, 100, 50, "Circle 50 50 50 0"},
      {10, 10, 1, "Circle 0 0 0 0"},
  };
  for (const Row& r : rows) {
    EngineFixture f;
    DrawBox(f.engine, 0, 0, r.w, r.h, r.percent, 0, "#000000", 1, 0);
    const QStringList calls = f.surface.Take();
    ASSERT_EQ(calls.size(), 9) << r.w << "x" << r.h;
    EXPECT_EQ(calls[5], r.circle) << r.w << "x" << r.h << " " << r.percent;
  }
}

TEST(DrawBox, OverflowDropsOnlyTheCallsThatNeedTheSum) {
  EngineFixture f;
  DrawBox(f.engine, 2147483000, 0, 1000, 100, 0, 1, "#000000", 1, 0);
  EXPECT_EQ(f.trap.Errors(), QStringList({"6 Overflow", "6 Overflow"}));
  EXPECT_EQ(f.surface.Take(), QStringList({"DrawStyle 0", "DrawWidth 1"}));
  DrawBox(f.engine, 0, 0, 10, 10, 0, 40000, "#000000", 0, 0);
  EXPECT_EQ(f.trap.Errors().size(), 3);
}

TEST(DrawLine, NegativeMeansTheLastPosition) {
  EngineFixture f;
  SetMargin(f.engine, 30, 50);
  SFX(f.engine, 1000);
  SFY(f.engine, 2000);
  f.surface.Take();
  DrawLine(f.engine, -1, -1, 0, 0, 20, "#0000FF", 3);
  EXPECT_EQ(f.surface.Take(),
            QStringList({"DrawStyle 3", "DrawWidth 20", "Line 1000 2000 1050 2030 16711680 Segment"}));
  EXPECT_EQ(f.surface.printer.drawWidth, 20);
  EXPECT_EQ(f.surface.printer.drawStyle, 3);
}

TEST(DrawLine, SixteenBitSettingsOverflow) {
  EngineFixture f;
  DrawLine(f.engine, 0, 0, 10, 0, 32768, "#000000", -32769);
  EXPECT_EQ(f.trap.Errors(), QStringList({"6 Overflow", "6 Overflow"}));
  EXPECT_EQ(f.surface.Take(), QStringList({"Line 0 0 10 0 0 Segment"}));
}

}  // namespace
}  // namespace zarn
