#pragma once
// The desktop's paper: what our PDF writer printer starts on.
#include <QPageSize>

namespace zarn {

// The paper of the user's regional settings (Letter, Legal or A3 by their
// DMPAPER numbers); A4 for any other.
QPageSize DesktopPaper();

}  // namespace zarn
