#pragma once
// The desktop's paper: what our PDF writer printer starts on.
#include <QPageSize>

namespace zarn {

// The paper of the desktop's locale (LC_PAPER, or LC_ALL or LANG); A4 where
// none is set or the C library does not know it.
QPageSize DesktopPaper();

}  // namespace zarn
