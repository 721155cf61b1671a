#pragma once
// The user's answers to "may this service print?". Without a host line in the
// settings file, the first request to a host the user has not answered for
// asks: Always and Never are kept for that user in a plain text file the user
// can read and edit, one line per host, "allow HOST" or "deny HOST" (the host
// in lower case, without a port: an answer holds for every port); This time
// holds for the run. The file is only appended to, and the last line about a
// host counts.
#include <QHash>
#include <QString>

#include "platform/dialogs.h"

namespace zarn {

class FileSystem;

class ServiceConsent {
 public:
  // answersPath: the answers file ($XDG_CONFIG_HOME/zarn/service-hosts).
  ServiceConsent(FileSystem& files, Dialogs& dialogs, QString answersPath);

  enum class Decision { Allowed, JustDenied, Denied };
  // Asks the user about host unless an answer is known. JustDenied: the user
  // said Never now; Denied: an earlier answer (or this run's) says so.
  Decision Ask(const QString& host);

  const QString& answersPath() const { return path_; }

 private:
  void Load();
  void Remember(const QString& host, bool allow);

  FileSystem& files_;
  Dialogs& dialogs_;
  QString path_;
  bool loaded_ = false;
  QHash<QString, bool> answers_;  // host -> allowed
};

}  // namespace zarn
