#include "tests/support/engine_fixture.h"

namespace zarn::testing {

EngineFixture::EngineFixture(QStringList printers)
    : surface(std::move(printers)),
      engine(surface, surface, log, trap.dialogs, trap.files, pictures, trap.clock),
      state(engine.state) {
  engine.programFolder = trap.folder;
}

QStringList EngineFixture::Messages() const {
  QStringList out;
  for (const QString& line : log.Text().split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
    if (line.startsWith(QStringLiteral("MESSAGE :"))) out << line.mid(9);
  return out;
}

}  // namespace zarn::testing
