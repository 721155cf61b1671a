#pragma once
// Text on the print surface: a printer's fonts, resolved for its device once
// and kept; text lines shaped once in a font and kept, since the engine
// measures a text and then prints it and templates print the same labels on
// every page; and the glyphs of a shaped line as they cross to the painting
// thread. Units are twips at the device's resolution.
#include <QFont>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <QTextLayout>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "qt/paint_queue.h"

namespace zarn {

// Calls f(line) for each line of the text (CR LF, CR or LF end a line).
template <typename F>
void ForEachTextLine(const QString& text, F&& f) {
  const QChar* s = text.constData();
  const qsizetype n = text.size();
  qsizetype start = 0;
  for (qsizetype i = 0; i < n; ++i) {
    if (s[i] != u'\r' && s[i] != u'\n') continue;
    f(QString::fromRawData(s + start, i - start));
    if (s[i] == u'\r' && i + 1 < n && s[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  f(start == 0 ? text : QString::fromRawData(s + start, n - start));
}

qsizetype TextLineCount(const QString& text);

// Characters that a one-line QTextLayout treats otherwise than
// QPainter::drawText and QFontMetricsF do: line and paragraph separators break
// its line, and U+009C ends the part QFontMetricsF measures. Lines holding
// them, and very long lines, are drawn and measured the plain way and never
// cached.
bool Shapeable(const QString& line);

// A font as the script describes it, in twips at the device's resolution.
// The painting thread makes its own font from it: fonts belong to the thread
// that resolved them.
struct FontDescription {
  QString name;
  double pointSize = 10;
  bool bold = false, italic = false;

  QFont Make() const;
};

// A text line ready to draw on the painting thread: its glyphs as shaped in
// the primary font of its font. A line with glyphs from fallback fonts, or one
// that could not be shaped the cached way, has no runs and is drawn from its
// text.
struct LineGlyphs {
  struct Run {
    QList<quint32> glyphs;
    QList<QPointF> positions;
    QGlyphRun::GlyphRunFlags flags;
  };
  QString text;
  std::vector<Run> runs;
  double ascent = 0;  // of the shaped line, which may hold fallback fonts; 0 unshaped
};

// A raw font's face and size, by which two threads know they have the same.
QString FaceOf(const QRawFont& raw);

// On the painting thread: draws a line in the document's font number font,
// its baseline at the given point.
void DrawTextLine(PaintQueue::Target& t, int font, const LineGlyphs& g, QPointF baseline);

// One printer's fonts and shaped lines, for the device it measures with.
class TextShaper {
 public:
  // Fonts used on this printer so far, so switching back and forth (bold
  // labels, plain values) does not rebuild them.
  struct FontEntry {
    int id;  // never reused on this printer
    FontDescription description;
    QFont font;
    QFontMetricsF metrics;
    QRawFont primary{};  // the font's own face at the device's size, once text is drawn
    QString face;        // FaceOf(primary)
  };

  // A laid-out line draws item by item as drawText does, so the page
  // content is the same.
  struct Shaped {
    std::unique_ptr<QTextLayout> layout;  // one line, laid out and kept shaped
    double width = 0;                     // QFontMetricsF::horizontalAdvance of the line
    double ascent = 0;                    // of the line, which may hold fallback fonts
    std::shared_ptr<const LineGlyphs> glyphs;  // once the line is drawn
  };

  // The current font changes with the next Resolve.
  void FontChanged() { metrics_.reset(); }
  // The current font's metrics, unless it changed since it was resolved.
  const QFontMetricsF* Current() const { return metrics_ ? &*metrics_ : nullptr; }
  // Makes this the current font, in twips: measured with the device's own
  // metrics (dpi its resolution) and drawn under the painter's twips
  // transform at its true size. The device must outlive the shaper.
  const QFontMetricsF& Resolve(const QString& name, float points, bool bold, bool italic, double dpi,
                               QPaintDevice& device);
  // The line shaped in the current font (call Resolve() first); the line must
  // be Shapeable.
  Shaped& Shape(const QString& line);
  // The current font with its primary face resolved (call Resolve() first).
  const FontEntry& Primary();
  // The glyphs of a text line for the painting thread, from its shaping in the
  // current font (call Resolve() first); text without a cached shape is drawn
  // from its characters.
  std::shared_ptr<const LineGlyphs> Glyphs(const QString& line);

 private:
  void ClearShaped();

  QPaintDevice* device_ = nullptr;  // the one fonts are resolved for
  QFont font_;
  std::optional<QFontMetricsF> metrics_;
  std::map<QString, FontEntry> fonts_;
  FontEntry* fontEntry_ = nullptr;
  int fontIds_ = 0;

  // The most recently used lines are kept, a bounded number.
  struct ShapedKey {
    const FontEntry* font;
    QString text;
    bool operator==(const ShapedKey& o) const { return font == o.font && text == o.text; }
  };
  struct ShapedKeyHash {
    size_t operator()(const ShapedKey& k) const { return qHash(k.text, reinterpret_cast<size_t>(k.font)); }
  };
  static constexpr size_t kShapedLines = 256;
  std::list<std::pair<ShapedKey, Shaped>> shapedOrder_;  // most recent first
  std::unordered_map<ShapedKey, decltype(shapedOrder_)::iterator, ShapedKeyHash> shaped_;
};

}  // namespace zarn
