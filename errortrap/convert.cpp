#include "errortrap/convert.h"

#include <QLocale>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include "errortrap/error.h"

namespace zarn {

namespace {
template <typename T>
T RoundInto(double value) {
  // nearbyint rounds in the default mode, which is half to even.
  const double r = std::nearbyint(value);
  if (!(r >= std::numeric_limits<T>::min() && r <= std::numeric_limits<T>::max()))
    Raise(RuntimeError::Overflow);
  return static_cast<T>(r);
}

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }
}  // namespace

int32_t RoundToLong(double value) { return RoundInto<int32_t>(value); }
int16_t RoundToShort(double value) { return RoundInto<int16_t>(value); }

int16_t ToShort(int64_t value) {
  if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
    Raise(RuntimeError::Overflow);
  return static_cast<int16_t>(value);
}

int32_t AddLong(int64_t a, int64_t b) {
  const int64_t sum = a + b;
  if (sum < std::numeric_limits<int32_t>::min() || sum > std::numeric_limits<int32_t>::max())
    Raise(RuntimeError::Overflow);
  return static_cast<int32_t>(sum);
}

int32_t MulLong(int64_t a, int64_t b) {
  // Both operands are 32-bit values, so the product fits in 64 bits.
  const int64_t product = a * b;
  if (product < std::numeric_limits<int32_t>::min() || product > std::numeric_limits<int32_t>::max())
    Raise(RuntimeError::Overflow);
  return static_cast<int32_t>(product);
}

namespace {
// The desktop's decimal separator. One locale serves the whole run, so it is
// asked once: every number field comes here.
QChar DecimalSeparator() {
  static const QChar separator = [] {
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 ? point.front() : QChar(u'.');
  }();
  return separator;
}
}  // namespace

namespace {
// The number a field holds, before any rounding.
double FieldToNumber(QStringView field) {
  qsizetype begin = 0, end = field.size();
  while (begin < end && IsBlank(field[begin])) ++begin;
  while (end > begin && IsBlank(field[end - 1])) --end;
  if (begin == end) Raise(RuntimeError::TypeMismatch);

  // Only the characters of a decimal number may take part, the desktop's
  // separator read as ".". The reading itself is the C locale's, whatever the
  // process's locale: "." is never a thousands separator.
  const QChar separator = DecimalSeparator();
  std::string ascii;
  ascii.reserve(static_cast<size_t>(end - begin));
  for (qsizetype i = begin; i < end; ++i) {
    const char16_t c = field[i] == separator ? u'.' : field[i].unicode();
    const bool allowed = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.' ||
                         c == u'e' || c == u'E';
    if (!allowed) Raise(RuntimeError::TypeMismatch);
    ascii.push_back(static_cast<char>(c));
  }
  const char* first = ascii.data();
  const char* last = first + ascii.size();
  const bool negative = *first == '-';
  if (negative || *first == '+') ++first;
  if (first == last || *first == '-' || *first == '+') Raise(RuntimeError::TypeMismatch);
  double value = 0;
  const std::from_chars_result read = std::from_chars(first, last, value);
  if (read.ptr != last) Raise(RuntimeError::TypeMismatch);
  if (read.ec == std::errc::result_out_of_range) {
    // Too small rounds to 0; too large is Overflow.
    const std::string_view text(first, static_cast<size_t>(last - first));
    const size_t exponent = text.find_first_of("eE");
    if (exponent == std::string_view::npos || text.substr(exponent + 1, 1) != "-") Raise(RuntimeError::Overflow);
    value = 0;
  } else if (read.ec != std::errc()) {
    Raise(RuntimeError::TypeMismatch);
  }
  return negative ? -value : value;
}
}  // namespace

int32_t FieldToLong(QStringView field) { return RoundToLong(FieldToNumber(field)); }

int32_t FieldToTenths(QStringView field) { return RoundToLong(FieldToNumber(field) * 10); }

int16_t FieldToShort(QStringView field) { return ToShort(FieldToLong(field)); }

uint32_t ReadHex(QStringView text) {
  uint32_t value = 0;
  for (const QChar ch : text) {
    const char16_t c = ch.unicode();
    if (c == u' ' || c == u'\t' || c == u'\n') continue;
    int digit;
    if (c >= u'0' && c <= u'9') digit = c - u'0';
    else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
    else break;
    value = value * 16 + static_cast<uint32_t>(digit);
  }
  return value;
}

}  // namespace zarn
