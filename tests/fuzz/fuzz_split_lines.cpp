// The word wrap and the text-area fitting: two bytes of width, one of height
// in lines, one wrap flag, then the text.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/text.h"
#include "platform/file_system.h"
#include "qt/real_file_system.h"
#include "tests/fuzz/fuzz_host.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_surface.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static zarn::testing::RecordingSurface surface;
  static zarn::testing::FakePictureLoader pictures;
  static zarn::testing::FakeDialogs dialogs;
  static zarn::testing::FixedClock clock;
  static zarn::RealFileSystem files;
  static zarn::RunLog log;
  static zarn::Engine engine(surface, surface, log, dialogs, files, pictures, clock);
  static const bool ready = (zarn::fuzz::InstallIgnoringTrapHost(), surface.recording = false, true);
  (void)ready;
  if (size < 4) return 0;
  int16_t width;
  std::memcpy(&width, data, 2);
  const int32_t height = (data[2] % 8) * 200 - 200;  // -200 .. 1200 twips: below one line too
  const int32_t wrap = data[3] & 1;
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 4), static_cast<qsizetype>(size - 4));
  const QStringList lines = zarn::SplitLines(engine, text, width);
  if (lines.isEmpty()) __builtin_trap();  // a line list always has a line
  zarn::FixTextArea(engine, text, width, height, wrap);
  return 0;
}
