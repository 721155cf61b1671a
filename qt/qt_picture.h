#pragma once
// Pictures for "DI" and the QR code, loaded with Qt's image readers (BMP, GIF,
// JPEG, PNG and whatever else the installed image plugins read).
#include <QHash>
#include <QImage>
#include <QSizeF>

#include "platform/print_surface.h"

namespace zarn {

class QtPicture final : public Picture {
 public:
  // lossy: the picture came from a lossy file (JPEG), so the PDF may store it
  // lossy too; everything else (logos, QR codes) is stored without loss.
  explicit QtPicture(QImage image, bool lossy = false);
  const QImage& image() const { return image_; }
  bool lossy() const { return lossy_; }
  // Size at which the picture is drawn when no size is given: its pixels at
  // the resolution the file states, 96 dots per inch when it states none.
  QSizeF SizeInTwips() const { return twips_; }

 private:
  QImage image_;
  bool lossy_;
  QSizeF twips_;
};

class QtPictureLoader final : public PictureLoader {
 public:
  // File not found (53) for a missing file, Invalid picture (481) for one
  // that no image reader can read. A file whose bytes are those it had when
  // it was last loaded is not decoded again, so a logo drawn on every record
  // of a mail merge is decoded once and stored once in the PDF.
  PictureHandle Load(const QString& path) override;

 private:
  static constexpr qint64 kCacheBudgetBytes = qint64{256} * 1024 * 1024;
  QHash<QByteArray, PictureHandle> cache_;  // by the SHA-256 of the file's bytes
  qint64 cachedBytes_ = 0;                 // decoded sizes of the cached pictures
};

}  // namespace zarn
