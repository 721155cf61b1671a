#include "qr/qr_code.h"

#include <algorithm>

#include "errortrap/convert.h"
#include "errortrap/error.h"

namespace zarn {
namespace {

constexpr char16_t kAlphanumeric[] = u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";

bool IsDigit(QChar c) { return c.unicode() >= u'0' && c.unicode() <= u'9'; }
bool IsAlphanumeric(QChar c) {
  return std::char_traits<char16_t>::find(kAlphanumeric, std::size(kAlphanumeric) - 1, c.unicode()) != nullptr;
}

// The outline lists start with room for a small symbol and double when full,
// so even a version-40 symbol needs only a handful of allocations.
template <typename T>
void PushDoubling(std::vector<T>& list, const T& item, size_t initial) {
  if (list.size() == list.capacity()) list.reserve(list.empty() ? initial : list.capacity() * 2);
  list.push_back(item);
}
constexpr size_t kInitialPoints = 256;
constexpr size_t kInitialCounts = 32;

}  // namespace

qrcodegen::QrSegment MakeQrSegment(const QString& text) {
  if (std::all_of(text.begin(), text.end(), IsDigit))
    return qrcodegen::QrSegment::makeNumeric(text.toLatin1().constData());
  if (std::all_of(text.begin(), text.end(), IsAlphanumeric))
    return qrcodegen::QrSegment::makeAlphanumeric(text.toLatin1().constData());
  const QByteArray utf8 = text.toUtf8();
  return qrcodegen::QrSegment::makeBytes(std::vector<uint8_t>(utf8.begin(), utf8.end()));
}

std::optional<QrSymbol> EncodeQrText(const QString& text, int32_t level, int32_t minVersion,
                                     int32_t maxVersion, int32_t mask, bool boost) {
  if (level < 0 || level > 3 || minVersion < qrcodegen::QrCode::MIN_VERSION ||
      maxVersion > qrcodegen::QrCode::MAX_VERSION || minVersion > maxVersion || mask < -1 || mask > 7)
    Raise(RuntimeError::InvalidArgument);

  const std::vector<qrcodegen::QrSegment> segments{MakeQrSegment(text)};
  try {
    const qrcodegen::QrCode code = qrcodegen::QrCode::encodeSegments(
        segments, static_cast<qrcodegen::QrCode::Ecc>(level), minVersion, maxVersion, mask, boost);
    QrSymbol symbol;
    symbol.size = code.getSize();
    symbol.dark.resize(static_cast<size_t>(symbol.size) * symbol.size);
    for (int32_t y = 0; y < symbol.size; ++y)
      for (int32_t x = 0; x < symbol.size; ++x)
        symbol.dark[static_cast<size_t>(y) * symbol.size + x] = code.getModule(x, y) ? 1 : 0;
    return symbol;
  } catch (const qrcodegen::data_too_long&) {
    return std::nullopt;
  }
}

VertexGrid MarkOutlineEdges(const QrSymbol& s) {
  VertexGrid grid;
  grid.side = s.size + 1;
  grid.vertices.resize(static_cast<size_t>(grid.side) * grid.side);
  for (int32_t y = 0; y < grid.side; ++y) {
    for (int32_t x = 0; x < grid.side; ++x) {
      const bool upLeft = s.Dark(x - 1, y - 1), upRight = s.Dark(x, y - 1);
      const bool downLeft = s.Dark(x - 1, y), downRight = s.Dark(x, y);
      VertexEdges& v = grid.At(x, y);
      v.Right = !upRight && downRight;
      v.Down = downLeft && !downRight;
      v.Left = upLeft && !downLeft;
      v.Up = !upLeft && upRight;
    }
  }
  return grid;
}

void AppendOutlinePoint(OutlineLists& lists, size_t first, QrPoint point) {
  std::vector<QrPoint>& pts = lists.points;
  if (pts.size() >= first + 2) {
    const QrPoint& a = pts[pts.size() - 2];
    const QrPoint& b = pts.back();
    if ((a.Y == b.Y && b.Y == point.Y) || (a.X == b.X && b.X == point.X)) pts.pop_back();
  }
  PushDoubling(pts, point, kInitialPoints);
}

OutlineLists TraceOutlines(VertexGrid& grid, int32_t moduleSize) {
  OutlineLists lists;
  const auto has = [](const VertexEdges& v) { return v.Left || v.Up || v.Right || v.Down; };
  const auto corner = [moduleSize](int32_t x, int32_t y) {
    return QrPoint{MulLong(x, moduleSize), MulLong(y, moduleSize)};
  };
  // Tracing only clears flags, so the next start is never before the last one.
  auto start = grid.vertices.begin();
  for (;;) {
    start = std::find_if(start, grid.vertices.end(), has);
    if (start == grid.vertices.end()) break;
    const auto index = static_cast<int32_t>(start - grid.vertices.begin());
    int32_t x = index % grid.side, y = index / grid.side;
    const size_t first = lists.points.size();
    AppendOutlinePoint(lists, first, corner(x, y));
    for (;;) {
      VertexEdges& v = grid.At(x, y);
      if (v.Right) {
        v.Right = false;
        ++x;
      } else if (v.Down) {
        v.Down = false;
        ++y;
      } else if (v.Left) {
        v.Left = false;
        --x;
      } else if (v.Up) {
        v.Up = false;
        --y;
      } else {
        break;
      }
      if (x < 0 || y < 0 || x >= grid.side || y >= grid.side) Raise(RuntimeError::SubscriptOutOfRange);
      AppendOutlinePoint(lists, first, corner(x, y));
    }
    PushDoubling(lists.counts, static_cast<int32_t>(lists.points.size() - first), kInitialCounts);
  }
  lists.points.shrink_to_fit();
  lists.counts.shrink_to_fit();
  return lists;
}

QrPicture DrawQrPicture(const QrSymbol& symbol, uint32_t colour, int32_t moduleSize) {
  if (moduleSize < 1) Raise(RuntimeError::InvalidArgument);
  VertexGrid grid = MarkOutlineEdges(symbol);
  OutlineLists lists = TraceOutlines(grid, moduleSize);

  QrPicture picture;
  picture.side = MulLong(static_cast<int64_t>(symbol.size) + 1, moduleSize);
  picture.moduleSize = moduleSize;
  picture.colour = colour;
  // Turn the picture right way up for y growing upwards, leaving h - 1 twips of
  // white at the left and bottom and m - h + 1 at the right and top.
  const int32_t h = moduleSize / 2;
  const int32_t shiftX = h - 1;
  const int32_t shiftY = AddLong(MulLong(symbol.size, moduleSize), h - 1);
  for (QrPoint& p : lists.points) p = QrPoint{AddLong(p.X, shiftX), AddLong(shiftY, -static_cast<int64_t>(p.Y))};
  picture.points = std::move(lists.points);
  picture.counts = std::move(lists.counts);
  return picture;
}

std::optional<QrPicture> CreateQrPicture(const QString& text, uint32_t colour, int32_t moduleSize,
                                         int32_t level, int32_t minVersion, int32_t maxVersion,
                                         int32_t mask, bool boost) {
  const std::optional<QrSymbol> symbol = EncodeQrText(text, level, minVersion, maxVersion, mask, boost);
  if (!symbol) return std::nullopt;
  return DrawQrPicture(*symbol, colour, moduleSize);
}

}  // namespace zarn
