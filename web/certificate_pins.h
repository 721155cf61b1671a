#pragma once
// The pinned keys of https services, in a plain text file beside the answers
// file ($XDG_CONFIG_HOME/zarn/certificate-pins) that the user can read and
// edit: one line per service address, "https://HOST:PORT sha256//KEY". The
// file is appended to and the last line for an address counts; removing an
// address's lines lets its next job pin the key it then shows.
#include <QHash>
#include <QString>

#include "platform/http.h"

namespace zarn {

class FileSystem;

class CertificatePins final : public KeyPins {
 public:
  CertificatePins(FileSystem& files, QString path);

  QString Pin(const QString& origin) override;
  bool Pinned(const QString& host) override;
  void Record(const QString& origin, const QString& pin) override;
  void Mismatch(const QString& origin) override;

  // The first address of this run whose key was not its pin; empty when none.
  const QString& mismatched() const { return mismatched_; }
  const QString& path() const { return path_; }

 private:
  void Load();

  FileSystem& files_;
  QString path_;
  bool loaded_ = false;
  QHash<QString, QString> pins_;  // origin -> pin
  QString mismatched_;
};

// The text a mismatch is reported with, naming the address.
QString PinMismatchText(const QString& origin, const QString& pinsPath);

}  // namespace zarn
