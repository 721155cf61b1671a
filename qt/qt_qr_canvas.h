#pragma once
// The QR canvas over Qt: it paints into a QImage.
#include <QImage>
#include <QString>
#include <cstdint>

#include "platform/qr_canvas.h"

namespace zarn {

class QtQrCanvas final : public QrCanvas {
 public:
  void Draw(const QrPicture& picture, int32_t pixels) override;
  void SaveBmp(const QString& path) override;
  const QImage& image() const { return image_; }

 private:
  QImage image_;
};

}  // namespace zarn
