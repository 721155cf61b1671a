#include "platform/qr_canvas.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QDir>
#include <QTemporaryDir>

#include "qr/qr_code.h"
#include "qr/qrc_command.h"
#include "qt/qt_qr_canvas.h"
#include "tests/qr/round_trip_texts.h"
#include "tests/qr/zbar.h"

namespace zarn {
namespace {

TEST(QrCanvasSize, WholePixelsPerModuleAtLeastFourAndAtLeastTheOldBox) {
  struct Row {
    int32_t modules, pixels;
  };
  for (const Row& r : {Row{22, 132}, Row{26, 130}, Row{28, 112}, Row{37, 148}, Row{38, 152},
                       Row{178, 712}, Row{1, 111}, Row{111, 444}}) {
    EXPECT_EQ(QrCanvasPixels(r.modules), r.pixels) << r.modules;
    EXPECT_EQ(QrCanvasPixels(r.modules) % r.modules, 0);
  }
  EXPECT_THROW(QrCanvasPixels(0), ZarnError);
}

// Expected colour of canvas pixel (i, j): the module its centre falls in.
bool ExpectDark(const QrSymbol& s, const QrPicture& pic, int32_t pixels, int i, int j) {
  const double twipsPerPixel = static_cast<double>(pic.side) / pixels;
  const int32_t m = pic.moduleSize, h = m / 2;
  const double xt = (i + 0.5) * twipsPerPixel;               // picture x, twips
  const double yt = pic.side - (j + 0.5) * twipsPerPixel;    // picture y (upwards)
  const double col = (xt - (h - 1)) / m;
  const double row = (static_cast<double>(s.size) * m + h - 1 - yt) / m;
  return col >= 0 && row >= 0 && s.Dark(static_cast<int32_t>(col), static_cast<int32_t>(row));
}

TEST(QrCanvas, EveryPixelIsItsModulesColourAndModulesAreWholePixels) {
  for (const char* text : {"HELLO", "https://example.com/a/rather/long/address?with=query&and=more#frag"}) {
    const std::optional<QrSymbol> s = EncodeQrText(QString::fromUtf8(text), 0, 1, 40, -1, true);
    ASSERT_TRUE(s);
    QrPicture pic = DrawQrPicture(*s, 0x0000FF, 30);  // pure red
    const int32_t pixels = QrCanvasPixels(s->size + 1);
    QtQrCanvas canvas;
    canvas.Draw(pic, pixels);
    const QImage& img = canvas.image();
    ASSERT_EQ(img.width(), pixels);
    ASSERT_EQ(img.height(), pixels);
    for (int j = 0; j < pixels; ++j)
      for (int i = 0; i < pixels; ++i)
        ASSERT_EQ(img.pixel(i, j), ExpectDark(*s, pic, pixels, i, j) ? qRgb(255, 0, 0) : qRgb(255, 255, 255))
            << text << " pixel " << i << "," << j;
    // Each module is exactly pixels / (n + 1) pixels wide: count the dark run
    // of the top-left finder's top row.
    const int perModule = pixels / (s->size + 1);
    const int y = (14 * pixels / 660) + perModule / 2;
    int i = 0;
    while (i < pixels && img.pixel(i, y) != qRgb(255, 0, 0)) ++i;
    int run = 0;
    while (i + run < pixels && img.pixel(i + run, y) == qRgb(255, 0, 0)) ++run;
    EXPECT_EQ(run, 7 * perModule) << text;
  }
}

TEST(QrCanvas, SavesABmpThatReplacesTheOldFileAndFailsLoudlyWhereItCannot) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("qrcode.bmp"));
  {
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old content");
  }
  const std::optional<QrPicture> pic = CreateQrPicture(QStringLiteral("1234"), 0, 30, 0, 1, 40, -1, true);
  ASSERT_TRUE(pic);
  QtQrCanvas canvas;
  canvas.Draw(*pic, 132);
  canvas.SaveBmp(path);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.read(2) == "BM");
  const QImage back(path, "BMP");
  ASSERT_EQ(back.size(), QSize(132, 132));
  EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), canvas.image());
  // Placed at its own size it still covers the old box of 1665 twips.
  EXPECT_NEAR(132.0 / back.dotsPerMeterX() / 0.0254 * 1440, 1665, 1);
  EXPECT_EQ(back.dotsPerMeterY(), back.dotsPerMeterX());
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("qrcode.bmp")});

  try {
    canvas.SaveBmp(dir.filePath(QStringLiteral("missing/qrcode.bmp")));
    FAIL() << "no error";
  } catch (const ZarnError& e) {
    EXPECT_EQ(e.number(), 75);
  }
  QtQrCanvas empty;
  EXPECT_THROW(empty.SaveBmp(dir.filePath(QStringLiteral("other.bmp"))), ZarnError);
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("other.bmp"))));
}

std::string RoundTripName(const ::testing::TestParamInfo<QByteArray>& info) {
  const char* const names[] = {"Digits", "UpperCase", "Utf8", "Long2000"};
  return names[info.index];
}

class QrRoundTrip : public ::testing::TestWithParam<QByteArray> {};

TEST_P(QrRoundTrip, BitmapDecodesBackToTheText) {
  const QString text = QString::fromUtf8(GetParam());
  const std::optional<QrPicture> pic = CreateQrPicture(text, kQrcColour, kQrcModuleSize, kQrcLevel, kQrcMinVersion,
                                                       kQrcMaxVersion, kQrcMask, kQrcBoost);
  ASSERT_TRUE(pic);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("qrcode.bmp"));
  QtQrCanvas canvas;
  canvas.Draw(*pic, QrCanvasPixels(pic->side / pic->moduleSize));
  canvas.SaveBmp(path);
  EXPECT_EQ(testing_zbar::Decode(path), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Texts, QrRoundTrip,
                         ::testing::Values(QByteArray(testing::kQrDigits), QByteArray(testing::kQrUpperCase),
                                           QByteArray(testing::kQrUtf8), testing::QrLongText()),
                         RoundTripName);

}  // namespace
}  // namespace zarn
