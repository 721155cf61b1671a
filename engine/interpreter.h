#pragma once
// The print script interpreter: lines, fields, keywords, dispatch.
#include <QString>
#include <QStringList>
#include <cstdint>

#include "engine/engine.h"

namespace zarn {

// Executes the script line by line. pdfPass: this is the PDF copy run (no
// message boxes). pdfNameOnly: only PDFNAME lines run.
void ExecutePrintScript(Engine& e, const QString& script, int16_t pdfPass, int16_t pdfNameOnly);

// The script's lines: split at CR LF, else CR, else LF, chosen once.
QStringList SplitScriptLines(const QString& script);

}  // namespace zarn
