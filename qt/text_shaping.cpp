#include "qt/text_shaping.h"

#include <QTextOption>
#include <algorithm>

namespace zarn {

namespace {
constexpr double kTwipsPerInch = 1440;
constexpr qsizetype kMaxShapedLine = 512;
}  // namespace

qsizetype TextLineCount(const QString& text) {
  qsizetype lines = 0;
  ForEachTextLine(text, [&](const QString&) { ++lines; });
  return lines;
}

bool Shapeable(const QString& line) {
  if (line.size() > kMaxShapedLine) return false;
  for (const QChar c : line) {
    if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator || c == u'\x9c') return false;
  }
  return true;
}

QFont FontDescription::Make() const {
  QFont f(name);
  f.setPointSizeF(pointSize);
  f.setBold(bold);
  f.setItalic(italic);
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

// The face by its own name table: QRawFont::familyName() reads the family
// list of the font's request, which Windows' font engine can leave empty, and
// then reads past it.
QString FaceOf(const QRawFont& raw) {
  if (!raw.isValid()) return {};
  const size_t names = qHash(raw.fontTable("name"));
  return QStringLiteral("%1|%2|%3").arg(QString::number(names, 16), raw.styleName()).arg(raw.pixelSize());
}

void DrawTextLine(PaintQueue::Target& t, int font, const LineGlyphs& g, QPointF baseline) {
  PaintQueue::Target::Font& f = t.fonts[font];
  if (!g.runs.empty()) {
    if (!f.raw.isValid()) {
      // Glyph numbers only carry over when this thread resolves the same face.
      f.raw = QRawFont::fromFont(QFont(f.font, t.painter.device()));
      f.sameFace = FaceOf(f.raw) == f.face;
    }
    if (f.sameFace) {
      QGlyphRun run;
      run.setRawFont(f.raw);
      for (const LineGlyphs::Run& r : g.runs) {
        run.setGlyphIndexes(r.glyphs);
        run.setPositions(r.positions);
        run.setFlags(r.flags);
        t.painter.drawGlyphRun(baseline - QPointF(0, g.ascent), run);
      }
      return;
    }
  }
  t.painter.setFont(f.font);
  t.painter.drawText(baseline, g.text);
}

const QFontMetricsF& TextShaper::Resolve(const QString& name, float points, bool bold, bool italic, double dpi,
                                         QPaintDevice& device) {
  device_ = &device;
  const QString key = QStringLiteral("%1|%2|%3|%4").arg(name).arg(points).arg(bold).arg(italic);
  auto it = fonts_.find(key);
  if (it == fonts_.end()) {
    const FontDescription description{name, points * kTwipsPerInch / dpi, bold, italic};
    // Resolved for the device once: a layout then shares this font's
    // engine instead of looking it up in the font database every time.
    const QFont f(description.Make(), &device);
    if (fonts_.size() >= 64) {
      ClearShaped();
      fonts_.clear();
    }
    it = fonts_.emplace(key, FontEntry{fontIds_++, description, f, QFontMetricsF(f, &device), {}, {}}).first;
  }
  font_ = it->second.font;
  fontEntry_ = &it->second;
  return metrics_.emplace(it->second.metrics);
}

void TextShaper::ClearShaped() {
  shaped_.clear();
  shapedOrder_.clear();
}

TextShaper::Shaped& TextShaper::Shape(const QString& line) {
  ShapedKey key{fontEntry_, line};
  if (auto hit = shaped_.find(key); hit != shaped_.end()) {
    shapedOrder_.splice(shapedOrder_.begin(), shapedOrder_, hit->second);
    return hit->second->second;
  }
  // A copy that owns its characters: the line may be a view into the caller's text.
  key.text = QString(line.constData(), line.size());
  Shaped s;
  s.layout = std::make_unique<QTextLayout>(key.text, font_, device_);
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  option.setTextDirection(Qt::LeftToRight);  // as the painter's default layout direction
  option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
  s.layout->setTextOption(option);
  s.layout->setCacheEnabled(true);
  s.layout->beginLayout();
  const QTextLine textLine = s.layout->createLine();
  s.layout->endLayout();
  if (textLine.isValid()) {
    s.width = textLine.horizontalAdvance();
    s.ascent = textLine.ascent();
  }
  if (shapedOrder_.size() >= kShapedLines) {
    shaped_.erase(shapedOrder_.back().first);
    shapedOrder_.pop_back();
  }
  shapedOrder_.emplace_front(key, std::move(s));
  shaped_.emplace(std::move(key), shapedOrder_.begin());
  return shapedOrder_.front().second;
}

const TextShaper::FontEntry& TextShaper::Primary() {
  FontEntry& entry = *fontEntry_;
  if (!entry.primary.isValid()) {
    entry.primary = QRawFont::fromFont(entry.font);
    entry.face = FaceOf(entry.primary);
  }
  return entry;
}

std::shared_ptr<const LineGlyphs> TextShaper::Glyphs(const QString& line) {
  if (!Shapeable(line)) {
    auto g = std::make_shared<LineGlyphs>();
    g->text = QString(line.constData(), line.size());
    return g;
  }
  Shaped& s = Shape(line);
  if (s.glyphs) return s.glyphs;
  auto g = std::make_shared<LineGlyphs>();
  g->text = QString(line.constData(), line.size());
  g->ascent = s.ascent;
  const FontEntry& entry = Primary();
  const QList<QGlyphRun> runs = s.layout->lineAt(0).glyphRuns();
  const bool primaryOnly = std::all_of(runs.begin(), runs.end(), [&](const QGlyphRun& r) {
    return r.rawFont() == entry.primary;
  });
  if (primaryOnly && entry.primary.isValid()) {
    for (const QGlyphRun& r : runs) g->runs.push_back({r.glyphIndexes(), r.positions(), r.flags()});
  }
  s.glyphs = g;
  return g;
}

}  // namespace zarn
