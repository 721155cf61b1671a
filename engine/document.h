#pragma once
// Printer selection and document control. Every procedure has its own trap
// (module mPRINTSCRIPT) and returns a 16-bit value that the interpreter stores
// and never tests.
#include <QString>
#include <cstdint>

#include "engine/engine.h"

namespace zarn {

// Selects a printer by name ("default" or empty: LastDeviceName); -1 when
// PrinterIndex finds it and SetPrinter ran, 0 (and a log line) when not.
int16_t DeviceName(Engine& e, QString name);
// Saves the current printer in LastDeviceName and switches to the printer of
// exactly this name, when there is one; 0.
int16_t SetPrinter(Engine& e, const QString& name);
// Position of the first printer whose lower-case name matches the lower-case
// pattern ("*", "?", "#", "[a-c]", "[!x]"), or -1.
int16_t PrinterIndex(Engine& e, const QString& pattern);
// The pattern language of PrinterIndex on its own (case-sensitive).
bool MatchesPattern(QStringView text, QStringView pattern);

int16_t SetMargin(Engine& e, int32_t top, int32_t left);
int16_t StartDoc(Engine& e, const QString& orientation, const QString& paper, int32_t copies);
int16_t SimpleStartDoc(Engine& e);
int16_t NewPage(Engine& e);
int16_t EndDoc(Engine& e);
// One more page of the run; past kMaxJobPages the job ends (JobLimit).
void CountPage(Engine& e);

// Opens the page the way StartDoc and PaperSize do: page-open flag cleared,
// an empty Print, flag set again.
void OpenPage(Engine& e);

}  // namespace zarn
