#include "engine/pictures.h"
#include "qr/qrc_command.h"

#include <QDir>

#include "engine/drawing.h"
#include "errortrap/error.h"
#include "qr/qr_code.h"

namespace zarn {

QString QrcFilePath(const Engine& e) { return QDir(e.programFolder).filePath(QStringLiteral("qrcode.bmp")); }

int16_t RunQrc(Engine& e, QrCanvas& canvas, const std::function<void()>& processEvents, const QString& text,
               const std::function<PicturePlace()>& place) {
  if (text.isEmpty()) return 0;
  const auto events = [&] {
    if (processEvents) processEvents();
  };

  const std::optional<QrPicture> picture = CreateQrPicture(text, kQrcColour, kQrcModuleSize, kQrcLevel,
                                                           kQrcMinVersion, kQrcMaxVersion, kQrcMask, kQrcBoost);
  // Without a picture there is nothing to save or place; saying so beats a page
  // that silently lacks its code (or shows the previous one).
  if (!picture) Raise(RuntimeError::InvalidPicture, QStringLiteral("Invalid picture: text too long for a QR code"));
  events();

  canvas.Draw(*picture, QrCanvasPixels(picture->side / picture->moduleSize));
  events();

  const QString path = QrcFilePath(e);
  canvas.SaveBmp(path);
  events();

  const PicturePlace at = place();
  return DrawImage(e, path, at.x, at.y, at.width, at.height);
}

}  // namespace zarn
