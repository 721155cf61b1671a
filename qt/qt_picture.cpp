#include "qt/qt_picture.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
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
  // Known by content, not by name, size or time: the QR command rewrites its
  // bitmap with one of the same size faster than file times tell apart, and
  // one picture under many names is decoded and kept once.
  QFile in(file);
  const QByteArray bytes = in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
  const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
  if (auto it = cache_.constFind(digest); it != cache_.constEnd()) return *it;
  QBuffer buffer;
  buffer.setData(bytes);
  QImageReader reader(&buffer);
  reader.setDecideFormatFromContent(true);
  const bool lossy = reader.format() == "jpeg";
  QImage image = reader.read();
  if (image.isNull()) Raise(RuntimeError::InvalidPicture);
  const qint64 size = image.sizeInBytes();
  auto picture = std::make_shared<QtPicture>(std::move(image), lossy);
  // Decoded pictures are large: the cache holds them up to a budget of bytes
  // and starts afresh past it (pictures still in use live on with their users).
  if (cachedBytes_ + size > kCacheBudgetBytes) {
    cache_.clear();
    cachedBytes_ = 0;
  }
  if (size <= kCacheBudgetBytes) {
    cache_.insert(digest, picture);
    cachedBytes_ += size;
  }
  return picture;
}

}  // namespace zarn
