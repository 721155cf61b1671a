#include "decoding/decoding.h"

#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <limits>
#include <string_view>

#include "errortrap/convert.h"
#include "errortrap/error.h"
#include "errortrap/trap.h"

namespace zarn {

namespace {

// The standard alphabet; a character's position is its value. "-" and "_" of
// the URL-safe variant are not in it and are rejected like any other stranger.
constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Value of each ASCII character in the alphabet, -1 for the rest.
constexpr std::array<int8_t, 128> kDigitOf = [] {
  std::array<int8_t, 128> table{};
  table.fill(-1);
  for (size_t k = 0; k < kAlphabet.size(); ++k) table[static_cast<unsigned char>(kAlphabet[k])] = static_cast<int8_t>(k);
  return table;
}();

constexpr char16_t kPad = u'=';

int DigitOf(char16_t c) { return c < kDigitOf.size() ? kDigitOf[c] : -1; }

}  // namespace

QByteArray Base64Decode(const QString& input) {
  Trap trap(Proc::Base64Decode);
  QString text = input;
  QByteArray result;
  qsizetype n = 0;

  // Line breaks come in pairs from mail-style wrapping; a lone CR or LF is
  // left in and rejected below.
  trap.Step([&] { text.remove(QStringLiteral("\r\n")); });
  trap.Step([&] { text.remove(u'\t'); });
  trap.Step([&] { text.remove(u' '); });
  trap.Step([&] { n = text.size(); });
  if (!trap.Step([&] {
        if (n % 4 != 0) throw ZarnError(1, QStringLiteral("Base64Decode"), QStringLiteral("Bad Base64 string."));
      }))
    return {};

  result.reserve(n / 4 * 3);
  const char16_t* chars = reinterpret_cast<const char16_t*>(text.constData());
  for (qsizetype group = 0; group + 4 <= n; group += 4) {
    int count = 0;
    uint32_t value = 0;
    // A "=" anywhere is a zero digit that takes one byte off its own group.
    if (!trap.Step([&] {
          count = 3;
          value = 0;
          for (int k = 0; k < 4; ++k) {
            const char16_t c = chars[group + k];
            int digit = 0;
            if (c == kPad) {
              --count;
            } else {
              digit = DigitOf(c);
              if (digit < 0)
                throw ZarnError(2, QStringLiteral("Base64Decode"), QStringLiteral("Bad character In Base64 string."));
            }
            value = value * 64 + static_cast<uint32_t>(digit);
          }
        }))
      return {};
    // Four "=" ask for -1 bytes, which the platform's string cut refuses.
    trap.Step([&] {
      if (count < 0) Raise(RuntimeError::InvalidArgument);
      const char bytes[3] = {static_cast<char>(value >> 16), static_cast<char>(value >> 8), static_cast<char>(value)};
      result.append(bytes, count);
    });
  }
  return result;
}

QString DecodeURI(const QByteArray& input) {
  Trap trap(Proc::DecodeURI);
  QString text;
  if (input.isEmpty()) return text;

  QByteArray bytes = input;
  QByteArray out;
  qsizetype count = 0;
  // Before the escapes, so that an escaped plus stays a plus.
  trap.Step([&] { bytes.replace('+', ' '); });
  trap.Step([&] {
    out = QByteArray(bytes.size(), '\0');
    count = 0;
  });
  trap.Step([&] {
    count = 0;
    const qsizetype last = bytes.size() - 1;
    for (qsizetype i = 0; i <= last; ++i) {
      if (bytes[i] == '%') {
        // The (up to) two characters behind the "%"; fewer at the end of the text.
        char16_t pair[2];
        const qsizetype len = std::min<qsizetype>(2, bytes.size() - i - 1);
        for (qsizetype k = 0; k < len; ++k) pair[k] = static_cast<unsigned char>(bytes[i + 1 + k]);
        out[count] = static_cast<char>(ReadHex(QStringView(pair, len)));
        i += 2;
      } else {
        out[count] = bytes[i];
      }
      ++count;
    }
  });
  trap.Step([&] {
    if (count > std::numeric_limits<int32_t>::max()) Raise(RuntimeError::Overflow);
    text = FromUTF8(out, static_cast<int32_t>(count));
  });
  return text;
}

QString FromUTF8(const QByteArray& bytes, int32_t count) {
  Trap trap(Proc::FromUTF8);
  QString text;
  trap.Step([&] {
    // Never read past the array, whatever count says.
    const qsizetype n = std::clamp<qsizetype>(count, 0, bytes.size());
    // Like the platform converter: malformed input becomes U+FFFD, NUL bytes
    // stay, and a leading byte order mark is kept as a character.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    text = decoder(QByteArrayView(bytes.constData(), n));
  });
  return text;
}

QString ByteStringText(const QByteArray& bytes) { return QString::fromLatin1(bytes); }

}  // namespace zarn
