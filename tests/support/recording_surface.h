#pragma once
// A print surface for tests that writes every call as one text line and keeps
// its settings in a PrinterObject, under the same rules as the real surface
// (Select, NewPage and EndDoc reset what they reset on paper).
//
// Metrics, chosen so expected layouts can be worked out by hand:
//   TextWidth(text)  = characters * FontSize * 10 twips (100 per character at 10 pt)
//   TextHeight(text) = FontSize * 20 twips (200 at 10 pt), whatever the text
// The settings start as PrinterObject's defaults ("Arial" 10 pt, DrawWidth 1,
// FillStyle 1 transparent, the rest 0).
//
// Call lines (numbers in shortest form, text last and verbatim):
//   Print <x> <y> <text>          Orientation <n>   PaperSize <n>   Copies <n>
//   PageOpen <0|1>                FormSize <name> <w> <h>
//   FontName <name>   FontSize <pt>   FontBold <0|1>   FontItalic <0|1>
//   ForeColor <c>     DrawWidth <n>   DrawStyle <n>    FillStyle <n>   FillColor <c>
//   Line <x1> <y1> <x2> <y2> <colour> Segment|BoxOutline|FilledBox
//   Circle <x> <y> <r> <colour>       Arc <x> <y> <r> <colour> <start> <end>
//   Picture <name> <x> <y> [<w> <h>]  NewPage   EndDoc   Select <printer>
#include <QString>
#include <QStringList>
#include <vector>

#include "platform/print_surface.h"
#include "platform/printer_object.h"

namespace zarn::testing {

class RecordingSurface final : public PrintSurface, public PrinterList {
 public:
  explicit RecordingSurface(QStringList printers = {QStringLiteral("Office"), QStringLiteral("PDF Writer")});

  // PrintSurface
  QString DeviceName() const override;
  void SetOrientation(int16_t orientation) override;
  void SetPaperSize(int16_t paperSize) override;
  void SetCopies(int16_t copies) override;
  void SetFormSize(const QString& formName, int32_t width, int32_t height) override;
  void SetPageOpenFlag(bool open) override;
  int32_t DeviceContext() const override { return 0x1234; }
  // A4 portrait, whatever the paper settings.
  float PageWidth() const override { return 11906; }
  float PageHeight() const override { return 16838; }
  void Print(const QString& text) override;
  void SetCurrentX(float x) override { printer.x = x; }
  void SetCurrentY(float y) override { printer.y = y; }
  float CurrentX() const override { return printer.x; }
  float CurrentY() const override { return printer.y; }
  float TextWidth(const QString& text) override;
  float TextHeight(const QString& text) override;
  void SetFontName(const QString& name) override;
  void SetFontSize(float points) override;
  void SetFontBold(bool bold) override;
  void SetFontItalic(bool italic) override;
  void SetForeColor(uint32_t colour) override;
  void SetDrawWidth(int16_t width) override;
  void SetDrawStyle(int16_t style) override;
  void SetFillStyle(int16_t style) override;
  void SetFillColor(uint32_t colour) override;
  void Line(float x1, float y1, float x2, float y2, uint32_t colour, LineKind kind) override;
  void Circle(float x, float y, float radius, uint32_t colour) override;
  void Arc(float x, float y, float radius, uint32_t colour, float start, float end) override;
  void PaintPicture(const Picture& picture, float x, float y) override;
  void PaintPicture(const Picture& picture, float x, float y, float width, float height) override;
  void NewPage() override;
  void EndDoc() override;
  QList<PrintedDocument> Documents() const override { return documents; }

  // PrinterList
  int Count() const override { return static_cast<int>(printers.size()); }
  QString DeviceName(int index) const override { return printers.at(index); }
  void Select(int index) override;

  // Lines recorded since the last Take(), and clears them.
  QStringList Take();
  static QString Num(double v);

  bool recording = true;  // false: keep settings only (for benchmarks)
  QStringList calls;
  QStringList printers;
  int current = 0;  // index of the current printer; -1 none
  QList<PrintedDocument> documents;  // what Documents() reports, as the test sets it

  PrinterObject printer;  // the current printer's settings
  int16_t orientation = 1, paperSize = 9, copies = 1;

 private:
  void Record(const QString& line);
};

// Pictures for tests: a file whose content starts with "PIC" loads as a
// picture named after the file; any other file is not a picture.
class FakePicture final : public Picture {
 public:
  explicit FakePicture(QString name) : name(std::move(name)) {}
  QString name;
};

class FakePictureLoader final : public PictureLoader {
 public:
  PictureHandle Load(const QString& path) override;
};

}  // namespace zarn::testing
