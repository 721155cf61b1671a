#include "engine/text.h"

#include "engine/coordinates.h"
#include "errortrap/convert.h"
#include "errortrap/error.h"
#include "errortrap/trap.h"
#include "platform/print_surface.h"

namespace zarn {

namespace {

// Positions and the line count of the word wrap are 16-bit values.
constexpr qsizetype kMaxPosition = 32767;

// A width or height of 0 stands for the text's own extent. Rounded to the
// nearest twip it can fall just short of the text, which would then be cut or
// wrapped away; such a value is taken one twip up so the text still fits.
int32_t OwnExtent(double measured) {
  const int32_t rounded = RoundToLong(measured);
  return rounded < measured ? AddLong(rounded, 1) : rounded;
}

bool IsRelative(const QString& mode, char16_t axis) { return mode.toUpper() == QStringView(&axis, 1); }

// Fits the text into the area at (x, y) and prints it line by line; the part
// PrintText and MoveXText share, as steps of the caller's trap.
void PrintArea(Engine& e, Trap& trap, int32_t x, int32_t top, const QString& text, int32_t width, int32_t height,
               const QString& align, int32_t wrap, bool relativeY) {
  PrintSurface& surface = e.surface;
  trap.Step([&] {
    if (height == 0) height = OwnExtent(surface.TextHeight(text));
  });
  trap.Step([&] {
    if (width == 0) width = OwnExtent(surface.TextWidth(text));
  });
  QStringList lines;
  trap.Step([&] { lines = FixTextArea(e, text, width, height, wrap); });

  double y = top;
  const bool left = align == u"L";
  for (qsizetype i = 0; i < lines.size(); ++i) {
    const QString& line = lines.at(i);
    int32_t lineX = x;
    if (!left) trap.Step([&] { lineX = FixPos(e, line, x, width, align); });
    trap.Step([&] { surface.SetCurrentX(static_cast<float>(lineX)); });
    trap.Step([&] { surface.SetCurrentY(static_cast<float>(y)); });
    trap.Step([&] { surface.Print(line); });
    if (e.Drawn) e.Drawn(lineX, y, surface.TextWidth(line), surface.TextHeight(line), line);
    const double lineTop = y;
    trap.Step([&] { y = y + surface.TextHeight(line); });
    if (i > 0 && relativeY) trap.Step([&] { e.state.LastY = RoundToLong(lineTop); });
  }
}

// Cutting one character at a time measures the whole remaining text each
// time, which on a real printer grows with the square of the length. A longer
// text is first cut by halving to the longest prefix that fits, which is the
// same prefix as long as a text never gets narrower when it grows.
constexpr qsizetype kLongText = 4096;

qsizetype LongestFittingPrefix(PrintSurface& surface, const QString& text, int32_t width) {
  qsizetype fits = 0, tooWide = text.size();  // W(tooWide) > width is known
  while (tooWide - fits > 1) {
    const qsizetype mid = fits + (tooWide - fits) / 2;
    if (surface.TextWidth(QString::fromRawData(text.constData(), mid)) > width) tooWide = mid;
    else fits = mid;
  }
  return fits;
}

void TrimSpaces(QString& line) {
  qsizetype end = line.size();
  while (end > 0 && line.at(end - 1) == u' ') --end;
  line.truncate(end);
  qsizetype begin = 0;
  while (begin < line.size() && line.at(begin) == u' ') ++begin;
  line.remove(0, begin);
}

}  // namespace

int16_t SimplePrint(Engine& e, const QString& text) {
  Trap trap(Proc::SimplePrint);
  if (e.Drawn) e.Drawn(e.surface.CurrentX(), e.surface.CurrentY(), e.surface.TextWidth(text), e.surface.TextHeight(text), text);
  trap.Step([&] { e.surface.Print(text); });
  return 0;
}

int16_t MoveXText(Engine& e, int32_t x, QString text, int32_t width, int32_t height, const QString& align,
                  int32_t wrap) {
  Trap trap(Proc::MoveXText);
  const PrintState& s = e.state;
  trap.Step([&] { x = AddLong(AddLong(x, s.OriginX), s.MarginLeft); });
  const int32_t y = s.LastY;
  PrintArea(e, trap, x, y, text, width, height, align, wrap, false);
  return kTrue;
}

int16_t PrintText(Engine& e, int32_t x, int32_t y, QString text, int32_t width, int32_t height,
                  const QString& align, int32_t wrap, const QString& mode) {
  Trap trap(Proc::PrintText);
  const PrintState& s = e.state;
  trap.Step([&] { text.replace(QStringLiteral("&at;"), QStringLiteral("@")); });
  if (IsRelative(mode, u'X')) {
    trap.Step([&] { SFXR(e, x); });
    trap.Step([&] { x = AddLong(s.MarginLeft, s.OriginX); });
  } else {
    trap.Step([&] { x = AddLong(AddLong(x, s.OriginX), s.MarginLeft); });
  }
  const bool relativeY = IsRelative(mode, u'Y');
  if (relativeY) {
    trap.Step([&] { SFYR(e, y); });
    trap.Step([&] { y = AddLong(s.OriginY, s.MarginTop); });
  } else {
    trap.Step([&] { y = AddLong(AddLong(y, s.OriginY), s.MarginTop); });
  }
  PrintArea(e, trap, x, y, text, width, height, align, wrap, relativeY);
  return kTrue;
}

QStringList FixTextArea(Engine& e, QString text, int32_t width, int32_t height, int32_t wrap) {
  Trap trap(Proc::FixTextArea);
  PrintSurface& surface = e.surface;
  bool fits = false;
  trap.Step([&] { fits = !(surface.TextWidth(text) > width); });
  if (fits) return {text};

  if (wrap == 0) {
    // Below a width of 0 not even the empty text would fit: the cut ends there.
    trap.Step([&] {
      if (text.size() > kLongText) text.truncate(LongestFittingPrefix(surface, text, width));
      while (!text.isEmpty() && surface.TextWidth(text) > width) text.chop(1);
    });
    return {text};
  }

  QStringList lines;
  trap.Step([&] { lines = SplitLines(e, text, width); });
  // Only the first line's height counts. An area lower than one line keeps no
  // line at all, so nothing is printed.
  trap.Step([&] {
    if (lines.isEmpty()) return;
    const double lineHeight = surface.TextHeight(lines.first());
    while (!lines.isEmpty() && lineHeight * static_cast<double>(lines.size()) > height) lines.removeLast();
  });
  return lines;
}

QStringList SplitLines(Engine& e, const QString& text, int32_t width) {
  Trap trap(Proc::SplitLines);
  PrintSurface& surface = e.surface;
  bool whole = false;
  trap.Step([&] { whole = !(surface.TextWidth(text) > width) && !text.contains(u'\r'); });
  if (whole) return {text};

  QStringList lines;
  trap.Step([&] {
    lines = QStringList{QString()};  // afresh, should the step be retried
    float c = 0;
    const qsizetype n = text.size();
    qsizetype p = 0;
    // A position past the 16-bit range cannot be reached: the wrap stops there
    // with an Overflow, keeping the lines made so far.
    auto within = [&] {
      if (p >= n) return false;
      if (p >= kMaxPosition) Raise(RuntimeError::Overflow);
      return true;
    };
    auto newLine = [&] {
      if (lines.size() >= kMaxPosition) Raise(RuntimeError::Overflow);
      lines.append(QString());
      c = 0;
    };
    while (within()) {
      const qsizetype start = p;
      while (within() && text.at(p).unicode() > 32) ++p;
      const QString word = QString::fromRawData(text.constData() + start, p - start);
      if (static_cast<double>(surface.TextWidth(word) + c) > width) newLine();
      lines.last() += word;
      c = surface.TextWidth(lines.last());
      while (within() && text.at(p).unicode() <= 32) {
        const char16_t ch = text.at(p).unicode();
        if (ch == u' ' || ch == u'\t') {
          lines.last() += u' ';
          c = surface.TextWidth(lines.last());
        } else if (ch == u'\r') {
          newLine();
        }
        ++p;
      }
    }
  });
  trap.Step([&] {
    for (QString& line : lines) TrimSpaces(line);
  });
  return lines;
}

}  // namespace zarn
