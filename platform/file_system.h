#pragma once
// The few file operations the subsystems need. Paths are UTF-8 on disk; a "\"
// in a path is read as a folder separator so that Windows-style script paths
// keep working.
#include <QByteArray>
#include <QString>
#include <optional>

namespace zarn {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // Whole file, or nothing when it cannot be read.
  virtual std::optional<QByteArray> ReadAll(const QString& path) const = 0;
  // Anything of that name: file or folder.
  virtual bool Exists(const QString& path) const = 0;
  // An ordinary file (not a folder).
  virtual bool IsFile(const QString& path) const = 0;
  // Creates one folder level; false when it cannot (parent missing, no rights).
  virtual bool MakeFolder(const QString& path) = 0;
  // Appends bytes, creating the file when missing; false on failure.
  virtual bool Append(const QString& path, const QByteArray& bytes) = 0;
  // A symbolic link (to anything, or dangling).
  virtual bool IsLink(const QString& path) const = 0;
  // Creates an empty file at path or, when something of that name exists,
  // at "name-2.ext", "name-3.ext" ... : the first name no other process has
  // taken, claimed atomically. Returns that path; empty when none could be made.
  virtual QString CreateFreeName(const QString& path) = 0;
  // Removes path when it is an empty file (a claimed name nothing was written to).
  virtual void RemoveIfEmpty(const QString& path) = 0;
  // The size of a file in bytes; -1 when there is none.
  virtual qint64 Size(const QString& path) const = 0;
  // Removes a file; false when it could not.
  virtual bool Remove(const QString& path) = 0;
  // Writes the file anew, whole or not at all; false on failure.
  virtual bool Replace(const QString& path, const QByteArray& bytes) = 0;
};

// "\" as separator, for paths that scripts and settings give.
QString NativePath(const QString& path);

}  // namespace zarn
