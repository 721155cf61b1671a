#include "platform/http.h"

namespace zarn {

QByteArray RequestAddressBytes(const QString& url) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const QByteArray utf8 = url.toUtf8();
  QByteArray out;
  out.reserve(utf8.size());
  for (const char ch : utf8) {
    const auto c = static_cast<unsigned char>(ch);
    if (c > 0x20 && c < 0x7F) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    }
  }
  return out;
}

}  // namespace zarn
