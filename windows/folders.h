#pragma once
// Where zarn's files live on Windows.
#include <QString>

namespace zarn {

// The user's answers about service hosts: %APPDATA%\zarn\service-hosts.
QString WindowsServiceHostsPath();

}  // namespace zarn
