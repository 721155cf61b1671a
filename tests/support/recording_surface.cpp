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
  Record("Orientation " + Num(o));
}
void RecordingSurface::SetPaperSize(int16_t p) {
  paperSize = p;
  Record("PaperSize " + Num(p));
}
void RecordingSurface::SetCopies(int16_t c) {
  copies = c;
  Record("Copies " + Num(c));
}
void RecordingSurface::SetFormSize(const QString& name, int32_t w, int32_t h) {
  Record("FormSize " + name + " " + Num(w) + " " + Num(h));
}
void RecordingSurface::SetPageOpenFlag(bool open) { Record(QStringLiteral("PageOpen ") + (open ? "1" : "0")); }

void RecordingSurface::Print(const QString& text) {
  Record("Print " + Num(currentX) + " " + Num(currentY) + " " + text);
  currentX = 0;
  currentY += TextHeight(text);
}

float RecordingSurface::TextWidth(const QString& text) { return static_cast<float>(text.size()) * fontSize * 10; }
float RecordingSurface::TextHeight(const QString&) { return fontSize * 20; }

void RecordingSurface::SetFontName(const QString& name) {
  fontName = name;
  Record("FontName " + name);
}
void RecordingSurface::SetFontSize(float points) {
  fontSize = points;
  Record("FontSize " + Num(points));
}
void RecordingSurface::SetFontBold(bool b) {
  fontBold = b;
  Record(QStringLiteral("FontBold ") + (b ? "1" : "0"));
}
void RecordingSurface::SetFontItalic(bool i) {
  fontItalic = i;
  Record(QStringLiteral("FontItalic ") + (i ? "1" : "0"));
}
void RecordingSurface::SetForeColor(uint32_t c) {
  foreColor = c;
  Record("ForeColor " + Num(c));
}
void RecordingSurface::SetDrawWidth(int16_t w) {
  drawWidth = w;
  Record("DrawWidth " + Num(w));
}
void RecordingSurface::SetDrawStyle(int16_t s) {
  drawStyle = s;
  Record("DrawStyle " + Num(s));
}
void RecordingSurface::SetFillStyle(int16_t s) {
  fillStyle = s;
  Record("FillStyle " + Num(s));
}
void RecordingSurface::SetFillColor(uint32_t c) {
  fillColor = c;
  Record("FillColor " + Num(c));
}

void RecordingSurface::Line(float x1, float y1, float x2, float y2, uint32_t colour, LineKind kind) {
  if (!recording) return;
  static const char* const kKinds[] = {"Segment", "BoxOutline", "FilledBox"};
  Record("Line " + Num(x1) + " " + Num(y1) + " " + Num(x2) + " " + Num(y2) + " " + Num(colour) + " " +
         kKinds[static_cast<int>(kind)]);
}
void RecordingSurface::Circle(float x, float y, float r, uint32_t colour) {
  Record("Circle " + Num(x) + " " + Num(y) + " " + Num(r) + " " + Num(colour));
}
void RecordingSurface::Arc(float x, float y, float r, uint32_t colour, float start, float end) {
  Record("Arc " + Num(x) + " " + Num(y) + " " + Num(r) + " " + Num(colour) + " " + Num(start) + " " + Num(end));
}
void RecordingSurface::PaintPicture(const Picture& p, float x, float y) {
  Record("Picture " + static_cast<const FakePicture&>(p).name + " " + Num(x) + " " + Num(y));
}
void RecordingSurface::PaintPicture(const Picture& p, float x, float y, float w, float h) {
  Record("Picture " + static_cast<const FakePicture&>(p).name + " " + Num(x) + " " + Num(y) + " " + Num(w) + " " +
         Num(h));
}
void RecordingSurface::NewPage() { Record(QStringLiteral("NewPage")); }
void RecordingSurface::EndDoc() { Record(QStringLiteral("EndDoc")); }

void RecordingSurface::Select(int index) {
  current = index;
  Record("Select " + printers.at(index));
}

PictureHandle FakePictureLoader::Load(const QString& path) {
  QFile f(NativePath(path));
  if (!f.open(QIODevice::ReadOnly) || !f.read(3).startsWith("PIC")) Raise(RuntimeError::InvalidPicture);
  return std::make_shared<FakePicture>(QFileInfo(f).fileName());
}

}  // namespace zarn::testing
