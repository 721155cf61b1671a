#pragma once
// A print script run as zarn-render runs it: through the real engine and
// surface (EngineWiring) on our PDF writer alone, into one PDF file. For
// tests and benchmarks that link zarn_app_wiring; and the sample invoice.
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include "app/wiring.h"
#include "engine/parse_print.h"
#include "tests/support/fakes.h"

namespace zarn::testing {

// Runs the script (ParsePrint, as the job flow does) with folder as the
// program folder, gradients drawn as segment runs or one line per segment.
// Returns the path of the PDF it wrote in folder (empty when none) and sets
// errors to what the trap reported.
inline QString ScriptToPdf(const QString& script, const QString& folder, bool segmentRuns, QStringList& errors) {
  ScopedTrapHost trap;
  WiringOptions options;
  options.programFolder = folder;
  options.pdfWriterOnly = true;
  options.pdfFolder = folder + "/pdf";
  {
    EngineWiring wiring(trap.dialogs, trap.files, trap.clock, options);
    wiring.surface.SetSegmentRuns(segmentRuns);
    ParsePrint(wiring.engine, script, 0);
    wiring.surface.FinishAll();
  }
  errors = trap.Errors();
  QDirIterator it(options.pdfFolder, {"*.pdf"}, QDir::Files, QDirIterator::Subdirectories);
  return it.hasNext() ? it.next() : QString();
}

// The sample invoice (examples/scripts/invoice.txt) with the logo that the
// sample service would hand over taken from the examples folder.
inline QString SampleInvoice(const QString& examples) {
  QFile file(examples + "/scripts/invoice.txt");
  if (!file.open(QIODevice::ReadOnly)) return {};
  QString script = QString::fromUtf8(file.readAll());
  script.remove(QRegularExpression("GF\\|[^\r\n]*\r?\n"));
  return script.replace("DI|zarn-logo.png|", "DI|" + examples + "/logo.png|");
}

}  // namespace zarn::testing
