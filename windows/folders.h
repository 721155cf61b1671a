#pragma once
// Where zarn's files live on Windows.
#include <QString>

namespace zarn {

// The program folder: the folder of zarn.exe, installed per user in a folder
// that user can write. Needs a QCoreApplication.
QString ProgramFolder();

// A file of the user's own to zarn (answers, pins, the order of forms),
// roaming with the user: %APPDATA%\zarn\<name>, with "/" as separator.
QString UserFile(const QString& name);

}  // namespace zarn
