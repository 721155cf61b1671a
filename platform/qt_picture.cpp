#include "platform/qt_picture.h"

#include <QFileInfo>
#include <QImageReader>

#include "errortrap/error.h"
#include "platform/file_system.h"

namespace zarn {

namespace {
constexpr double kTwipsPerInch = 1440;
constexpr double kMetresPerInch = 0.0254;
constexpr double kDefaultDpi = 96;

// Qt gives an image without a stated resolution the screen's; that counts as none.
double StatedDpi(int dotsPerMetre, int defaultDotsPerMetre) {
  if (dotsPerMetre <= 0 || dotsPerMetre == defaultDotsPerMetre) return kDefaultDpi;
  return dotsPerMetre * kMetresPerInch;
}
}  // namespace

QtPicture::QtPicture(QImage image, bool lossy) : image_(std::move(image)), lossy_(lossy) {
  const QImage plain(1, 1, QImage::Format_RGB32);
  twips_ = QSizeF(image_.width() * kTwipsPerInch / StatedDpi(image_.dotsPerMeterX(), plain.dotsPerMeterX()),
                  image_.height() * kTwipsPerInch / StatedDpi(image_.dotsPerMeterY(), plain.dotsPerMeterY()));
}

PictureHandle QtPictureLoader::Load(const QString& path) {
  const QString file = NativePath(path);
  if (!QFileInfo(file).isFile()) Raise(RuntimeError::FileNotFound);
  QImageReader reader(file);
  reader.setDecideFormatFromContent(true);
  const bool lossy = reader.format() == "jpeg";
  QImage image = reader.read();
  if (image.isNull()) Raise(RuntimeError::InvalidPicture);
  return std::make_shared<QtPicture>(std::move(image), lossy);
}

}  // namespace zarn
