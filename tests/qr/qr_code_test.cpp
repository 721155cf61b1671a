#include "qr/qr_code.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace zarn {
namespace {

using Points = std::vector<QrPoint>;

// Rows of '#' (dark) and '.' (light), all the same length.
QrSymbol Symbol(std::initializer_list<const char*> rows) {
  QrSymbol s;
  s.size = static_cast<int32_t>(rows.size());
  for (const char* row : rows) {
    EXPECT_EQ(std::char_traits<char>::length(row), rows.size());
    for (const char* c = row; *c; ++c) s.dark.push_back(*c == '#' ? 1 : 0);
  }
  return s;
}

OutlineLists Trace(const QrSymbol& s, int32_t m) {
  VertexGrid grid = MarkOutlineEdges(s);
  return TraceOutlines(grid, m);
}

Points Scaled(std::initializer_list<QrPoint> pts, int32_t m) {
  Points out;
  for (QrPoint p : pts) out.push_back({p.X * m, p.Y * m});
  return out;
}

std::string Show(const Points& pts) {
  std::string s;
  for (QrPoint p : pts) s += "(" + std::to_string(p.X) + "," + std::to_string(p.Y) + ")";
  return s;
}

// Twice the signed area (y downwards: positive is clockwise on screen).
int64_t Area2(const QrPoint* p, int32_t count) {
  int64_t a = 0;
  for (int32_t i = 0; i + 1 < count; ++i) a += int64_t{p[i].X} * p[i + 1].Y - int64_t{p[i + 1].X} * p[i].Y;
  return a;
}

TEST(QrTrace, BlockGivesItsFourCornersAndTheStartAgain) {
  const OutlineLists out = Trace(Symbol({"##", "##"}), 30);
  EXPECT_EQ(out.counts, std::vector<int32_t>{5});
  EXPECT_EQ(Show(out.points), Show(Scaled({{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}}, 30)));
}

TEST(QrTrace, ModulesTouchingAtACornerMakeOnePolygonThroughTheSharedVertex) {
  // At the shared vertex the walk first takes Right (into the second module),
  // and the Left edge on its second visit.
  const OutlineLists out = Trace(Symbol({"#.", ".#"}), 10);
  EXPECT_EQ(out.counts, std::vector<int32_t>{9});
  EXPECT_EQ(Show(out.points),
            Show(Scaled({{0, 0}, {1, 0}, {1, 1}, {2, 1}, {2, 2}, {1, 2}, {1, 1}, {0, 1}, {0, 0}}, 10)));

  // The other diagonal: the loops meet at (1, 1) as well.
  const OutlineLists other = Trace(Symbol({".#", "#."}), 1);
  EXPECT_EQ(other.counts, std::vector<int32_t>{9});
  EXPECT_EQ(Show(other.points), Show(Points{{1, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}, {0, 1}, {1, 1}, {1, 0}}));
}

TEST(QrTrace, FinderPatternIsOuterSquareHoleAndCentre) {
  const OutlineLists out = Trace(Symbol({"#######", "#.....#", "#.###.#", "#.###.#", "#.###.#", "#.....#",
                                         "#######"}),
                                 1);
  ASSERT_EQ(out.counts, (std::vector<int32_t>{5, 5, 5}));
  EXPECT_EQ(Show(out.points), Show(Points{{0, 0}, {7, 0}, {7, 7}, {0, 7}, {0, 0},    // outer, clockwise
                                          {1, 1}, {1, 6}, {6, 6}, {6, 1}, {1, 1},    // hole, anticlockwise
                                          {2, 2}, {5, 2}, {5, 5}, {2, 5}, {2, 2}}));  // centre, clockwise
  EXPECT_GT(Area2(&out.points[0], 5), 0);
  EXPECT_LT(Area2(&out.points[5], 5), 0);
  EXPECT_GT(Area2(&out.points[10], 5), 0);
}

TEST(QrTrace, EmptyAndAllLightSymbolsHaveNoPolygons) {
  for (const QrSymbol& s : {QrSymbol{}, Symbol({"...", "...", "..."})}) {
    const OutlineLists out = Trace(s, 30);
    EXPECT_TRUE(out.points.empty());
    EXPECT_TRUE(out.counts.empty());
  }
}

TEST(QrTrace, MarkingLeavesEveryDarkLightEdgeOnceAndTracingClearsAll) {
  const QrSymbol s = Symbol({"#.#", ".##", "#.."});
  VertexGrid grid = MarkOutlineEdges(s);
  int marked = 0;
  for (const VertexEdges& v : grid.vertices) marked += v.Left + v.Up + v.Right + v.Down;
  int boundary = 0;  // unit edges with dark on one side only, the square's rim included
  for (int32_t y = -1; y <= s.size; ++y)
    for (int32_t x = -1; x <= s.size; ++x)
      boundary += (s.Dark(x, y) != s.Dark(x + 1, y)) + (s.Dark(x, y) != s.Dark(x, y + 1));
  EXPECT_EQ(marked, boundary);
  TraceOutlines(grid, 1);
  for (const VertexEdges& v : grid.vertices) EXPECT_FALSE(v.Left || v.Up || v.Right || v.Down);
}

TEST(QrTrace, AppendMergesStraightRunsOfTheCurrentPolygonOnly) {
  OutlineLists lists;
  lists.points = {{5, 5}, {0, 0}};  // an earlier polygon's end must not merge with the new one
  AppendOutlinePoint(lists, 2, {0, 1});
  AppendOutlinePoint(lists, 2, {0, 2});
  EXPECT_EQ(Show(lists.points), Show(Points{{5, 5}, {0, 0}, {0, 1}, {0, 2}}));
  AppendOutlinePoint(lists, 2, {0, 3});  // vertical run: (0, 2) goes
  AppendOutlinePoint(lists, 2, {1, 3});
  AppendOutlinePoint(lists, 2, {2, 3});  // horizontal run: (1, 3) goes
  AppendOutlinePoint(lists, 2, {2, 4});
  EXPECT_EQ(Show(lists.points), Show(Points{{5, 5}, {0, 0}, {0, 1}, {0, 3}, {2, 3}, {2, 4}}));
}

// Every dark module inside an odd number of polygons, every light one in an
// even number: what an alternate fill of the polygons paints.
bool InsideOddEven(const OutlineLists& out, double px, double py) {
  bool inside = false;
  size_t next = 0;
  for (int32_t count : out.counts) {
    for (int32_t i = 0; i + 1 < count; ++i) {
      const QrPoint a = out.points[next + i], b = out.points[next + i + 1];
      if (a.X != b.X) continue;  // horizontal edges never cross a horizontal ray
      if ((a.Y > py) != (b.Y > py) && a.X > px) inside = !inside;
    }
    next += count;
  }
  return inside;
}

class QrTraceOfRealSymbols : public ::testing::TestWithParam<const char*> {};

TEST_P(QrTraceOfRealSymbols, PolygonsAreClosedCornersOnlyAndCoverExactlyTheDarkModules) {
  const std::optional<QrSymbol> s = EncodeQrText(QString::fromUtf8(GetParam()), 0, 1, 40, -1, true);
  ASSERT_TRUE(s);
  const OutlineLists out = Trace(*s, 2);

  int64_t total = 0;
  for (int32_t c : out.counts) total += c;
  ASSERT_EQ(total, static_cast<int64_t>(out.points.size()));
  EXPECT_EQ(out.points.capacity(), out.points.size());
  EXPECT_EQ(out.counts.capacity(), out.counts.size());

  size_t next = 0;
  for (int32_t count : out.counts) {
    const QrPoint* p = &out.points[next];
    ASSERT_GE(count, 5);
    EXPECT_EQ(p[0], p[count - 1]);
    for (int32_t i = 0; i + 1 < count; ++i) EXPECT_TRUE(p[i].X == p[i + 1].X || p[i].Y == p[i + 1].Y);
    // Consecutive triples, and the triple across the repeated start.
    for (int32_t i = 0; i + 2 <= count; ++i) {
      const QrPoint a = p[i], b = p[i + 1], c = i + 2 < count ? p[i + 2] : p[1];
      EXPECT_FALSE((a.X == b.X && b.X == c.X) || (a.Y == b.Y && b.Y == c.Y)) << "polygon at " << next << " i " << i;
    }
    next += count;
  }

  for (int32_t y = 0; y < s->size; ++y)
    for (int32_t x = 0; x < s->size; ++x)
      ASSERT_EQ(InsideOddEven(out, 2 * x + 1, 2 * y + 1), s->Dark(x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Texts, QrTraceOfRealSymbols,
                         ::testing::Values("1", "HELLO WORLD", "https://example.com/invoice?id=4711",
                                           "Grüße aus Zürich – 東京"));

TEST(QrPicture, VersionOneSymbolIs660TwipsWithTheSymbolFrom14To644) {
  const std::optional<QrPicture> pic = CreateQrPicture(QStringLiteral("HELLO"), 0, 30, 0, 1, 40, -1, true);
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->side, 660);
  EXPECT_EQ(pic->moduleSize, 30);
  int32_t minX = INT32_MAX, maxX = INT32_MIN, minY = INT32_MAX, maxY = INT32_MIN;
  for (QrPoint p : pic->points) {
    minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
    minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
  }
  EXPECT_EQ(minX, 14);
  EXPECT_EQ(maxX, 644);
  EXPECT_EQ(minY, 14);
  EXPECT_EQ(maxY, 644);
  // The top-left finder pattern is traced first; with y upwards its top edge is at 644.
  ASSERT_GE(pic->counts.size(), 9u);
  EXPECT_EQ(Show(Points(pic->points.begin(), pic->points.begin() + 5)),
            Show(Points{{14, 644}, {224, 644}, {224, 434}, {14, 434}, {14, 644}}));
}

TEST(QrPicture, PointsAreTurnedForUpwardYWithHalfAModuleLessOneOfMargin) {
  struct Row {
    int32_t m;
    Points expected;
  };
  const QrSymbol block = Symbol({"##", "##"});
  for (const Row& r : {Row{30, {{14, 74}, {74, 74}, {74, 14}, {14, 14}, {14, 74}}},
                       Row{7, {{2, 16}, {16, 16}, {16, 2}, {2, 2}, {2, 16}}},    // h = 3
                       Row{1, {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}, {-1, 1}}}}) {  // h = 0
    const QrPicture pic = DrawQrPicture(block, 0x123456, r.m);
    EXPECT_EQ(pic.side, 3 * r.m);
    EXPECT_EQ(pic.colour, 0x123456u);
    EXPECT_EQ(Show(pic.points), Show(r.expected)) << "m " << r.m;
  }
}

TEST(QrPicture, HugeModuleSizeOverflowsInsteadOfWrapping) {
  try {
    DrawQrPicture(Symbol({"##", "##"}), 0, 1'000'000'000);
    FAIL() << "no error";
  } catch (const ZarnError& e) {
    EXPECT_EQ(e.number(), 6);
  }
}

TEST(QrEncode, SegmentModeFollowsTheCharactersOfTheText) {
  struct Row {
    const char* text;
    int modeBits;  // 1 numeric, 2 alphanumeric, 4 byte
    int chars;     // characters, or bytes in byte mode
  };
  for (const Row& r : {Row{"0123456789", 1, 10}, Row{"", 1, 0}, Row{"007", 1, 3},
                       Row{"HELLO WORLD $%*+-./:", 2, 20}, Row{"A1", 2, 2}, Row{"12 34", 2, 5},
                       Row{"HELLo", 4, 5}, Row{"a", 4, 1}, Row{"ABC#", 4, 4}, Row{"TAB\t", 4, 4},
                       Row{"ÄRGER", 4, 6}, Row{"€", 4, 3}, Row{"１２", 4, 6}, Row{"😀", 4, 4}}) {
    const qrcodegen::QrSegment seg = MakeQrSegment(QString::fromUtf8(r.text));
    EXPECT_EQ(seg.getMode().getModeBits(), r.modeBits) << r.text;
    EXPECT_EQ(seg.getNumChars(), r.chars) << r.text;
  }
  // Byte mode carries the UTF-8 bytes themselves.
  const qrcodegen::QrSegment seg = MakeQrSegment(QString::fromUtf8("é"));
  const std::vector<bool> expected{1, 1, 0, 0, 0, 0, 1, 1, 1, 0, 1, 0, 1, 0, 0, 1};  // C3 A9
  EXPECT_EQ(seg.getData(), expected);
}

TEST(QrEncode, CommandSettingsGiveTheLibrarysOwnTextEncodingAtLevelLow) {
  for (const char* text : {"31415926535", "ZARN PRINT 42", "mixed Case 123", "Grüße"}) {
    const std::optional<QrSymbol> s = EncodeQrText(QString::fromUtf8(text), 0, 1, 40, -1, true);
    ASSERT_TRUE(s) << text;
    const qrcodegen::QrCode ref = qrcodegen::QrCode::encodeText(text, qrcodegen::QrCode::Ecc::LOW);
    ASSERT_EQ(s->size, ref.getSize()) << text;
    for (int y = 0; y < s->size; ++y)
      for (int x = 0; x < s->size; ++x) ASSERT_EQ(s->Dark(x, y), ref.getModule(x, y)) << text;
  }
}

TEST(QrEncode, VersionsLevelAndMaskAreHonoured) {
  const std::optional<QrSymbol> v5 = EncodeQrText(QStringLiteral("1"), 0, 5, 40, -1, true);
  ASSERT_TRUE(v5);
  EXPECT_EQ(v5->size, 37);
  const std::optional<QrSymbol> high = EncodeQrText(QStringLiteral("HELLO"), 3, 1, 40, 2, false);
  const qrcodegen::QrCode ref = qrcodegen::QrCode::encodeSegments(
      {qrcodegen::QrSegment::makeAlphanumeric("HELLO")}, qrcodegen::QrCode::Ecc::HIGH, 1, 40, 2, false);
  ASSERT_TRUE(high);
  for (int y = 0; y < ref.getSize(); ++y)
    for (int x = 0; x < ref.getSize(); ++x) ASSERT_EQ(high->Dark(x, y), ref.getModule(x, y));
}

TEST(QrEncode, TextTooLongForTheVersionsGivesNoPictureAndNoError) {
  struct Row {
    QString text;
    int32_t level, maxVersion;
    bool fits;
  };
  for (const Row& r : {Row{QString(7089, '7'), 0, 40, true}, Row{QString(7090, '7'), 0, 40, false},
                       Row{QString(2953, 'a'), 0, 40, true}, Row{QString(2954, 'a'), 0, 40, false},
                       Row{QString(2953, 'a'), 1, 40, false}, Row{QString(25, 'A'), 0, 1, true},
                       Row{QString(26, 'A'), 0, 1, false}}) {
    EXPECT_EQ(EncodeQrText(r.text, r.level, 1, r.maxVersion, -1, true).has_value(), r.fits) << r.text.size();
    EXPECT_EQ(CreateQrPicture(r.text, 0, 30, r.level, 1, r.maxVersion, -1, true).has_value(), r.fits);
  }
}

TEST(QrEncode, ArgumentsOutOfRangeAreInvalidProcedureCalls) {
  struct Row {
    int32_t level, minVersion, maxVersion, mask;
  };
  for (const Row& r : {Row{-1, 1, 40, -1}, Row{4, 1, 40, -1}, Row{0, 0, 40, -1}, Row{0, 1, 41, -1},
                       Row{0, 10, 9, -1}, Row{0, 1, 40, -2}, Row{0, 1, 40, 8}}) {
    try {
      EncodeQrText(QStringLiteral("X"), r.level, r.minVersion, r.maxVersion, r.mask, true);
      ADD_FAILURE() << r.level << " " << r.minVersion << " " << r.maxVersion << " " << r.mask;
    } catch (const ZarnError& e) {
      EXPECT_EQ(e.number(), 5);
    }
  }
  EXPECT_THROW(DrawQrPicture(Symbol({"#"}), 0, 0), ZarnError);
}

}  // namespace
}  // namespace zarn
