#include "linux/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zarn {

QString ChooseProgramFolder(const QString& executableFolder, bool writable, const QString& xdgDataHome,
                            const QString& home) {
  if (writable && QFileInfo(executableFolder).fileName() != QLatin1String("bin")) return executableFolder;
  // The XDG rule: a relative XDG_DATA_HOME is ignored.
  const QString data = QDir::isAbsolutePath(xdgDataHome) ? xdgDataHome : home + QStringLiteral("/.local/share");
  return QDir::cleanPath(data + QStringLiteral("/zarn"));
}

QString ProgramFolder() {
  const QString executableFolder = QCoreApplication::applicationDirPath();
  return ChooseProgramFolder(executableFolder, QFileInfo(executableFolder).isWritable(),
                             qEnvironmentVariable("XDG_DATA_HOME"), QDir::homePath());
}

QString UserFile(const QString& name) {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/zarn/") + name;
}

}  // namespace zarn
