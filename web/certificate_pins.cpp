#include "web/certificate_pins.h"

#include <QStringList>
#include <QUrl>
#include <optional>

#include "platform/file_system.h"
#include "web/service_consent.h"
#include "web/service_hosts.h"

namespace zarn {

CertificatePins::CertificatePins(FileSystem& files, QString path) : files_(files), path_(std::move(path)) {}

void CertificatePins::Load() {
  if (loaded_) return;
  loaded_ = true;
  const std::optional<QByteArray> bytes = files_.ReadAll(path_);
  if (!bytes) return;
  for (const QString& line : QString::fromUtf8(*bytes).split(u'\n')) {
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.size() == 2 && words[1].startsWith(QStringLiteral("sha256//"))) pins_.insert(words[0].toLower(), words[1]);
  }
}

QString CertificatePins::Pin(const QString& origin) {
  Load();
  return pins_.value(origin.toLower());
}

bool CertificatePins::Pinned(const QString& host) {
  Load();
  const QString h = CanonicalHost(host);
  for (auto it = pins_.cbegin(); it != pins_.cend(); ++it)
    if (UrlHost(it.key()) == h) return true;
  return false;
}

void CertificatePins::Record(const QString& origin, const QString& pin) {
  Load();
  pins_.insert(origin.toLower(), pin);
  MakeFoldersFor(files_, path_);
  files_.Append(path_, (origin.toLower() + u' ' + pin + u'\n').toUtf8());
}

void CertificatePins::Mismatch(const QString& origin) {
  if (mismatched_.isEmpty()) mismatched_ = origin;
}

QString PinMismatchText(const QString& origin, const QString& pinsPath) {
  return QStringLiteral("The service at ") + origin +
         QStringLiteral(" did not show the certificate key zarn pinned at its first job (") + pinsPath +
         QStringLiteral("); nothing of this job was run.");
}

}  // namespace zarn
