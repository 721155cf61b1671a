#pragma once
// The engine's entry for the job flow: repeat sections, PDF-only scripts, and
// plain scripts handed to the interpreter.
#include <QString>
#include <cstdint>

#include "engine/engine.h"

namespace zarn {

void ParsePrint(Engine& e, const QString& script, int16_t pdfPass);

// "yyyy-MM-dd-hh-mm-ss" of the engine's clock, the name of an unnamed PDF.
QString PdfTimeStamp(const Engine& e);

}  // namespace zarn
