// Link data as it arrives: Base64 text, then the URI and UTF-8 decoding.
#include <cstddef>
#include <cstdint>

#include "decoding/decoding.h"
#include "tests/fuzz/fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (zarn::fuzz::InstallIgnoringTrapHost(), true);
  (void)ready;
  const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QByteArray bytes = zarn::Base64Decode(text);
  if (bytes.size() > static_cast<qsizetype>(size)) __builtin_trap();  // decoding never grows the data
  zarn::DecodeURI(bytes);
  // The URI step also sees raw bytes when a link's Base64 is skipped.
  zarn::DecodeURI(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
  return 0;
}
