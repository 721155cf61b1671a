#include "web/service_consent.h"

#include <QStringList>
#include <QUrl>
#include <optional>

#include "platform/file_system.h"
#include "web/service_hosts.h"

namespace zarn {

namespace {
const QString kTitle = QStringLiteral("zarn");
const QString kAllow = QStringLiteral("allow");
const QString kDeny = QStringLiteral("deny");
const QString kLocalhost = QStringLiteral("localhost");
// A path longer than this is cut in the box.
constexpr qsizetype kShownPath = 200;

// The verb and key of an answers line; an empty key when it is none.
std::pair<QString, QString> Answer(const QString& line) {
  const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
  if (words.size() != 2) return {};
  const QString verb = words[0].toLower();
  if (verb != kAllow && verb != kDeny) return {};
  return {verb, ConsentKey(words[1])};
}
}  // namespace

void MakeFoldersFor(FileSystem& files, const QString& path) {
  const QStringList parts = NativePath(path).section(u'/', 0, -2).split(u'/');
  // The first part is the root ("" of "/home/..."), a drive ("C:" of
  // "C:/Users/..."), or the first folder of a relative path.
  QString made = parts.value(0);
  if (!made.isEmpty() && !made.endsWith(u':') && !files.Exists(made)) files.MakeFolder(made);
  for (qsizetype i = 1; i < parts.size(); ++i) {
    made += u'/' + parts[i];
    if (!files.Exists(made)) files.MakeFolder(made);
  }
}

QString ConsentKey(const QString& host) {
  const QString h = CanonicalHost(host);
  return IsOwnAddress(h) ? kLocalhost : h;
}

QString ShownHost(const QString& host) {
  const QString ascii = ConsentKey(host);
  const QString unicode = QUrl::fromAce(ascii.toLatin1());
  return unicode.isEmpty() || unicode == ascii ? ascii : ascii + QStringLiteral(" (") + unicode + u')';
}

ServiceConsent::ServiceConsent(FileSystem& files, Dialogs& dialogs, QString answersPath)
    : files_(files), dialogs_(dialogs), path_(std::move(answersPath)) {}

void ServiceConsent::Load() {
  if (loaded_) return;
  loaded_ = true;
  const std::optional<QByteArray> bytes = files_.ReadAll(path_);
  if (!bytes) return;
  for (const QString& line : QString::fromUtf8(*bytes).split(u'\n')) {
    const auto [verb, key] = Answer(line);
    if (!key.isEmpty()) answers_.insert(key, verb == kAllow);
  }
}

void ServiceConsent::Remember(const QString& key, bool allow) {
  answers_.insert(key, allow);
  MakeFoldersFor(files_, path_);
  // Not being able to keep the answer must not stop the job it was given for.
  files_.Append(path_, ((allow ? kAllow : kDeny) + u' ' + key + u'\n').toUtf8());
}

ServiceConsent::Decision ServiceConsent::Ask(const QString& rawHost, const QString& path) {
  Load();
  const QString key = ConsentKey(rawHost);
  const QString shown = ShownHost(key);
  if (const auto it = answers_.constFind(key); it != answers_.constEnd()) {
    if (*it) return Decision::Allowed;
    if (shownThisRun_.contains(key)) return Decision::Denied;
    shownThisRun_.insert(key);
    const QString text = QStringLiteral("Print jobs from ") + shown + QStringLiteral(" are refused: your answer is kept in ") +
                         path_ + QStringLiteral(".\n\nAllow print jobs from ") + shown + QStringLiteral(" from now on?");
    if (!dialogs_.OfferAllow(kTitle, text)) return Decision::Denied;
    Remember(key, true);
    return Decision::Allowed;
  }
  QString text = QStringLiteral("Allow print jobs from ") + shown + QStringLiteral("?");
  if (!path.isEmpty())
    text += QStringLiteral("\nAsked by the service at ") + (path.size() > kShownPath ? path.left(kShownPath) + QChar(0x2026) : path);
  switch (dialogs_.AskHost(kTitle, text)) {
    case HostAnswer::Always:
      Remember(key, true);
      return Decision::Allowed;
    case HostAnswer::ThisTime:
      answers_.insert(key, true);
      return Decision::Allowed;
    case HostAnswer::Never:
      Remember(key, false);
      shownThisRun_.insert(key);
      return Decision::JustDenied;
    case HostAnswer::NotNow:
      break;
  }
  // Refused this once: not remembered, and not asked again in this run.
  answers_.insert(key, false);
  shownThisRun_.insert(key);
  return Decision::RefusedNow;
}

bool ServiceConsent::Forget(const QString& host) {
  const QString key = ConsentKey(host);
  const std::optional<QByteArray> bytes = files_.ReadAll(path_);
  if (!bytes) return false;
  QStringList kept;
  bool found = false;
  for (const QString& line : QString::fromUtf8(*bytes).split(u'\n')) {
    if (Answer(line).second == key) found = true;
    else kept << line;
  }
  if (!found || !files_.Replace(path_, kept.join(u'\n').toUtf8())) return false;
  answers_.remove(key);
  return true;
}

}  // namespace zarn
