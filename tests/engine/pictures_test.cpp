#include <gtest/gtest.h>

#include "engine/document.h"
#include "engine/drawing.h"
#include "engine/pictures.h"
#include "tests/support/engine_fixture.h"

namespace zarn {
namespace {

using testing::EngineFixture;

// The colour of a recorded "Line ..." call.
QString ColourOf(const QString& call) { return call.split(u' ').value(5); }

TEST(DrawGradient, BlackToWhiteTopToBottom) {
  EngineFixture f;
  SetMargin(f.engine, 10, 20);
  f.surface.Take();
  DrawGradient(f.engine, "#000000", "#FFFFFF", 1, 0, 0, 500, 100);
  const QStringList calls = f.surface.Take();
  ASSERT_EQ(calls.size(), 101);
  EXPECT_EQ(calls[0], "Line 20 10 520 10 0 Segment");
  // 2.55 in single precision times 50 lies just below 127.5.
  EXPECT_EQ(calls[50], "Line 20 60 520 60 " + QString::number(127 * 65793) + " Segment");
  EXPECT_EQ(calls[100], "Line 20 110 520 110 16777215 Segment");
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST(DrawGradient, ComponentSteps) {
  struct Row {
    const char* name;
    const char* from;
    const char* to;
    int32_t length;
    QStringList colours;  // of the first segments, or all when fewer
  } rows[] = {
      {"half rounds to even", "#000000", "#010000", 2, {"0", "0", "1"}},
      {"downwards", "#FF0000", "#000000", 4, {"255", "191", "128", "64", "0"}},
      {"equal colours", "#123456", "#123456", 2, {"5649426", "5649426", "5649426"}},
      {"each component on its own", "#00FF00", "#FF0000", 2, {"65280", "32896", "255"}},
  };
  for (const Row& r : rows) {
    EngineFixture f;
    DrawGradient(f.engine, r.from, r.to, 0, 0, 0, r.length, 10);
    QStringList colours;
    for (const QString& call : f.surface.Take()) colours << ColourOf(call);
    EXPECT_EQ(colours, r.colours) << r.name;
  }
}

TEST(DrawGradient, LastColourIsTheEndColourOverALongRun) {
  EngineFixture f;
  DrawGradient(f.engine, "#FF0000", "#000000", 0, 0, 0, 100, 10);
  const QStringList calls = f.surface.Take();
  ASSERT_EQ(calls.size(), 101);
  EXPECT_EQ(ColourOf(calls.first()), "255");
  EXPECT_EQ(ColourOf(calls.last()), "0");
}

TEST(DrawGradient, AnyOtherDirectionRunsLeftToRight) {
  for (int32_t direction : {0, 2, -1}) {
    EngineFixture f;
    f.surface.SetDrawWidth(20);
    f.surface.Take();
    DrawGradient(f.engine, "#000000", "#000000", direction, 100, 200, 1, 300);
    // No width or style of its own: the earlier ones stay in force.
    EXPECT_EQ(f.surface.Take(), QStringList({"Line 100 200 100 500 0 Segment", "Line 101 200 101 500 0 Segment"}))
        << direction;
  }
}

TEST(DrawGradient, ZeroAndNegativeLengths) {
  EngineFixture f;
  DrawGradient(f.engine, "#FF0000", "#0000FF", 1, 0, 0, 100, 0);
  EXPECT_EQ(f.trap.Errors(), QStringList({"11 Division by zero", "11 Division by zero", "11 Division by zero"}));
  // The run from y to y + 0 still holds one segment, in the start colour.
  EXPECT_EQ(f.surface.Take(), QStringList({"Line 0 0 100 0 255 Segment"}));

  EngineFixture g;
  DrawGradient(g.engine, "#FF0000", "#0000FF", 0, 0, 0, -5, 100);
  EXPECT_EQ(g.surface.Take(), QStringList());
  EXPECT_TRUE(g.trap.Errors().isEmpty());
}

TEST(DrawGradient, FarEdgeOutOfRangeDrawsNothing) {
  EngineFixture f;
  DrawGradient(f.engine, "#000000", "#FFFFFF", 1, 2147483000, 0, 1000, 10);
  EXPECT_EQ(f.trap.Errors(), QStringList({"6 Overflow"}));
  EXPECT_EQ(f.surface.Take(), QStringList());
}

TEST(DrawGradient, SegmentsOutsideThePageAreLeftOut) {
  EngineFixture f;
  // A billion twips of gradient (the fuzzer's find) that starts ten twips
  // before the page's far edge and its overhang: eleven segments, not a billion.
  const int32_t end = static_cast<int32_t>(f.surface.PageWidth()) + kGradientOverhangTwips;
  DrawGradient(f.engine, "#000000", "#FFFFFF", 0, end - 10, 0, 1000000000, 10);
  const QStringList calls = f.surface.Take();
  ASSERT_EQ(calls.size(), 11);
  EXPECT_EQ(calls.first(), QStringLiteral("Line %1 0 %1 10 0 Segment").arg(end - 10));
  EXPECT_EQ(calls.last(), QStringLiteral("Line %1 0 %1 10 0 Segment").arg(end));
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

struct PictureFixture : EngineFixture {
  PictureFixture() {
    picture = trap.folder + "/logo.bmp";
    text = trap.folder + "/notes.txt";
    trap.files.Append(picture, "PIC data");
    trap.files.Append(text, "just text");
  }
  QString picture, text;
};

TEST(DrawImage, SizeDecidesBetweenStretchedAndOwnSize) {
  struct Row {
    int32_t w, h;
    const char* call;
  } rows[] = {
      {300, 400, "Picture logo.bmp 110 220 300 400"},
      {1, 1, "Picture logo.bmp 110 220 1 1"},
      {0, 400, "Picture logo.bmp 110 220"},
      {300, 0, "Picture logo.bmp 110 220"},
      {-1, 400, "Picture logo.bmp 110 220"},
  };
  for (const Row& r : rows) {
    PictureFixture f;
    SetMargin(f.engine, 20, 10);
    f.surface.Take();
    EXPECT_EQ(DrawImage(f.engine, f.picture, 100, 200, r.w, r.h), -1);
    EXPECT_EQ(f.surface.Take(), QStringList({r.call})) << r.w << "x" << r.h;
  }
}

TEST(DrawImage, MissingFileOrFolderDrawsNothingQuietly) {
  PictureFixture f;
  for (const QString& path : {f.trap.folder + "/nowhere.bmp", f.trap.folder, QString()}) {
    EXPECT_EQ(DrawImage(f.engine, path, 0, 0, 10, 10), -1);
    EXPECT_EQ(f.surface.Take(), QStringList()) << path.toStdString();
  }
  EXPECT_TRUE(f.trap.Errors().isEmpty());
}

TEST(DrawImage, NotAPictureIsTheLoadersTrappedError) {
  PictureFixture f;
  EXPECT_EQ(DrawImage(f.engine, f.text, 0, 0, 10, 10), -1);
  EXPECT_EQ(f.trap.Errors(), QStringList({"481 Invalid picture"}));
  EXPECT_TRUE(f.trap.LogLines().value(0).contains("Location: zarn.mPRINTSCRIPT.DrawImage"));
  EXPECT_EQ(f.surface.Take(), QStringList());
}

TEST(GetFile, ReturnsWhatTheDownloadReturns) {
  EngineFixture f;
  EXPECT_EQ(GetFile(f.engine, "http://h/a", "/tmp/a"), 0);  // nothing wired
  QStringList seen;
  int16_t answer = -1;
  f.engine.DownloadFile = [&](const QString& url, const QString& path) {
    seen << url + " " + path;
    return answer;
  };
  EXPECT_EQ(GetFile(f.engine, "http://h/a", "C:\\x\\a.png"), -1);
  answer = 0;
  EXPECT_EQ(GetFile(f.engine, "http://h/b", "b.png"), 0);
  EXPECT_EQ(seen, QStringList({"http://h/a C:\\x\\a.png", "http://h/b b.png"}));
}

}  // namespace
}  // namespace zarn
