// The real surface drawing into PDF files on our PDF writer printer, read
// back with poppler.
#include "qt/qt_print_surface.h"

#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>

#include "errortrap/error.h"
#include "qt/pdf_writer_printer.h"
#include "qt/qt_picture.h"
#include "tests/support/poppler.h"

namespace zarn::testing {
namespace {

constexpr double kDot = 1440.0 / 600;  // one dot of the PDF writer, in twips

uint32_t Rgb(int r, int g, int b) { return r + 256u * g + 65536u * b; }

// pdftotext puts a word's box by the ascent and descent in the PDF's font
// descriptor. Qt's Windows font engine writes other values there than the
// face's own, while the glyphs lie where they do on Linux (their pixels
// match): on Windows a box's top and height tell the text's place only
// against words of the same font.
#ifdef _WIN32
constexpr bool kWordBoxesExact = false;
#else
constexpr bool kWordBoxesExact = true;
#endif
void NoteWordBoxes() {
  if (!kWordBoxesExact)
    std::printf("[ NOTE     ] word boxes of pdftotext follow Qt's font descriptors on Windows: tops and heights "
                "checked only between words of one font\n");
}

class SurfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApp();
    ASSERT_TRUE(dir.isValid());
  }
  // The next document goes to `name` in the temporary folder.
  QString Aim(const QString& name) {
    const QString path = dir.filePath(name);
    auto settings = writer.CreatePDFSettings();
    settings->setPrintername(writer.CreatePDFUtil()->defaultprintername());
    settings->setValue("Output", path);
    settings->setValue("ConfirmOverwrite", "no");
    settings->WriteSettings(true);
    return path;
  }

  QTemporaryDir dir;
  QStringList opened;
  PdfWriterPrinter writer{[this](const QString& p) { opened << p; }, dir.filePath("documents")};
  QtPrintSurface surface{writer, {}, {}};
};

TEST_F(SurfaceTest, TextLandsWhereCurrentXYSaysInTheChosenFont) {
  struct Row {
    const char* font;
    float size;
    bool bold, italic;
    float x, y;
    const char* text;
  };
  const Row rows[] = {
      {"Arial", 10, false, false, 0, 0, "TopLeft"},
      {"Arial", 12, true, false, 1440, 2000, "Bold12"},
      {"Times New Roman", 20, false, true, 5000, 4321, "Italic20"},
      {"DejaVu Sans Mono", 8, false, false, 9999, 15000, "Mono8"},
  };
  const QString pdf = Aim("text.pdf");
  std::vector<float> widths;
  for (const Row& r : rows) {
    surface.SetFontName(r.font);
    surface.SetFontSize(r.size);
    surface.SetFontBold(r.bold);
    surface.SetFontItalic(r.italic);
    surface.SetCurrentX(r.x);
    surface.SetCurrentY(r.y);
    widths.push_back(surface.TextWidth(r.text));
    surface.Print(r.text);
  }
  surface.EndDoc();

  const auto words = Words(pdf);
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(rows[i].text);
    const Word* w = FindWord(words, rows[i].text);
    ASSERT_NE(w, nullptr);
    EXPECT_NEAR(w->xMin, rows[i].x, kDot);
    EXPECT_NEAR(w->xMax - w->xMin, widths[i], kDot);
    if (!kWordBoxesExact) continue;
    EXPECT_NEAR(w->yMin, rows[i].y, kDot);
    // The font size shows in the word's height (ascent + descent of the face).
    EXPECT_GT(w->yMax - w->yMin, rows[i].size * 20 * 0.9);
    EXPECT_LT(w->yMax - w->yMin, rows[i].size * 20 * 1.3);
  }
  NoteWordBoxes();
  // Fonts are embedded, so the file prints the same everywhere (Windows names
  // them by the family asked for).
  const QString fonts = QString::fromUtf8(RunTool("pdffonts", {pdf}));
#ifdef _WIN32
  EXPECT_TRUE(fonts.contains("ArialRegular") && fonts.contains("TimesNewRomanItalic")) << fonts.toStdString();
#else
  EXPECT_TRUE(fonts.contains("LiberationSans")) << fonts.toStdString();
#endif
  EXPECT_FALSE(fonts.contains(QRegularExpression(R"(\bno\s+(yes|no)\s+(yes|no)\s+\d+\s+\d+\s*$)",
                                                 QRegularExpression::MultilineOption)))
      << fonts.toStdString();
}

TEST_F(SurfaceTest, PrintEndsTheLineAndLineBreaksStartAtTheLeftEdge) {
  const QString pdf = Aim("lines.pdf");
  surface.SetFontSize(14);
  const float h = surface.TextHeight("Ag");
  EXPECT_FLOAT_EQ(surface.TextHeight("one\r\ntwo\rthree"), 3 * h);
  EXPECT_FLOAT_EQ(surface.TextWidth("ab\r\nabcd"), surface.TextWidth("abcd"));
  EXPECT_FLOAT_EQ(surface.TextWidth(""), 0);
  EXPECT_FLOAT_EQ(surface.TextHeight(""), h);
  EXPECT_GT(surface.TextWidth("WWW"), surface.TextWidth("iii"));

  surface.SetCurrentX(3000);
  surface.SetCurrentY(1000);
  surface.Print("first");
  EXPECT_FLOAT_EQ(surface.CurrentX(), 0);
  EXPECT_FLOAT_EQ(surface.CurrentY(), 1000 + h);
  surface.Print("second");
  surface.SetCurrentX(3000);
  surface.Print("upper\r\nlower");
  EXPECT_FLOAT_EQ(surface.CurrentY(), 1000 + 4 * h);
  surface.EndDoc();

  const auto words = Words(pdf);
  struct Expect {
    const char* text;
    double x, y;
  };
  const Word* first = FindWord(words, "first");
  ASSERT_NE(first, nullptr);
  // One font: on Windows the lines' tops against the first line's.
  const double shift = kWordBoxesExact ? 0 : first->yMin - 1000;
  NoteWordBoxes();
  for (const Expect& e : {Expect{"first", 3000, 1000}, Expect{"second", 0, 1000 + h},
                          Expect{"upper", 3000, 1000 + 2 * h}, Expect{"lower", 0, 1000 + 3 * h}}) {
    SCOPED_TRACE(e.text);
    const Word* w = FindWord(words, e.text);
    ASSERT_NE(w, nullptr);
    EXPECT_NEAR(w->xMin, e.x, kDot);
    EXPECT_NEAR(w->yMin - shift, e.y, kDot);
  }
}

TEST_F(SurfaceTest, ShapesFillsArcsAndPicturesShowInThePixels) {
  const QString pdf = Aim("shapes.pdf");
  const uint32_t red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255), black = 0;
  // A thick segment: 60 dots of 600 per inch are 144 twips.
  surface.SetDrawWidth(60);
  surface.Line(1000, 1000, 5000, 1000, red, LineKind::Segment);
  surface.SetDrawWidth(1);
  surface.Line(1000, 2000, 3000, 3000, blue, LineKind::FilledBox);
  surface.SetFillStyle(0);
  surface.SetFillColor(Rgb(0, 255, 0));
  surface.Line(4000, 2000, 6000, 3000, black, LineKind::BoxOutline);
  surface.SetFillStyle(1);
  surface.SetDrawWidth(20);
  surface.Line(9000, 3000, 7000, 2000, black, LineKind::BoxOutline);  // corners in any order
  surface.SetDrawStyle(5);
  surface.Line(1000, 4000, 9000, 4000, red, LineKind::Segment);  // invisible
  surface.SetDrawStyle(0);
  surface.SetFillStyle(0);
  surface.SetFillColor(Rgb(255, 255, 0));
  surface.SetDrawWidth(1);
  surface.Circle(2000, 5500, 800, black);
  surface.SetFillStyle(1);
  surface.SetDrawWidth(30);
  surface.Arc(6000, 5500, 800, red, 0, static_cast<float>(M_PI / 2));  // the upper right quarter
  // A row of segments stepping from black to red, overlapping as a gradient's do.
  surface.SetDrawWidth(5);
  for (int k = 0; k < 200; ++k)
    surface.Line(1000 + 10 * k, 7000, 1000 + 10 * k, 7600, Rgb(k * 255 / 199, 0, 0), LineKind::Segment);
  // Four colours stretched over 4000 x 2000 twips, and a picture at its own size.
  QImage quad(2, 2, QImage::Format_RGB32);
  quad.setPixelColor(0, 0, Qt::red);
  quad.setPixelColor(1, 0, Qt::green);
  quad.setPixelColor(0, 1, Qt::blue);
  quad.setPixelColor(1, 1, Qt::black);
  surface.PaintPicture(QtPicture(quad), 1000, 8500, 4000, 2000);
  QImage plain(96, 48, QImage::Format_RGB32);  // no stated resolution: 96 dpi, 1440 x 720 twips
  plain.fill(Qt::magenta);
  surface.PaintPicture(QtPicture(plain), 6000, 8500);
  QImage fine(96, 48, QImage::Format_RGB32);  // 192 dpi: 720 x 360 twips
  fine.fill(Qt::cyan);
  fine.setDotsPerMeterX(7559);
  fine.setDotsPerMeterY(7559);
  surface.PaintPicture(QtPicture(fine), 6000, 10000);
  surface.EndDoc();

  constexpr int dpi = 100;
  const QImage page = Render(pdf, dpi);
  ASSERT_FALSE(page.isNull());
  struct Probe {
    const char* what;
    double x, y;
    QColor colour;
  };
  const QColor white(255, 255, 255);
  const Probe probes[] = {
      {"segment", 3000, 1000, Qt::red},
      {"beside the segment", 3000, 1200, white},
      {"filled box", 2000, 2500, Qt::blue},
      {"outline filled with FillColor", 5000, 2500, Qt::green},
      {"transparent outline's inside", 8000, 2500, white},
      {"transparent outline's border", 7000, 2500, Qt::black},
      {"invisible segment", 5000, 4000, white},
      {"disc filled with FillColor", 2000, 5500, Qt::yellow},
      {"outside the disc", 2000, 6500, white},
      {"arc at 45 degrees", 6000 + 800 * M_SQRT1_2, 5500 - 800 * M_SQRT1_2, Qt::red},
      {"no arc at -45 degrees", 6000 + 800 * M_SQRT1_2, 5500 + 800 * M_SQRT1_2, white},
      {"no arc at 135 degrees", 6000 - 800 * M_SQRT1_2, 5500 - 800 * M_SQRT1_2, white},
      {"stretched top left", 2000, 9000, Qt::red},
      {"stretched top right", 4000, 9000, Qt::green},
      {"stretched bottom left", 2000, 10000, Qt::blue},
      {"stretched bottom right", 4000, 10000, Qt::black},
      {"own size, inside", 6000 + 1400, 8500 + 700, Qt::magenta},
      {"own size, past its width", 6000 + 1500, 8500 + 360, white},
      {"192 dpi, inside", 6000 + 700, 10000 + 340, Qt::cyan},
      {"192 dpi, past its width", 6000 + 800, 10000 + 180, white},
  };
  for (const Probe& p : probes) {
    SCOPED_TRACE(p.what);
    const QColor c = PixelAtTwips(page, dpi, p.x, p.y);
    EXPECT_NEAR(c.red(), p.colour.red(), 40);
    EXPECT_NEAR(c.green(), p.colour.green(), 40);
    EXPECT_NEAR(c.blue(), p.colour.blue(), 40);
  }
  // The segment row: red grows with x as the colours were given.
  for (int k = 10; k < 200; k += 20) {
    SCOPED_TRACE(k);
    const QColor c = PixelAtTwips(page, dpi, 1000 + 10 * k + 5, 7300);
    EXPECT_NEAR(c.red(), k * 255 / 199, 16);
    EXPECT_LT(c.green(), 16);
    EXPECT_LT(c.blue(), 16);
  }
}

TEST_F(SurfaceTest, PageSettingsApplyToTheNextPage) {
  struct Row {
    const char* name;
    std::function<void(QtPrintSurface&)> run;
    std::vector<QSizeF> pages;  // points
  };
  const QSizeF a4(595.276, 841.89), a5(419.528, 595.276);
  const Row rows[] = {
      {"default A4", [](QtPrintSurface& s) { s.Print("x"); }, {a4}},
      {"A5", [](QtPrintSurface& s) { s.SetPaperSize(11); s.Print("x"); }, {a5}},
      {"A4 landscape", [](QtPrintSurface& s) { s.SetOrientation(2); s.Print("x"); }, {a4.transposed()}},
      {"custom form 100 x 50 mm",
       [](QtPrintSurface& s) { s.SetFormSize("Label", 100000, 50000); s.Print("x"); }, {QSizeF(283.465, 141.732)}},
      {"A5 from the second page on",
       [](QtPrintSurface& s) {
         s.Print("x");
         s.SetPaperSize(11);
         s.Print("still A4");
         s.NewPage();
         s.Print("y");
       },
       {a4, a5}},
      {"form, then back to A4 in landscape",
       [](QtPrintSurface& s) {
         s.SetFormSize("Label", 100000, 50000);
         s.Print("x");
         s.SetPaperSize(9);
         s.SetOrientation(2);
         s.NewPage();
         s.Print("y");
       },
       {QSizeF(283.465, 141.732), a4.transposed()}},
  };
  int n = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const QString pdf = Aim(QStringLiteral("page%1.pdf").arg(++n));
    r.run(surface);
    surface.EndDoc();
    const auto sizes = PageSizes(pdf);
    ASSERT_EQ(sizes.size(), r.pages.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
      EXPECT_NEAR(sizes[i].width(), r.pages[i].width(), 0.5);
      EXPECT_NEAR(sizes[i].height(), r.pages[i].height(), 0.5);
    }
    // Each document starts from the same page settings again.
    surface.SetPaperSize(9);
    surface.SetOrientation(1);
  }
}

TEST_F(SurfaceTest, TheDocumentStartsWithItsFirstOutput) {
  struct Row {
    const char* name;
    std::function<void(QtPrintSurface&)> run;
    int pages;  // 0: no document at all
  };
  const Row rows[] = {
      {"nothing", [](QtPrintSurface&) {}, 0},
      {"only page breaks", [](QtPrintSurface& s) { s.NewPage(); s.NewPage(); }, 0},
      {"empty text opens the page", [](QtPrintSurface& s) { s.Print(""); }, 1},
      {"a break before any output", [](QtPrintSurface& s) { s.NewPage(); s.Print("a"); }, 1},
      {"a break at the end", [](QtPrintSurface& s) { s.Print("a"); s.NewPage(); }, 1},
      {"two pages", [](QtPrintSurface& s) { s.Print("a"); s.NewPage(); s.Line(0, 0, 9, 9, 0, LineKind::Segment); }, 2},
      {"two breaks leave a blank page",
       [](QtPrintSurface& s) { s.Print("a"); s.NewPage(); s.NewPage(); s.Print("c"); }, 3},
      {"two breaks at the end", [](QtPrintSurface& s) { s.Print("a"); s.NewPage(); s.NewPage(); }, 2},
  };
  int n = 0;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const QString pdf = Aim(QStringLiteral("doc%1.pdf").arg(++n));
    r.run(surface);
    surface.EndDoc();
    if (r.pages == 0) {
      EXPECT_FALSE(QFile::exists(pdf));
      writer.DocumentStarted();  // drop the unused settings
      continue;
    }
    EXPECT_EQ(PageSizes(pdf).size(), static_cast<size_t>(r.pages));
  }
  // NewPage and EndDoc put the position back at the top-left corner.
  surface.SetCurrentX(100);
  surface.SetCurrentY(200);
  surface.NewPage();
  EXPECT_EQ(surface.CurrentX(), 0);
  EXPECT_EQ(surface.CurrentY(), 0);
}

// Lines are shaped once for measuring and printing and kept for a while; what
// is printed and measured must still be what QPainter::drawText and
// QFontMetricsF give, whatever the text.
TEST_F(SurfaceTest, TextPrintsAndMeasuresAsPlainQtText) {
  const QStringList texts = {
      "1. Dear Name 0 of City 0, your balance is 0.00 (ref R0)", "AVAST To fi ffl ", "  lead and trail  ",
      QString::fromUtf8("Gr\u00fc\u00dfe \u2013 \u201cquotes\u201d \u20ac"), QString::fromUtf8("abc \u05e9\u05dc\u05d5\u05dd def"),
      QString::fromUtf8("\u0645\u0631\u062d\u0628\u0627"), QString::fromUtf8("e\u0301 combining"),
      QString::fromUtf8("emoji \U0001F600 x"), "tab\there", QString::fromUtf8("ls\u2028x"), QString("x").repeated(600)};
  struct Font {
    const char* name;
    float size;
    bool bold, italic;
  };
  const Font fonts[] = {{"Arial", 10, false, false}, {"Times New Roman", 14, true, true}};
  auto qtFont = [](const Font& f) {
    QFont q(f.name);
    q.setPointSizeF(f.size * 1440.0 / 600);
    q.setBold(f.bold);
    q.setItalic(f.italic);
    q.setHintingPreference(QFont::PreferNoHinting);
    return q;
  };

  const QString pdf = Aim("shaped.pdf");
  const QString plainPdf = dir.filePath("plain.pdf");
  QPdfWriter plainWriter(plainPdf);
  plainWriter.setResolution(600);
  plainWriter.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
  QPainter plain(&plainWriter);
  plain.setWorldTransform(QTransform::fromScale(600 / 1440.0, 600 / 1440.0));

  float y = 300;
  for (int pass = 0; pass < 2; ++pass) {  // the second pass draws from what was kept
    for (const Font& f : fonts) {
      surface.SetFontName(f.name);
      surface.SetFontSize(f.size);
      surface.SetFontBold(f.bold);
      surface.SetFontItalic(f.italic);
      const QFont q = qtFont(f);
      const QFontMetricsF metrics(q, &plainWriter);
      plain.setFont(q);
      for (const QString& t : texts) {
        SCOPED_TRACE(t.left(40).toStdString());
        EXPECT_EQ(surface.TextWidth(t), static_cast<float>(metrics.horizontalAdvance(t)));
        surface.SetCurrentX(700);
        surface.SetCurrentY(y);
        surface.Print(t);
        plain.drawText(QPointF(700, y + metrics.ascent()), t);
        y += 300;
      }
    }
  }
  plain.end();
  surface.EndDoc();
  EXPECT_EQ(Render(pdf, 150), Render(plainPdf, 150));

  // More lines than are kept: the first ones still measure the same.
  const float first = surface.TextWidth("line 0");
  for (int i = 0; i < 1000; ++i) surface.TextWidth(QStringLiteral("line %1").arg(i));
  EXPECT_EQ(surface.TextWidth("line 0"), first);
}

// Previews: the same drawing on page images instead of a PDF file, each page
// in its own size, the pen and fonts going on over page breaks.
TEST_F(SurfaceTest, PreviewsPaintThePdfWritersPagesOnImages) {
  QList<QList<QByteArray>> documents;
  surface.PaintPdfWriterOnImages(96, [&](const QList<QByteArray>& pages) { documents << pages; });
  const QString pdf = Aim("preview.pdf");
  const uint32_t red = Rgb(255, 0, 0);
  surface.SetDrawWidth(60);  // 144 twips
  surface.Line(1000, 1000, 5000, 1000, red, LineKind::Segment);
  surface.SetFontSize(20);
  surface.SetCurrentX(2000);
  surface.SetCurrentY(3000);
  const float width = surface.TextWidth("MMMM");
  surface.Print("MMMM");
  surface.SetOrientation(2);
  surface.NewPage();
  surface.Line(1000, 1000, 5000, 1000, red, LineKind::Segment);
  surface.SetCurrentX(2000);
  surface.SetCurrentY(3000);
  surface.Print("MMMM");
  surface.EndDoc();

  EXPECT_FALSE(QFile::exists(pdf));
  EXPECT_FALSE(writer.PendingSettings().has_value());
  ASSERT_EQ(surface.Documents().size(), 1);
  EXPECT_EQ(surface.Documents()[0].pages, 2);
  EXPECT_EQ(surface.Documents()[0].file, QString());
  ASSERT_EQ(documents.size(), 1);
  ASSERT_EQ(documents[0].size(), 2);
  const QSize a4(794, 1123);
  int n = 0;
  for (const QSize size : {a4, a4.transposed()}) {
    SCOPED_TRACE(n);
    const QImage page = QImage::fromData(documents[0][n++], "PNG");
    EXPECT_EQ(page.size(), size);
    EXPECT_EQ(PixelAtTwips(page, 96, 3000, 1000), QColor(Qt::red));
    EXPECT_EQ(PixelAtTwips(page, 96, 3000, 1200), QColor(Qt::white));
    // The text's ink spans its measured width, within the letters' side bearings.
    int left = page.width(), right = -1;
    for (int y = 3000 * 96 / 1440; y < 3400 * 96 / 1440; ++y)
      for (int x = 0; x < page.width(); ++x)
        if (qGray(page.pixel(x, y)) < 128) left = std::min(left, x), right = std::max(right, x);
    EXPECT_NEAR(left * 15.0, 2000, 60);
    EXPECT_NEAR((right + 1) * 15.0, 2000 + width, 60);
  }
}

TEST_F(SurfaceTest, TextOnTheSecondPageIsThere) {
  const QString pdf = Aim("second.pdf");
  surface.Print("one");
  surface.NewPage();
  surface.SetCurrentX(720);
  surface.SetCurrentY(720);
  surface.Print("two");
  surface.EndDoc();
  const auto words = Words(pdf);
  const Word* two = FindWord(words, "two");
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(two->page, 2);
  EXPECT_NEAR(two->xMin, 720, kDot);
}

TEST_F(SurfaceTest, PrinterListIsTheCupsPrintersThenThePdfWriter) {
  QtPrintSurface s(writer, {"Office", "Label"}, "Label");
  ASSERT_EQ(s.Count(), 3);
  EXPECT_EQ(s.DeviceName(0), "Office");
  EXPECT_EQ(s.DeviceName(1), "Label");
  EXPECT_EQ(s.DeviceName(2), PdfWriterPrinter::Name());
  EXPECT_EQ(s.DeviceName(), "Label");
  EXPECT_EQ(QtPrintSurface(writer, {"Office"}, "Gone").DeviceName(), PdfWriterPrinter::Name());
  EXPECT_EQ(QtPrintSurface(writer, {}, {}).Count(), 1);

  // Each printer has its own device context; a chosen printer, even the one
  // already current, starts from the default drawing settings.
  const int32_t dc = s.DeviceContext();
  s.SetCurrentX(500);
  s.Select(2);
  EXPECT_EQ(s.CurrentX(), 0);
  EXPECT_NE(s.DeviceContext(), dc);
  const float plain = s.TextWidth("x");
  s.SetCurrentX(700);
  s.SetFontSize(20);
  s.Select(2);
  EXPECT_EQ(s.CurrentX(), 0);
  EXPECT_FLOAT_EQ(s.TextWidth("x"), plain);
  s.Select(1);
  EXPECT_EQ(s.CurrentX(), 0);
  EXPECT_EQ(s.DeviceContext(), dc);

  for (int bad : {-1, 3}) {
    try {
      s.Select(bad);
      ADD_FAILURE() << bad;
    } catch (const ZarnError& e) {
      EXPECT_EQ(e.number(), 9);
    }
  }
  EXPECT_EQ(s.DeviceName(), "Label");
  // A printer that CUPS does not know fails at its first use.
  try {
    s.TextWidth("x");
    ADD_FAILURE();
  } catch (const ZarnError& e) {
    EXPECT_EQ(e.number(), 482);
  }
}

TEST_F(SurfaceTest, APendingDocumentStaysOnItsPrinterUntilItsEndDoc) {
  QtPrintSurface s(writer, {"Office"}, "Office");
  s.Select(1);
  const QString pdf = Aim("pending.pdf");
  s.Print("kept");
  s.Select(0);
  s.EndDoc();  // Office has no document: nothing happens
  EXPECT_FALSE(QFile::exists(pdf));
  s.Select(1);
  s.Print("more");
  s.EndDoc();
  ASSERT_TRUE(QFile::exists(pdf));
  EXPECT_EQ(PageSizes(pdf).size(), 1u);
  EXPECT_NE(FindWord(Words(pdf), "more"), nullptr);

  // FinishAll (and the end of the program) sends what is still pending.
  const QString last = Aim("atexit.pdf");
  s.Print("late");
  s.Select(0);
  s.FinishAll();
  EXPECT_TRUE(QFile::exists(last));
  EXPECT_EQ(s.DeviceName(), "Office");
}

}  // namespace
}  // namespace zarn::testing
