// The picture loader on Qt's image readers.
#include "qt/qt_picture.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "errortrap/error.h"
#include "tests/support/poppler.h"

namespace zarn::testing {
namespace {

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureGuiApp();
    ASSERT_TRUE(dir.isValid());
  }
  QString Put(const QString& name, const QByteArray& bytes) {
    QFile f(dir.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
  }
  int Error(const QString& path) {
    try {
      loader.Load(path);
    } catch (const ZarnError& e) {
      return e.number();
    }
    return 0;
  }
  QTemporaryDir dir;
  QtPictureLoader loader;
};

TEST_F(PictureTest, ReadsTheCommonFormatsByTheirContent) {
  QImage image(30, 20, QImage::Format_RGB32);
  image.fill(QColor(200, 30, 40));
  struct Row {
    const char* format;
    bool lossy;
  };
  for (const Row& r : {Row{"BMP", false}, Row{"PNG", false}, Row{"JPEG", true}}) {
    SCOPED_TRACE(r.format);
    const QString path = dir.filePath(QStringLiteral("pic.%1.dat").arg(r.format));  // the name says nothing
    ASSERT_TRUE(image.save(path, r.format));
    const auto pic = std::dynamic_pointer_cast<const QtPicture>(loader.Load(path));
    ASSERT_TRUE(pic);
    EXPECT_EQ(pic->image().size(), QSize(30, 20));
    const QColor c = pic->image().pixelColor(15, 10);
    EXPECT_NEAR(c.red(), 200, 8);
    EXPECT_NEAR(c.green(), 30, 8);
    EXPECT_EQ(pic->lossy(), r.lossy);
  }
  // Qt writes no GIF, so one pixel of it by hand: a red pixel from a two-colour table.
  const QByteArray gif = QByteArray::fromHex(
      "47494638396101000100800000ff000000000021f90400000000002c00000000010001000002024401003b");
  const auto pic = std::dynamic_pointer_cast<const QtPicture>(loader.Load(Put("one.gif", gif)));
  ASSERT_TRUE(pic);
  EXPECT_EQ(pic->image().size(), QSize(1, 1));
  EXPECT_EQ(pic->image().pixelColor(0, 0).red(), 255);
}

TEST_F(PictureTest, OnePictureUnderManyNamesIsDecodedOnce) {
  QImage image(40, 40, QImage::Format_RGB32);
  image.fill(Qt::blue);
  ASSERT_TRUE(image.save(dir.filePath("a.png")));
  ASSERT_TRUE(QFile::copy(dir.filePath("a.png"), dir.filePath("b.png")));
  EXPECT_EQ(loader.Load(dir.filePath("a.png")), loader.Load(dir.filePath("b.png")));
}

TEST_F(PictureTest, OwnSizeFollowsTheStatedResolution) {
  QImage image(96, 48, QImage::Format_RGB32);
  image.fill(Qt::white);
  const QString plain = dir.filePath("plain.png");
  ASSERT_TRUE(image.save(plain));
  image.setDotsPerMeterX(11811);  // 300 dpi
  image.setDotsPerMeterY(5906);   // 150 dpi
  const QString fine = dir.filePath("fine.png");
  ASSERT_TRUE(image.save(fine));
  const auto a = std::dynamic_pointer_cast<const QtPicture>(loader.Load(plain));
  const auto b = std::dynamic_pointer_cast<const QtPicture>(loader.Load(fine));
  EXPECT_NEAR(a->SizeInTwips().width(), 1440, 1);
  EXPECT_NEAR(a->SizeInTwips().height(), 720, 1);
  EXPECT_NEAR(b->SizeInTwips().width(), 96 * 1440 / 300.0, 2);
  EXPECT_NEAR(b->SizeInTwips().height(), 48 * 1440 / 150.0, 2);
}

TEST_F(PictureTest, WhatIsNoPictureIsAnError) {
  EXPECT_EQ(Error(Put("text.png", "this is no picture")), 481);
  EXPECT_EQ(Error(Put("empty.bmp", "")), 481);
  EXPECT_EQ(Error(Put("cut.png", QByteArray::fromHex("89504e470d0a1a0a0000000d49484452"))), 481);
  EXPECT_EQ(Error(dir.filePath("missing.png")), 53);
  EXPECT_EQ(Error(dir.path()), 53);  // a folder is not a picture file
}

TEST_F(PictureTest, AnUnchangedFileIsReadOnceAndAChangedOneAgain) {
  QImage image(10, 10, QImage::Format_RGB32);
  image.fill(Qt::red);
  const QString path = dir.filePath("logo.png");
  ASSERT_TRUE(image.save(path));
  const PictureHandle first = loader.Load(path);
  EXPECT_EQ(loader.Load(path), first);
  image = QImage(12, 10, QImage::Format_RGB32);
  image.fill(Qt::blue);
  ASSERT_TRUE(image.save(path));
  const auto changed = std::dynamic_pointer_cast<const QtPicture>(loader.Load(path));
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->image().width(), 12);
  Put("logo.png", "no longer a picture");
  EXPECT_EQ(Error(path), 481);
}

TEST_F(PictureTest, ARewrittenFileOfTheSameSizeAndTimeIsReadAgain) {
  // The QR command's bitmap: rewritten with another code of the same size
  // within the resolution of file times.
  const QString path = dir.filePath("qrcode.bmp");
  QImage image(10, 10, QImage::Format_RGB32);
  image.fill(Qt::black);
  ASSERT_TRUE(image.save(path, "BMP"));
  const QDateTime time = QFileInfo(path).lastModified();
  loader.Load(path);
  image.setPixel(3, 3, qRgb(255, 255, 255));
  ASSERT_TRUE(image.save(path, "BMP"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.setFileTime(time, QFileDevice::FileModificationTime));
  f.close();
  ASSERT_EQ(QFileInfo(path).lastModified(), time);
  const auto again = std::dynamic_pointer_cast<const QtPicture>(loader.Load(path));
  ASSERT_TRUE(again);
  EXPECT_EQ(again->image().pixel(3, 3), qRgb(255, 255, 255));
}

}  // namespace
}  // namespace zarn::testing
