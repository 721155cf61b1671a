#pragma once
// The paper size commands ("PSZ", "RPTPSZ"; "PSM", "RPTPSM" in millimetres): makes the current printer print on
// a user form of the given whole centimetres under the script's form name,
// logging each step, then opens the page and puts positions back at the
// sheet's origin with no margins. Trap: mPRINTSCRIPT.PaperSize.
#include <QString>
#include <cstdint>
#include <functional>

#include "engine/engine.h"

namespace zarn {

class FormSpooler;

// width and height in centimetres; read, never changed. -1 when the command
// went past the check for a form it cannot replace, 0 when it stopped there.
// The printer is always the surface's current DeviceName; ownerWindow is the
// program window's handle, handed to the driver calls.
int16_t PaperSize(Engine& e, FormSpooler& spooler, int32_t ownerWindow, int32_t& width, int32_t& height,
                  QString& formName);

// The same for "PSM" and "RPTPSM": width and height in tenths of a
// millimetre, through the same form store and the same 32-bit form size.
int16_t PaperSizeMm(Engine& e, FormSpooler& spooler, int32_t ownerWindow, int32_t& width, int32_t& height,
                    QString& formName);

// PaperSize bound to its spooler and window, for Engine::PaperSize.
std::function<int16_t(int32_t&, int32_t&, QString&)> BindPaperSize(Engine& e, FormSpooler& spooler,
                                                                   int32_t ownerWindow = 0);
std::function<int16_t(int32_t&, int32_t&, QString&)> BindPaperSizeMm(Engine& e, FormSpooler& spooler,
                                                                     int32_t ownerWindow = 0);

}  // namespace zarn
