#pragma once
// The program folder: where zarn keeps its own files (zarn.ini,
// error_handler.txt, qrcode.bmp, downloads under a plain name).
//
// A per-user install puts the program in a folder of its own that its user
// can write, and the files live beside the program, as the original expects.
// A packaged install puts it in a shared folder such as /usr/bin, which is not
// the user's to write (or, for root, not the place for one user's files):
// there the user's $XDG_DATA_HOME/zarn (~/.local/share/zarn) takes its place.
// Used by zarn and zarn-render alike, so both name the same files.
#include <QString>

namespace zarn {

// The decision, from facts: the folder of the running executable (no final
// "/"), whether its user may write it, and the user's XDG_DATA_HOME and HOME
// (either may be empty). A folder named "bin" is shared with other programs.
QString ChooseProgramFolder(const QString& executableFolder, bool writable, const QString& xdgDataHome,
                            const QString& home);

// The decision for this process (the folder may not exist yet). Needs a
// QCoreApplication, for the executable's folder.
QString ProgramFolder();

// A file of the user's own to zarn (answers, pins, forms):
// $XDG_CONFIG_HOME/zarn/<name> (~/.config/zarn).
QString UserFile(const QString& name);

}  // namespace zarn
