#pragma once
// The numeric conversions of the classic runtime, one helper per rule. Each
// raises the same run-time error the original conversion raises: Overflow (6)
// outside the target range, Type mismatch (13) for text that is no number.
#include <QString>
#include <QStringView>
#include <cstdint>

namespace zarn {

// Rounds to the nearest whole number, a half to the even neighbour (2.5 -> 2,
// 3.5 -> 4), into signed 32 bits; Overflow outside that range or for NaN.
int32_t RoundToLong(double value);
// The same into signed 16 bits.
int16_t RoundToShort(double value);

// A 32-bit value handed to a 16-bit setting; Overflow outside -32768..32767.
int16_t ToShort(int64_t value);

// Signed 32-bit arithmetic with Overflow outside the range.
int32_t AddLong(int64_t a, int64_t b);
int32_t MulLong(int64_t a, int64_t b);

// A script field as a number: surrounding blanks ignored, an optional sign, a
// fractional part and an exponent accepted, rounded half to even. The fraction
// is written with the desktop's decimal separator or with ".", which services
// write whatever the desktop's locale. Empty text or a non-number is Type
// mismatch, a value outside 32 bits Overflow.
int32_t FieldToLong(QStringView field);
// The same, and the value must also fit in 16 bits.
int16_t FieldToShort(QStringView field);
// A field read as FieldToLong reads it, in tenths: "62.5" is 625, one decimal
// kept and the next rounded half to even.
int32_t FieldToTenths(QStringView field);

// Reads hexadecimal digits (either case) from the start of text the way the
// platform's number reader reads "&H" + text: blanks, tabs and line feeds are
// skipped, the first other non-digit ends the number, no digit at all gives 0.
// Callers pass just the characters that make the number (two for a byte).
uint32_t ReadHex(QStringView text);

}  // namespace zarn
