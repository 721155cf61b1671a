#include "qt/real_file_system.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace zarn {

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

// A junction (Windows) leads elsewhere as a symbolic link does.
bool RealFileSystem::IsLink(const QString& path) const {
  const QFileInfo info(NativePath(path));
  return info.isSymLink() || info.isJunction();
}

QString ClaimFreeName(const QString& path) {
  const QFileInfo info(path);
  const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
  const QString stem = info.dir().filePath(info.completeBaseName());
  // NewOnly is O_EXCL: of two jobs that pick the same name in the same
  // second, one gets it and the other moves on to the next.
  constexpr int kTries = 10000;
  for (int n = 1; n <= kTries; ++n) {
    const QString candidate = n == 1 ? path : QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(suffix);
    QFile file(candidate);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return candidate;
    if (!QFileInfo::exists(candidate) && !QFileInfo(candidate).isSymLink()) return {};  // not a name clash
  }
  return {};
}

QString RealFileSystem::CreateFreeName(const QString& path) { return ClaimFreeName(NativePath(path)); }

void RemoveEmptyFile(const QString& path) {
  const QFileInfo info(path);
  if (info.isFile() && !info.isSymLink() && info.size() == 0) QFile::remove(info.filePath());
}

void RealFileSystem::RemoveIfEmpty(const QString& path) { RemoveEmptyFile(NativePath(path)); }

qint64 RealFileSystem::Size(const QString& path) const {
  const QFileInfo info(NativePath(path));
  return info.isFile() ? info.size() : -1;
}

bool RealFileSystem::Remove(const QString& path) { return QFile::remove(NativePath(path)); }

bool RealFileSystem::Replace(const QString& path, const QByteArray& bytes) {
  QSaveFile file(NativePath(path));
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

}  // namespace zarn
