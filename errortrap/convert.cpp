#include "errortrap/convert.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

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

int32_t FieldToLong(QStringView field) {
  qsizetype begin = 0, end = field.size();
  while (begin < end && IsBlank(field[begin])) ++begin;
  while (end > begin && IsBlank(field[end - 1])) --end;
  if (begin == end) Raise(RuntimeError::TypeMismatch);

  // Only the characters of a decimal number may take part: strtod alone would
  // also take "inf", "nan" and hexadecimal floats.
  std::string ascii;
  ascii.reserve(static_cast<size_t>(end - begin));
  for (qsizetype i = begin; i < end; ++i) {
    const char16_t c = field[i].unicode();
    const bool allowed = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || c == u'.' ||
                         c == u'e' || c == u'E';
    if (!allowed) Raise(RuntimeError::TypeMismatch);
    ascii.push_back(static_cast<char>(c));
  }
  const char* start = ascii.c_str();
  char* stop = nullptr;
  const double value = std::strtod(start, &stop);
  if (stop == start || *stop != '\0') Raise(RuntimeError::TypeMismatch);
  return RoundToLong(value);
}

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
