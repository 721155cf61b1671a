#pragma once
// Texts the QR round trips read back: digits (numeric mode), upper case
// (alphanumeric), UTF-8 (byte mode) and a long one of 2000 characters.
#include <QByteArray>

namespace zarn::testing {

inline constexpr char kQrDigits[] = "012345678901234567890123456789";
inline constexpr char kQrUpperCase[] = "ZARN PRINT CLIENT: ORDER 4711 $%*+-./";
inline constexpr char kQrUtf8[] = "Grüße aus Zürich – 東京 ✓";

inline QByteArray QrLongText() {
  QByteArray t;
  for (int i = 0; t.size() < 2000; ++i) t += "Line " + QByteArray::number(i) + ": the quick brown fox; ";
  t.truncate(2000);
  return t;
}

}  // namespace zarn::testing
