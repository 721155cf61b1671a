#pragma once
// The user's answers to "may this service print?". Without a host line in the
// settings file, the first request to a host the user has not answered for
// asks: Always and Never are kept for that user in a plain text file the user
// can read and edit, one line per host, "allow HOST" or "deny HOST" (the host
// in lower case, without a port: an answer holds for every port); This time
// holds for the run, and so does a box closed without an answer (Escape),
// which refuses only this once. The file is appended to, and the last line
// about a host counts; forgetting a host rewrites it without that host.
#include <QHash>
#include <QSet>
#include <QString>

#include "platform/dialogs.h"

namespace zarn {

class FileSystem;

// The key an answer is kept under: this machine's own addresses, however
// written (0, 0.0.0.0, 127.x.y.z, ::1, ::ffff:127.0.0.1, localhost), are
// "localhost"; any other host is its canonical ASCII form.
QString ConsentKey(const QString& host);
// How a box names a host: its ASCII form and, when the host has non-ASCII
// letters, their Unicode form beside it, so that lookalikes differ visibly.
QString ShownHost(const QString& host);

// The folders above path, one level at a time: on a fresh account the user's
// configuration folder may not exist yet.
void MakeFoldersFor(FileSystem& files, const QString& path);

class ServiceConsent {
 public:
  // answersPath: the answers file ($XDG_CONFIG_HOME/zarn/service-hosts).
  ServiceConsent(FileSystem& files, Dialogs& dialogs, QString answersPath);

  enum class Decision { Allowed, JustDenied, RefusedNow, Denied };
  // Asks the user about host unless an answer is known; path is the service
  // path that asks, shown beside the host (empty: none shown). JustDenied:
  // the user said Never now; RefusedNow: the box was closed, for this run
  // only; Denied: an earlier answer says so, and the user kept it when the
  // box offered to allow the host from now on.
  Decision Ask(const QString& host, const QString& path = {});
  // Removes every answer for host from the file; false when it held none or
  // could not be rewritten.
  bool Forget(const QString& host);

  const QString& answersPath() const { return path_; }

 private:
  void Load();
  void Remember(const QString& key, bool allow);

  FileSystem& files_;
  Dialogs& dialogs_;
  QString path_;
  bool loaded_ = false;
  QHash<QString, bool> answers_;  // key -> allowed
  QSet<QString> shownThisRun_;   // refused hosts whose box this run has shown
};

}  // namespace zarn
