#include <gtest/gtest.h>

#include "engine/coordinates.h"
#include "engine/document.h"
#include "engine/text.h"
#include "tests/support/engine_fixture.h"

namespace zarn {
namespace {

using testing::EngineFixture;

// Metrics of the recording surface at 10 pt: 100 twips a character, 200 a line.

TEST(SplitLines, WordWrapRules) {
  struct Row {
    const char* name;
    QString text;
    int32_t width;
    QStringList lines;
  } rows[] = {
      {"fits: one untrimmed line", " aaa  bbb ", 1000, {" aaa  bbb "}},
      {"fits but CR breaks", "ab\rcd", 1000, {"ab", "cd"}},
      {"CR LF: the LF is skipped", "ab\r\ncd", 1000, {"ab", "cd"}},
      {"exactly the width stays on the line", "aaa bbb ccc", 700, {"aaa bbb", "ccc"}},
      {"LF joins words", "ab\ncd ef", 500, {"abcd", "ef"}},
      {"TAB is a space", "ab\tcd ef", 500, {"ab cd", "ef"}},
      {"inner spaces stay, outer ones go", "a  b   cccccc  ", 400, {"a  b", "cccccc"}},
      {"over-wide first word: empty first line", "abcdefgh ab", 500, {"", "abcdefgh", "ab"}},
      {"over-wide word alone", "ab abcdefgh ab", 500, {"ab", "abcdefgh", "ab"}},
      {"other control characters are skipped", QString("ab\x01" "cd ef"), 500, {"abcd", "ef"}},
      {"negative width: every word a line", "a b", -1, {"", "a", "b"}},
  };
  for (const Row& r : rows) {
    EngineFixture f;
    EXPECT_EQ(SplitLines(f.engine, r.text, r.width), r.lines) << r.name;
    EXPECT_TRUE(f.trap.Errors().isEmpty()) << r.name;
  }
}

TEST(SplitLines, PositionsAreSixteenBit) {
  EngineFixture f;
  QString text;
  while (text.size() < 32767) text += "abcd ";
  text.truncate(32767);
  // Every break falls on a single blank, so joining the lines with one blank
  // gives back the text.
  QStringList lines = SplitLines(f.engine, text, 1000);
  EXPECT_TRUE(f.trap.Errors().isEmpty());
  EXPECT_EQ(lines.join(u' '), text);

  // One character more: the wrap stops with an Overflow. The lines up to the
  // limit are kept; the word that crosses it ("ab" + "xyz") is not.
  lines = SplitLines(f.engine, text + "xyz", 1000);
  EXPECT_EQ(f.trap.Errors(), QStringList({"6 Overflow"}));
  EXPECT_EQ(lines.join(u' '), text.left(32764));
}

TEST(FixTextArea, CutOrWrapIntoTheArea) {
  struct Row {
    const char* name;
    QString text;
    int32_t width, height, wrap;
    QStringList lines;
  } rows[] = {
      {"fits, line breaks included", "ab\r\ncd", 600, 0, 0, {"ab\r\ncd"}},
      {"cut from the end", "Hello", 300, 200, 0, {"Hel"}},
      {"negative width cuts to nothing", "Hello", -5, 200, 0, {""}},
      {"lines that do not fit are dropped", "aaa bbb ccc", 300, 500, 1, {"aaa", "bbb"}},
      {"exactly the height", "aaa bbb ccc", 300, 600, 1, {"aaa", "bbb", "ccc"}},
      {"lower than one line: nothing", "aaa bbb ccc", 300, 199, 1, {}},
  };
  for (const Row& r : rows) {
    EngineFixture f;
    EXPECT_EQ(FixTextArea(f.engine, r.text, r.width, r.height, r.wrap), r.lines) << r.name;
    EXPECT_TRUE(f.trap.Errors().isEmpty()) << r.name;
  }
}

TEST(FixTextArea, LongTextIsCutToTheSamePrefix) {
  EngineFixture f;
  const QString text = QString(100000, u'x');
  struct Row {
    int32_t width;
    qsizetype kept;
  } rows[] = {{1000, 10}, {1050, 10}, {99, 0}, {-1, 0}, {9999999, 99999}, {0, 0}};
  for (const Row& r : rows)
    EXPECT_EQ(FixTextArea(f.engine, text, r.width, 200, 0), QStringList({QString(r.kept, u'x')})) << r.width;
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST(PrintText, OnlyWhatAPageCanShowIsLaidOut) {
  EngineFixture f;
  f.surface.Take();
  PrintText(f.engine, 0, 0, QString(30 * 1024 * 1024, u'x'), 0, 0, "L", 0, "-");
  const QStringList calls = f.surface.Take();
  ASSERT_EQ(calls.size(), 1);
  EXPECT_EQ(calls[0].size(), QString("Print 0 0 ").size() + 32768);
}

TEST(PrintText, WrappedLinesAlignedInTheArea) {
  struct Row {
    const char* align;
    QStringList calls;
  } rows[] = {
      {"L", {"Print 50 100 aaa bbb", "Print 50 300 ccc"}},
      {"C", {"Print 50 100 aaa bbb", "Print 250 300 ccc"}},
      {"R", {"Print 50 100 aaa bbb", "Print 450 300 ccc"}},
      {"c", {"Print 0 100 aaa bbb", "Print 0 300 ccc"}},  // not an alignment: FixPos gives 0
  };
  for (const Row& r : rows) {
    EngineFixture f;
    SetMargin(f.engine, 100, 50);
    f.surface.Take();
    EXPECT_EQ(PrintText(f.engine, 0, 0, "aaa bbb ccc", 700, 1000, r.align, 1, "-"), -1);
    EXPECT_EQ(f.surface.Take(), r.calls) << r.align;
    EXPECT_EQ(f.state.LastY, 0) << r.align;
  }
}

TEST(PrintText, RelativeYAndTheLastYRules) {
  EngineFixture f;
  StartDoc(f.engine, "P", "A4", 1);
  SetMargin(f.engine, 100, 0);
  SFY(f.engine, 1000);
  f.surface.Take();

  // One line: LastY is the new origin, without the margin.
  PrintText(f.engine, 0, 200, "one", 0, 0, "L", 1, "y");
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 0 1300 one"}));
  EXPECT_EQ(f.state.LastY, 1200);

  // The next one-line text starts one step lower.
  PrintText(f.engine, 0, 200, "two", 0, 0, "L", 1, "Y");
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 0 1500 two"}));
  EXPECT_EQ(f.state.LastY, 1400);

  // Two lines: LastY is the top of the last line, margin included.
  PrintText(f.engine, 0, 200, "aaa bbb", 300, 400, "L", 1, "Y");
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 0 1700 aaa", "Print 0 1900 bbb"}));
  EXPECT_EQ(f.state.LastY, 1900);

  // Absolute placement leaves LastY alone.
  PrintText(f.engine, 0, 0, "aaa bbb", 300, 400, "L", 1, "-");
  EXPECT_EQ(f.state.LastY, 1900);
}

TEST(PrintText, RelativeXMovesTheOrigin) {
  EngineFixture f;
  SetMargin(f.engine, 0, 50);
  SFX(f.engine, 1000);
  f.surface.Take();
  PrintText(f.engine, 300, 0, "x", 0, 0, "L", 0, "X");
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 1350 0 x"}));
  EXPECT_EQ(f.state.OriginX, 1300);
  EXPECT_EQ(f.state.LastX, 1300);
}

TEST(PrintText, AtSignAndZeroSizes) {
  EngineFixture f;
  PrintText(f.engine, 0, 0, "a&at;b&AT;", 0, 0, "L", 0, "-");
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 0 0 a@b&AT;"}));

  // 10.25 pt: 102.5 twips a character. The width of "Hello" (512.5) rounds
  // to 512, below the text's own width: it is taken up to 513 so nothing is
  // cut, and wrapped the word stays on its line.
  f.surface.SetFontSize(10.25f);
  f.surface.Take();
  PrintText(f.engine, 0, 0, "Hello", 0, 0, "L", 0, "-");
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 0 0 Hello"}));
  PrintText(f.engine, 0, 0, "Hello", 0, 0, "L", 1, "-");
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 0 0 Hello"}));
  // 10.26 pt: a line is 205.2 twips high. Height 0 keeps one wrapped line
  // instead of rounding down below it and keeping none.
  f.surface.SetFontSize(10.26f);
  f.surface.Take();
  PrintText(f.engine, 0, 0, "aaa bbb", 400, 0, "L", 1, "-");
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 0 0 aaa"}));
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST(PrintText, AreasThatHoldNothing) {
  EngineFixture f;
  PrintText(f.engine, 0, 0, "aaa bbb", 300, 100, "L", 1, "-");
  EXPECT_EQ(f.surface.Take(), QStringList());
  PrintText(f.engine, 0, 0, "Hello", -5, 200, "L", 0, "-");
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 0 0 "}));
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST(PrintText, OverflowingPlacementIsTrapped) {
  EngineFixture f;
  f.state.MarginLeft = 2147483647;
  PrintText(f.engine, 1, 0, "x", 0, 0, "L", 0, "-");
  EXPECT_EQ(f.trap.Errors(), QStringList({"6 Overflow"}));
  // Ignored: the text goes on at the X it was given.
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 1 0 x"}));
}

TEST(MoveXText, PrintsAtLastYAndLeavesIt) {
  EngineFixture f;
  SetMargin(f.engine, 100, 50);
  f.state.LastY = 700;
  f.surface.Take();
  MoveXText(f.engine, 0, "left&at;", 0, 0, "L", 0);
  MoveXText(f.engine, 2000, "aaa bbb", 300, 400, "R", 1);
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 50 700 left&at;", "Print 2050 700 aaa", "Print 2050 900 bbb"}));
  EXPECT_EQ(f.state.LastY, 700);
}

TEST(SimplePrint, PrintsAtTheSurfacePosition) {
  EngineFixture f;
  f.surface.SetCurrentX(30);
  f.surface.SetCurrentY(40);
  SimplePrint(f.engine, "a&at;");
  SimplePrint(f.engine, "b");
  EXPECT_EQ(f.surface.Take(), QStringList({"Print 30 40 a&at;", "Print 0 240 b"}));
}

}  // namespace
}  // namespace zarn
