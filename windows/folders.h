#pragma once
// Where zarn's files live on Windows.
#include <QString>

namespace zarn {

// The program folder: the folder of zarn.exe, installed per user in a folder
// that user can write. Needs a QCoreApplication.
QString ProgramFolder();

// The user's answers about service hosts: %APPDATA%\zarn\service-hosts.
QString WindowsServiceHostsPath();

}  // namespace zarn
