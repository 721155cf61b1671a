// Gradients drawn as bands of segment runs look as they did when every
// segment was a line of its own: print scripts run through the real engine
// and surface both ways, rendered by poppler at 300 dpi, differ by at most one
// level per channel, except within a pixel of a band's outer edge, which may
// move by one pixel (where segments overlapped, their edges were drawn darker).
#include <QColor>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "qt/segment_run.h"
#include "tests/support/poppler.h"
#include "tests/support/script_pdf.h"

namespace zarn::testing {
namespace {

constexpr int kDpi = 300;
constexpr double kDot = 1440.0 / 600;  // one dot of the PDF writer, in twips

// A gradient of the script, for telling its edges and naming it.
struct Band {
  QString name;
  QRectF outer;  // twips, with the segments' width around them
};

struct Rendering {
  std::vector<QImage> pages;
  qint64 bytes = 0;
};

// The script's pages through the engine on our PDF writer, with segment runs or without.
Rendering Render(const QString& script, bool runs) {
  QTemporaryDir dir;
  QStringList errors;
  const QString pdf = ScriptToPdf(script, dir.path(), runs, errors);
  EXPECT_TRUE(errors.isEmpty()) << errors.join("; ").toStdString();
  if (pdf.isEmpty()) {
    ADD_FAILURE() << "no PDF";
    return {};
  }
  Rendering r{{}, QFileInfo(pdf).size()};
  const int pages = QString::fromUtf8(RunTool("pdfinfo", {pdf})).section("Pages:", 1).section('\n', 0, 0).trimmed().toInt();
  for (int page = 1; page <= pages; ++page) r.pages.push_back(testing::Render(pdf, kDpi, page));
  return r;
}

int Difference(QRgb a, QRgb b) {
  return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b))});
}

// Pixels where the two renderings differ beyond the tolerance, named by band.
QStringList Differences(const Rendering& before, const Rendering& now, const std::vector<std::vector<Band>>& bands) {
  QStringList out;
  if (before.pages.size() != now.pages.size()) return {"page counts differ"};
  const double twips = 1440.0 / kDpi;  // one pixel
  for (size_t page = 0; page < now.pages.size(); ++page) {
    const QImage a = before.pages[page].convertToFormat(QImage::Format_RGB32);
    const QImage b = now.pages[page].convertToFormat(QImage::Format_RGB32);
    if (a.size() != b.size()) return {"page sizes differ"};
    for (int y = 0; y < a.height(); ++y) {
      for (int x = 0; x < a.width(); ++x) {
        if (Difference(a.pixel(x, y), b.pixel(x, y)) <= 1) continue;
        // Within a pixel of a band's outer edge the edge may have moved.
        const QPointF at((x + 0.5) * twips, (y + 0.5) * twips);
        QString where = "outside any band";
        bool edge = false;
        for (const Band& band : bands[page]) {
          const double m = 1.5 * twips;
          if (!band.outer.adjusted(-m, -m, m, m).contains(at)) continue;
          where = band.name;
          edge = !band.outer.adjusted(m, m, -m, -m).contains(at);
          break;
        }
        if (edge) continue;
        if (out.size() < 12)
          out << QStringLiteral("page %1 pixel %2,%3 (%4): %5 now %6")
                     .arg(page + 1)
                     .arg(x)
                     .arg(y)
                     .arg(where, QColor(a.pixel(x, y)).name(), QColor(b.pixel(x, y)).name());
        else
          return out << "...";
      }
    }
  }
  return out;
}

// A script and the gradients it draws, page by page.
struct Case {
  const char* name;
  QString script;
  std::vector<std::vector<Band>> bands;
};

// The sample invoice. Its header band: margins 720, 10466 x 1500 twips, drawn one dot wide.
Case InvoiceCase() {
  const double r = kDot / 2;
  return {"sample invoice", SampleInvoice(ZARN_EXAMPLES),
          {{{"header band", QRectF(720 - r, 720 - r, 10466 + 2 * r, 1500 + 2 * r)}}}};
}

// One page of bands running right, one of bands running down: each length
// with a steep and a flat ramp, one dot wide, then after a "DL" 20 dots wide;
// before them a dotted one, which stays lines.
Case GradientTableCase() {
  struct Pen {
    int width, style;
  };
  const Pen pens[] = {{1, 0}, {20, 0}};
  const int lengths[] = {2, 10, 100, 1000, 10000};
  const char* ramps[][3] = {{"steep", "#000000", "#FFFFFF"}, {"flat", "#1F4E79", "#5B9BD5"}};
  Case table{"table of gradients", {}, std::vector<std::vector<Band>>(2)};
  QStringList lines{"SD|P|A4|1"};
  for (const int direction : {0, 1}) {
    if (direction == 1) lines << "NP";
    int at = 150;
    auto add = [&](const Pen& pen, int length, const char* from, const char* to, const QString& name) {
      lines << QStringLiteral("DL|0|0|0|0|%1|#FFFFFF|%2").arg(pen.width).arg(pen.style);
      const int x = direction == 1 ? at : 300, y = direction == 1 ? 300 : at, w = direction == 1 ? 180 : length,
                h = direction == 1 ? length : 180;
      lines << QStringLiteral("DG|%1|%2|%3|%4|%5|%6|%7").arg(from, to).arg(direction).arg(x).arg(y).arg(w).arg(h);
      const double r = pen.width * kDot / 2;
      table.bands[direction].push_back({QStringLiteral("%1, %2").arg(direction == 1 ? "down" : "right", name),
                                        QRectF(x - r, y - r, w + 2 * r, h + 2 * r)});
      at += 270;
    };
    add({1, 2}, 1000, "#000000", "#FFFFFF", "dotted");
    // The last band of a page is drawn at the page break, or at the end of the document.
    for (const Pen& pen : pens)
      for (const int length : lengths)
        for (const auto& ramp : ramps)
          add(pen, length, ramp[1], ramp[2], QStringLiteral("%1 twips %2, %3 dots").arg(length).arg(ramp[0]).arg(pen.width));
  }
  lines << "ED";
  table.script = lines.join("\r\n");
  return table;
}

TEST(SegmentRunTest, GradientsLookAsWithOneLinePerSegment) {
  EnsureGuiApp();
  for (const Case& c : {InvoiceCase(), GradientTableCase()}) {
    SCOPED_TRACE(c.name);
    const Rendering before = Render(c.script, false), now = Render(c.script, true);
    ASSERT_FALSE(now.pages.empty());
    const QStringList differences = Differences(before, now, c.bands);
    EXPECT_TRUE(differences.isEmpty()) << differences.join("\n").toStdString();
    // The runs were drawn as bands: the file has lost most of its lines.
    EXPECT_LT(now.bytes * 2, before.bytes);
  }
}

// Which segments continue a run, and the band the run becomes.
TEST(SegmentRunTest, OnlySegmentsMovedOneTwipAcrossThemselvesWithTheSamePenJoin) {
  const QPen pen(Qt::red, kDot, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
  QPen blue = pen, dashed = pen, thin = pen;
  blue.setColor(Qt::blue);
  dashed.setStyle(Qt::DashLine);
  thin.setWidthF(0.6);
  EXPECT_TRUE(SegmentRun::Joins(pen));
  EXPECT_FALSE(SegmentRun::Joins(dashed));
  EXPECT_FALSE(SegmentRun::Joins(thin));  // would fill the gaps between segments

  struct Row {
    const char* name;
    QLineF first, next;
    QPen pen;
    bool joins;
  };
  const Row rows[] = {
      {"vertical, one twip right", {10, 0, 10, 90}, {11, 0, 11, 90}, pen, true},
      {"horizontal, one twip down", {0, 10, 90, 10}, {0, 11, 90, 11}, pen, true},
      {"in another colour", {10, 0, 10, 90}, {11, 0, 11, 90}, blue, false},
      {"two twips right", {10, 0, 10, 90}, {12, 0, 12, 90}, pen, false},
      {"one twip left", {10, 0, 10, 90}, {9, 0, 9, 90}, pen, false},
      {"vertical, one twip down", {10, 0, 10, 90}, {10, 1, 10, 91}, pen, false},
      {"longer", {10, 0, 10, 90}, {11, 0, 11, 91}, pen, false},
      {"slanting, one twip right", {10, 0, 20, 90}, {11, 0, 21, 90}, pen, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SegmentRun run;
    run.Start(row.first, pen);
    EXPECT_EQ(run.Continue(row.next, row.pen), row.joins);
    const std::optional<SegmentRun::Band> band = run.Take();
    ASSERT_TRUE(band);
    if (row.joins) EXPECT_EQ(band->rect, QRectF(row.first.p1(), row.next.p2()));
    else EXPECT_EQ(band->line, row.first);
    EXPECT_FALSE(run.Take());
  }
  // Dots in a row keep to the direction they took: the band is their line.
  SegmentRun dots;
  dots.Start({10, 5, 10, 5}, pen);
  EXPECT_TRUE(dots.Continue({11, 5, 11, 5}, pen));
  EXPECT_FALSE(dots.Continue({11, 6, 11, 6}, pen));
  const std::optional<SegmentRun::Band> band = dots.Take();
  ASSERT_TRUE(band);
  EXPECT_FALSE(band->rect);
  EXPECT_EQ(band->line, QLineF(10, 5, 11, 5));
}

}  // namespace
}  // namespace zarn::testing
