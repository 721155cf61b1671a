#include "platform/file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zarn {

QString NativePath(const QString& path) {
  QString p = path;
  p.replace(u'\\', u'/');
  return p;
}

std::optional<QByteArray> RealFileSystem::ReadAll(const QString& path) const {
  QFile f(NativePath(path));
  if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
  return f.readAll();
}

bool RealFileSystem::Exists(const QString& path) const { return QFileInfo::exists(NativePath(path)); }

bool RealFileSystem::IsFile(const QString& path) const { return QFileInfo(NativePath(path)).isFile(); }

bool RealFileSystem::MakeFolder(const QString& path) { return QDir().mkdir(NativePath(path)); }

bool RealFileSystem::Append(const QString& path, const QByteArray& bytes) {
  QFile f(NativePath(path));
  if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
  return f.write(bytes) == bytes.size();
}

}  // namespace zarn
