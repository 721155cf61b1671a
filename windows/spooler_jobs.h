#pragma once
// Job numbers from the spooler's job list, which Qt's printer does not hand back.
#include <QString>

namespace zarn {

// The newest job of this user with the given document name on the printer; 0
// when there is none within timeoutMs (the spooler may list it a moment late).
int NewestSpoolerJob(const QString& printer, const QString& title, int timeoutMs);

}  // namespace zarn
