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
  const QFileInfo info(file);
  if (!info.isFile()) Raise(RuntimeError::FileNotFound);
  const QString key = info.absoluteFilePath();
  if (auto it = cache_.constFind(key);
      it != cache_.constEnd() && it->modified == info.lastModified() && it->size == info.size())
    return it->picture;
  QImageReader reader(file);
  reader.setDecideFormatFromContent(true);
  const bool lossy = reader.format() == "jpeg";
  QImage image = reader.read();
  if (image.isNull()) Raise(RuntimeError::InvalidPicture);
  auto picture = std::make_shared<QtPicture>(std::move(image), lossy);
  constexpr qsizetype kKept = 32;
  if (cache_.size() >= kKept) cache_.clear();
  cache_.insert(key, {info.lastModified(), info.size(), picture});
  return picture;
}

}  // namespace zarn
