#pragma once

namespace zarn {

// zarn.exe is a window program (no console pops up for a link). Started from
// a console, it writes its standard output and errors there, and receives
// that console's Ctrl+C; output already redirected stays where it goes.
void UseParentConsole();

}  // namespace zarn

#include <QString>

namespace zarn {

// The arguments as Windows hands them over, unparsed (quotes included), as
// the link handler's command line is taken.
QString RawArguments();

}  // namespace zarn
