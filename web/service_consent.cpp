#include "web/service_consent.h"

#include <QStringList>
#include <optional>

#include "platform/file_system.h"
#include "web/service_hosts.h"

namespace zarn {

namespace {
const QString kTitle = QStringLiteral("zarn");
const QString kAllow = QStringLiteral("allow");
const QString kDeny = QStringLiteral("deny");
}  // namespace

ServiceConsent::ServiceConsent(FileSystem& files, Dialogs& dialogs, QString answersPath)
    : files_(files), dialogs_(dialogs), path_(std::move(answersPath)) {}

void ServiceConsent::Load() {
  if (loaded_) return;
  loaded_ = true;
  const std::optional<QByteArray> bytes = files_.ReadAll(path_);
  if (!bytes) return;
  for (const QString& line : QString::fromUtf8(*bytes).split(u'\n')) {
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.size() != 2) continue;
    const QString verb = words[0].toLower();
    if (verb == kAllow || verb == kDeny) answers_.insert(CanonicalHost(words[1]), verb == kAllow);
  }
}

void ServiceConsent::Remember(const QString& host, bool allow) {
  answers_.insert(host, allow);
  // The folder may not exist yet on a fresh account: one level at a time.
  const QString folder = NativePath(path_).section(u'/', 0, -2);
  QString made;
  for (const QString& part : folder.split(u'/')) {
    made += (made.isEmpty() && part.isEmpty()) ? QString() : u'/' + part;
    if (!made.isEmpty() && !files_.Exists(made)) files_.MakeFolder(made);
  }
  // Not being able to keep the answer must not stop the job it was given for.
  files_.Append(path_, ((allow ? kAllow : kDeny) + u' ' + host + u'\n').toUtf8());
}

ServiceConsent::Decision ServiceConsent::Ask(const QString& rawHost) {
  Load();
  const QString host = CanonicalHost(rawHost);
  if (const auto it = answers_.constFind(host); it != answers_.constEnd())
    return *it ? Decision::Allowed : Decision::Denied;
  switch (dialogs_.AskHost(kTitle, QStringLiteral("Allow print jobs from ") + host + QStringLiteral("?"))) {
    case HostAnswer::Always:
      Remember(host, true);
      return Decision::Allowed;
    case HostAnswer::ThisTime:
      answers_.insert(host, true);
      return Decision::Allowed;
    case HostAnswer::Never:
      Remember(host, false);
      return Decision::JustDenied;
  }
  return Decision::Denied;
}

}  // namespace zarn
