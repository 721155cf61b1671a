#pragma once
// An Engine on fakes for tests: recording surface and printer list, fake
// pictures, real files (in a temporary folder), a fixed clock, and a trap host
// whose dialogs answer Ignore unless told otherwise.
#include <QString>
#include <QStringList>

#include "engine/engine.h"
#include "tests/support/fakes.h"
#include "tests/support/recording_surface.h"

namespace zarn::testing {

struct EngineFixture {
  explicit EngineFixture(QStringList printers = {QStringLiteral("Office"), QStringLiteral("PDF Writer")});

  // The run log's "MESSAGE :" lines, without the prefix.
  QStringList Messages() const;

  ScopedTrapHost trap;
  RecordingSurface surface;
  FakePictureLoader pictures;
  RunLog log;
  Engine engine;
  PrintState& state;
};

}  // namespace zarn::testing
