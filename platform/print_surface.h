#pragma once
// The printer object that all output goes to, and the list of printers.
//
// Units: positions and sizes are twips (1/1440 inch) as single-precision
// values, origin at the top-left corner of the printable area, y growing
// downwards. Colours are 32-bit red + 256 * green + 65536 * blue. Settings
// (font, colours, widths, styles, current position) stay in force until they
// are changed, as on the classic desktop printer object. A document starts
// with its first output and is sent to the spooler by EndDoc.
//
// A failing operation throws ZarnError; the calling procedure's trap reports it.
#include <QList>
#include <QString>
#include <cstdint>
#include <memory>

namespace zarn {

// A loaded picture; what it holds is the platform's business.
class Picture {
 public:
  virtual ~Picture() = default;
};
using PictureHandle = std::shared_ptr<const Picture>;

// Loads picture files for "DI" (BMP, GIF, JPEG, PNG at least).
class PictureLoader {
 public:
  virtual ~PictureLoader() = default;
  // Throws ZarnError (Invalid picture) when the file is not a picture.
  virtual PictureHandle Load(const QString& path) = 0;
};

enum class LineKind { Segment, BoxOutline, FilledBox };

// A document a printer has received: the printer's name, its pages, for a
// PDF writer the file it goes to, and for a paper printer the title its queue
// shows it under.
struct PrintedDocument {
  QString printer;
  int pages = 0;
  QString file;
  QString title;
};

class PrintSurface {
 public:
  virtual ~PrintSurface() = default;

  // Name of the current printer.
  virtual QString DeviceName() const = 0;

  // Page settings, each applying to the next page: 1 portrait, 2 landscape;
  // 9 A4, 11 A5.
  virtual void SetOrientation(int16_t orientation) = 0;
  virtual void SetPaperSize(int16_t paperSize) = 0;
  virtual void SetCopies(int16_t copies) = 0;
  // A user form's page size, thousandths of a millimetre, for the next page.
  virtual void SetFormSize(const QString& formName, int32_t width, int32_t height) = 0;
  // The flag the engine clears and sets around the empty Print that opens a page.
  virtual void SetPageOpenFlag(bool open) = 0;
  // Handle of the current printer's device context.
  virtual int32_t DeviceContext() const = 0;
  // Width and height of the next page, twips, in its orientation.
  virtual float PageWidth() const = 0;
  virtual float PageHeight() const = 0;

  // Text in the current font and colour at (CurrentX, CurrentY); the line is
  // then ended (CurrentX back to 0, CurrentY one line lower). An empty text
  // opens the page.
  virtual void Print(const QString& text) = 0;
  virtual void SetCurrentX(float x) = 0;
  virtual void SetCurrentY(float y) = 0;
  virtual float CurrentX() const = 0;
  virtual float CurrentY() const = 0;
  virtual float TextWidth(const QString& text) = 0;
  virtual float TextHeight(const QString& text) = 0;

  virtual void SetFontName(const QString& name) = 0;
  virtual void SetFontSize(float points) = 0;
  virtual void SetFontBold(bool bold) = 0;
  virtual void SetFontItalic(bool italic) = 0;
  virtual void SetForeColor(uint32_t colour) = 0;

  // Line width in device dots; style 0 solid, 1 dash, 2 dot, 3 dash-dot,
  // 4 dash-dot-dot, 5 invisible, 6 inside solid.
  virtual void SetDrawWidth(int16_t width) = 0;
  virtual void SetDrawStyle(int16_t style) = 0;
  // Fill of box outlines and circles: 0 solid, 1 transparent (the default).
  virtual void SetFillStyle(int16_t style) = 0;
  virtual void SetFillColor(uint32_t colour) = 0;

  virtual void Line(float x1, float y1, float x2, float y2, uint32_t colour, LineKind kind) = 0;
  // Full circle, filled with the current fill settings.
  virtual void Circle(float x, float y, float radius, uint32_t colour) = 0;
  // Arc from start to end angle, radians, 0 to the right, counter-clockwise on the page.
  virtual void Arc(float x, float y, float radius, uint32_t colour, float start, float end) = 0;
  // At the picture's own size, or stretched to width x height.
  virtual void PaintPicture(const Picture& picture, float x, float y) = 0;
  virtual void PaintPicture(const Picture& picture, float x, float y, float width, float height) = 0;

  virtual void NewPage() = 0;
  virtual void EndDoc() = 0;

  // Every document begun since the surface was made and not dropped, in the
  // order they were sent; those still open (sent when the program ends) last,
  // with the pages they have so far.
  virtual QList<PrintedDocument> Documents() const { return {}; }
};

// The installed printers, in order, indexed from 0.
class PrinterList {
 public:
  virtual ~PrinterList() = default;
  virtual int Count() const = 0;
  virtual QString DeviceName(int index) const = 0;
  // Makes printer `index` the current print surface.
  virtual void Select(int index) = 0;
};

}  // namespace zarn
