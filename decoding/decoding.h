#pragma once
// Module mBASE64: the link's Base64 data to bytes, and URI-escaped UTF-8 bytes
// to text. Each procedure has its own trap.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace zarn {

// Base64 text to bytes (the byte string; one character per byte in the run log).
// Rejected text gives an empty result after the trap has reported it.
QByteArray Base64Decode(const QString& text);

// "+" to blank, "%" + two hexadecimal digits to a byte, the bytes read as UTF-8.
QString DecodeURI(const QByteArray& bytes);

// The first `count` bytes read as UTF-8; malformed sequences become U+FFFD.
QString FromUTF8(const QByteArray& bytes, int32_t count);

// The byte string as text, one character per byte (the system's single-byte
// code page is ISO-8859-1).
QString ByteStringText(const QByteArray& bytes);

}  // namespace zarn
