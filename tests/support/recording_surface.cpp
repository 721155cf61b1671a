#include "tests/support/recording_surface.h"

#include <QFile>
#include <QFileInfo>

#include "errortrap/error.h"
#include "platform/file_system.h"

namespace zarn::testing {

RecordingSurface::RecordingSurface(QStringList names) : printers(std::move(names)) {
  if (printers.isEmpty()) current = -1;
}

QString RecordingSurface::Num(double v) { return QString::number(v, 'g', 8); }

// Callers test `recording` first, so benchmarks pay for no formatting.
void RecordingSurface::Record(const QString& line) {
  if (recording) calls << line;
}

QStringList RecordingSurface::Take() {
  QStringList out;
  out.swap(calls);
  return out;
}

QString RecordingSurface::DeviceName() const { return current >= 0 ? printers.at(current) : QString(); }

void RecordingSurface::SetOrientation(int16_t o) {
  orientation = o;
  if (recording) Record("Orientation " + Num(o));
}
void RecordingSurface::SetPaperSize(int16_t p) {
  paperSize = p;
  if (recording) Record("PaperSize " + Num(p));
}
void RecordingSurface::SetCopies(int16_t c) {
  copies = c;
  if (recording) Record("Copies " + Num(c));
}
void RecordingSurface::SetFormSize(const QString& name, int32_t w, int32_t h) {
  if (recording) Record("FormSize " + name + " " + Num(w) + " " + Num(h));
}
void RecordingSurface::SetPageOpenFlag(bool open) {
  if (recording) Record(QStringLiteral("PageOpen ") + (open ? "1" : "0"));
}

void RecordingSurface::Print(const QString& text) {
  if (recording) Record("Print " + Num(printer.x) + " " + Num(printer.y) + " " + text);
  printer.x = 0;
  printer.y += TextHeight(text);
}

float RecordingSurface::TextWidth(const QString& text) { return static_cast<float>(text.size()) * printer.fontSize * 10; }
float RecordingSurface::TextHeight(const QString&) { return printer.fontSize * 20; }

void RecordingSurface::SetFontName(const QString& name) {
  printer.fontName = name;
  if (recording) Record("FontName " + name);
}
void RecordingSurface::SetFontSize(float points) {
  printer.fontSize = points;
  if (recording) Record("FontSize " + Num(points));
}
void RecordingSurface::SetFontBold(bool b) {
  printer.bold = b;
  if (recording) Record(QStringLiteral("FontBold ") + (b ? "1" : "0"));
}
void RecordingSurface::SetFontItalic(bool i) {
  printer.italic = i;
  if (recording) Record(QStringLiteral("FontItalic ") + (i ? "1" : "0"));
}
void RecordingSurface::SetForeColor(uint32_t c) {
  printer.foreColor = c;
  if (recording) Record("ForeColor " + Num(c));
}
void RecordingSurface::SetDrawWidth(int16_t w) {
  printer.drawWidth = w;
  if (recording) Record("DrawWidth " + Num(w));
}
void RecordingSurface::SetDrawStyle(int16_t s) {
  printer.drawStyle = s;
  if (recording) Record("DrawStyle " + Num(s));
}
void RecordingSurface::SetFillStyle(int16_t s) {
  printer.fillStyle = s;
  if (recording) Record("FillStyle " + Num(s));
}
void RecordingSurface::SetFillColor(uint32_t c) {
  printer.fillColor = c;
  if (recording) Record("FillColor " + Num(c));
}

void RecordingSurface::Line(float x1, float y1, float x2, float y2, uint32_t colour, LineKind kind) {
  if (!recording) return;
  static const char* const kKinds[] = {"Segment", "BoxOutline", "FilledBox"};
  Record("Line " + Num(x1) + " " + Num(y1) + " " + Num(x2) + " " + Num(y2) + " " + Num(colour) + " " +
         kKinds[static_cast<int>(kind)]);
}
void RecordingSurface::Circle(float x, float y, float r, uint32_t colour) {
  if (recording) Record("Circle " + Num(x) + " " + Num(y) + " " + Num(r) + " " + Num(colour));
}
void RecordingSurface::Arc(float x, float y, float r, uint32_t colour, float start, float end) {
  if (recording)
    Record("Arc " + Num(x) + " " + Num(y) + " " + Num(r) + " " + Num(colour) + " " + Num(start) + " " + Num(end));
}
void RecordingSurface::PaintPicture(const Picture& p, float x, float y) {
  if (recording) Record("Picture " + static_cast<const FakePicture&>(p).name + " " + Num(x) + " " + Num(y));
}
void RecordingSurface::PaintPicture(const Picture& p, float x, float y, float w, float h) {
  if (recording)
    Record("Picture " + static_cast<const FakePicture&>(p).name + " " + Num(x) + " " + Num(y) + " " + Num(w) + " " +
           Num(h));
}
void RecordingSurface::NewPage() {
  printer.PageTurned();
  if (recording) Record(QStringLiteral("NewPage"));
}
void RecordingSurface::EndDoc() {
  printer.DocumentEnded();
  if (recording) Record(QStringLiteral("EndDoc"));
}

void RecordingSurface::Select(int index) {
  current = index;
  printer.Selected();
  if (recording) Record("Select " + printers.at(index));
}

PictureHandle FakePictureLoader::Load(const QString& path) {
  QFile f(NativePath(path));
  if (!f.open(QIODevice::ReadOnly) || !f.read(3).startsWith("PIC")) Raise(RuntimeError::InvalidPicture);
  return std::make_shared<FakePicture>(QFileInfo(f).fileName());
}

}  // namespace zarn::testing
