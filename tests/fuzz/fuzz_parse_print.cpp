// Whole print scripts, repeat sections and PDF-only markers included, on the
// recording surface; every trapped error is ignored, as a patient user would.
// The script check reads the same input too.
#include <cstddef>
#include <cstdint>

#include "engine/parse_print.h"
#include "engine/script_check.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "qt/real_file_system.h"
#include "tests/fuzz/fuzz_host.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_surface.h"

namespace {
struct World {
  World() : engine(surface, surface, log, dialogs, files, pictures, clock) {
    zarn::fuzz::InstallIgnoringTrapHost();
    surface.recording = false;  // keep memory flat over millions of runs
  }
  zarn::testing::RecordingSurface surface;
  zarn::testing::FakePictureLoader pictures;
  zarn::testing::FakeDialogs dialogs;
  zarn::testing::FixedClock clock;
  zarn::RealFileSystem files;
  zarn::RunLog log;
  zarn::Engine engine;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World;
  world->engine.state = zarn::PrintState();
  world->log.Clear();
  world->dialogs.messages.clear();
  world->dialogs.questions.clear();
  const QString script = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  zarn::ParsePrint(world->engine, script, 0);
  zarn::ParsePrint(world->engine, script, -1);
  zarn::CheckPrintScript(script);
  return 0;
}
