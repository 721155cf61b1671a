#pragma once
// Stand-ins for the parts of the client that are not in this build yet: each
// raises an error naming what is missing, so that a call that reaches one is
// reported by the trap instead of doing nothing. The job flow does not call
// them while the procedures that use them are not wired.
#include <QString>

#include "errortrap/error.h"
#include "platform/print_surface.h"
#include "platform/web.h"

namespace zarn {

[[noreturn]] inline void NotInThisBuild(const char* what) {
  Raise(RuntimeError::CannotCreateObject, QStringLiteral("%1 is not in this build").arg(QLatin1String(what)));
}

class UnwiredHttpClient final : public HttpClient {
 public:
  HttpReply Get(const QString&, const HttpTimeouts&) override { NotInThisBuild("the HTTP client"); }
};

class UnwiredPrinter final : public PrintSurface, public PrinterList, public PictureLoader {
 public:
  QString DeviceName() const override { NotInThisBuild("the printer"); }
  void SetOrientation(int16_t) override { NotInThisBuild("the printer"); }
  void SetPaperSize(int16_t) override { NotInThisBuild("the printer"); }
  void SetCopies(int16_t) override { NotInThisBuild("the printer"); }
  void SetFormSize(const QString&, int32_t, int32_t) override { NotInThisBuild("the printer"); }
  void SetPageOpenFlag(bool) override { NotInThisBuild("the printer"); }
  int32_t DeviceContext() const override { NotInThisBuild("the printer"); }
  void Print(const QString&) override { NotInThisBuild("the printer"); }
  void SetCurrentX(float) override { NotInThisBuild("the printer"); }
  void SetCurrentY(float) override { NotInThisBuild("the printer"); }
  float CurrentX() const override { NotInThisBuild("the printer"); }
  float CurrentY() const override { NotInThisBuild("the printer"); }
  float TextWidth(const QString&) override { NotInThisBuild("the printer"); }
  float TextHeight(const QString&) override { NotInThisBuild("the printer"); }
  void SetFontName(const QString&) override { NotInThisBuild("the printer"); }
  void SetFontSize(float) override { NotInThisBuild("the printer"); }
  void SetFontBold(bool) override { NotInThisBuild("the printer"); }
  void SetFontItalic(bool) override { NotInThisBuild("the printer"); }
  void SetForeColor(uint32_t) override { NotInThisBuild("the printer"); }
  void SetDrawWidth(int16_t) override { NotInThisBuild("the printer"); }
  void SetDrawStyle(int16_t) override { NotInThisBuild("the printer"); }
  void SetFillStyle(int16_t) override { NotInThisBuild("the printer"); }
  void SetFillColor(uint32_t) override { NotInThisBuild("the printer"); }
  void Line(float, float, float, float, uint32_t, LineKind) override { NotInThisBuild("the printer"); }
  void Circle(float, float, float, uint32_t) override { NotInThisBuild("the printer"); }
  void Arc(float, float, float, uint32_t, float, float) override { NotInThisBuild("the printer"); }
  void PaintPicture(const Picture&, float, float) override { NotInThisBuild("the printer"); }
  void PaintPicture(const Picture&, float, float, float, float) override { NotInThisBuild("the printer"); }
  void NewPage() override { NotInThisBuild("the printer"); }
  void EndDoc() override { NotInThisBuild("the printer"); }
  int Count() const override { return 0; }
  QString DeviceName(int) const override { NotInThisBuild("the printer list"); }
  void Select(int) override { NotInThisBuild("the printer list"); }
  PictureHandle Load(const QString&) override { NotInThisBuild("the picture loader"); }
};

}  // namespace zarn
