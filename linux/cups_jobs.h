#pragma once
// Job numbers of the CUPS spooler, which Qt's printer does not hand back.
#include <QString>

namespace zarn {

// The newest job of this user with the given title on a CUPS printer; 0
// when there is none, or when the spooler did not answer within timeoutMs.
int NewestCupsJob(const QString& printer, const QString& title, int timeoutMs);

}  // namespace zarn
