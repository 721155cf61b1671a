#pragma once
// The file system itself, through Qt's files.
#include <QByteArray>
#include <QString>
#include <optional>

#include "platform/file_system.h"

namespace zarn {

// RealFileSystem::CreateFreeName and RemoveIfEmpty on a native path, for the
// platform's own use.
QString ClaimFreeName(const QString& path);
void RemoveEmptyFile(const QString& path);

class RealFileSystem final : public FileSystem {
 public:
  std::optional<QByteArray> ReadAll(const QString& path) const override;
  bool Exists(const QString& path) const override;
  bool IsFile(const QString& path) const override;
  bool MakeFolder(const QString& path) override;
  bool Append(const QString& path, const QByteArray& bytes) override;
  bool IsLink(const QString& path) const override;
  QString CreateFreeName(const QString& path) override;
  void RemoveIfEmpty(const QString& path) override;
  qint64 Size(const QString& path) const override;
  bool Remove(const QString& path) override;
  bool Replace(const QString& path, const QByteArray& bytes) override;
};

}  // namespace zarn
