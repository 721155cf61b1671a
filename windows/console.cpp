#include "windows/console.h"

#include <windows.h>

#include <QString>
#include <cstdio>

namespace zarn {

namespace {
bool Redirected(DWORD which) {
  const HANDLE h = GetStdHandle(which);
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}
}  // namespace

void UseParentConsole() {
  const bool out = Redirected(STD_OUTPUT_HANDLE);
  const bool err = Redirected(STD_ERROR_HANDLE);
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!out) std::freopen("CONOUT$", "w", stdout);
  if (!err) std::freopen("CONOUT$", "w", stderr);
}

}  // namespace zarn

namespace zarn {

QString RawArguments() {
  const QString line = QString::fromWCharArray(GetCommandLineW());
  qsizetype i = 0;
  // The program's own name: quoted, or up to the first blank.
  if (line.startsWith(u'"')) {
    i = line.indexOf(u'"', 1);
    i = i < 0 ? line.size() : i + 1;
  } else {
    while (i < line.size() && line[i] != u' ' && line[i] != u'\t') ++i;
  }
  while (i < line.size() && (line[i] == u' ' || line[i] == u'\t')) ++i;
  return line.mid(i);
}

}  // namespace zarn
