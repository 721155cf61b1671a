#include "windows/folders.h"

#include <windows.h>
#include <shlobj.h>

#include <QCoreApplication>

namespace zarn {

QString ProgramFolder() { return QCoreApplication::applicationDirPath(); }

QString UserFile(const QString& name) {
  wchar_t* roaming = nullptr;
  QString folder;
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &roaming) == S_OK)
    folder = QString::fromWCharArray(roaming).replace(u'\\', u'/');
  CoTaskMemFree(roaming);
  if (folder.isEmpty()) folder = qEnvironmentVariable("APPDATA").replace(u'\\', u'/');
  return folder + QStringLiteral("/zarn/") + name;
}

}  // namespace zarn
