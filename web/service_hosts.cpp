#include "web/service_hosts.h"

#include <QRegularExpression>
#include <QUrl>
#include <array>

#include "engine/run_log.h"
#include "platform/dialogs.h"
#include "web/service_consent.h"

namespace zarn {

namespace {

const QString kTitle = QStringLiteral("zarn");
constexpr int kMaxPort = 65535;

struct DefaultPort {
  const char* scheme;
  int port;
};
constexpr std::array kDefaultPorts{DefaultPort{"http", 80}, DefaultPort{"https", 443}, DefaultPort{"ftp", 21},
                                   DefaultPort{"ftps", 990}};

// An IPv4 or IPv6 address rather than a name: "*." patterns are about names.
bool IsAddress(const QString& host) {
  static const QRegularExpression ipv4(QStringLiteral("^[0-9.]+$"));
  return host.contains(u':') || ipv4.match(host).hasMatch();
}

// A port of 1 to 65535 written in digits only; -1 otherwise.
int PortNumber(const QString& text) {
  static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
  if (!digits.match(text).hasMatch()) return -1;
  const int port = text.toInt();
  return port >= 1 && port <= kMaxPort ? port : -1;
}

// The address as libcurl reads it: one without a scheme is an http address.
QUrl ParseUrl(const QString& url) {
  static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
  return QUrl(scheme.match(url).hasMatch() ? url : QStringLiteral("http://") + url);
}

int EffectivePort(const QUrl& url) {
  if (url.port() >= 0) return url.port();
  const QString scheme = url.scheme().toLower();
  for (const DefaultPort& row : kDefaultPorts)
    if (scheme == QLatin1String(row.scheme)) return row.port;
  return -1;
}

}  // namespace

QString CanonicalHost(const QString& host) {
  QString h = host.trimmed().toLower();
  if (h.size() >= 2 && h.startsWith(u'[') && h.endsWith(u']')) h = h.mid(1, h.size() - 2);
  if (h.endsWith(u'.')) h.chop(1);
  return h;
}

HostAllowList HostAllowList::Parse(const QString& line) {
  static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
  static const QRegularExpression hostChars(QStringLiteral("^[a-z0-9._~%:-]+$"));
  HostAllowList list;
  for (const QString& token : line.trimmed().split(blanks, Qt::SkipEmptyParts)) {
    list.restricted_ = true;
    Pattern p;
    QString text = token.toLower();
    QString host = text;
    QString port;
    if (text.startsWith(u'[')) {
      const qsizetype close = text.indexOf(u']');
      const QString rest = close < 0 ? QString() : text.mid(close + 1);
      host = close < 0 ? QString() : text.left(close + 1);
      if (close < 0 || !(rest.isEmpty() || rest.startsWith(u':'))) p.valid = false;
      if (rest.startsWith(u':')) port = rest.mid(1);
      if (rest == QStringLiteral(":")) p.valid = false;
    } else if (text.count(u':') == 1) {
      host = text.section(u':', 0, 0);
      port = text.section(u':', 1);
      if (port.isEmpty()) p.valid = false;
    }
    if (host.startsWith(QStringLiteral("*."))) {
      p.below = true;
      host = host.mid(2);
    }
    p.host = CanonicalHost(host);
    if (p.host.isEmpty() || !hostChars.match(p.host).hasMatch()) p.valid = false;
    if (!port.isEmpty()) {
      p.port = PortNumber(port);
      if (p.port < 0) p.valid = false;
    }
    list.patterns_ << p;
  }
  return list;
}

bool HostAllowList::Allows(const QString& host, int port) const {
  if (!restricted_) return true;
  const QString h = CanonicalHost(host);
  if (h.isEmpty()) return false;
  for (const Pattern& p : patterns_) {
    if (!p.valid || (p.port >= 0 && p.port != port)) continue;
    const bool match = p.below ? !IsAddress(h) && h.size() > p.host.size() + 1 && h.endsWith(QStringLiteral(".") + p.host)
                               : h == p.host;
    if (match) return true;
  }
  return false;
}

bool HostAllowList::AllowsUrl(const QString& url) const {
  if (!restricted_) return true;
  const QUrl parsed = ParseUrl(url);
  return parsed.isValid() && Allows(parsed.host(), EffectivePort(parsed));
}

QString HostPortText(const QString& host, int port) {
  QString h = CanonicalHost(host);
  if (h.contains(u':')) h = QStringLiteral("[") + h + QStringLiteral("]");
  return port >= 0 ? h + QStringLiteral(":") + QString::number(port) : h;
}

QString UrlHostText(const QString& url) {
  const QUrl parsed = ParseUrl(url);
  if (!parsed.isValid() || parsed.host().isEmpty()) return url;
  return HostPortText(parsed.host(), EffectivePort(parsed));
}

QString UrlHost(const QString& url) {
  const QUrl parsed = ParseUrl(url);
  return parsed.isValid() ? CanonicalHost(parsed.host()) : QString();
}

bool SameHost(const QString& url, const QString& otherUrl) {
  const QString host = UrlHost(url);
  return !host.isEmpty() && host == UrlHost(otherUrl);
}

HostCheck CheckRecordingRefusal(const HostAllowList& list, QString& refused) {
  if (list.AllowsAll()) return {};
  return [&list, &refused](const QString& host, int port) {
    if (list.Allows(host, port)) return true;
    if (refused.isEmpty()) refused = host.isEmpty() ? QStringLiteral("(none)") : HostPortText(host, port);
    return false;
  };
}

QString RefusedHostText(const QString& host) {
  return QStringLiteral("Host ") + host + QStringLiteral(" is not among the service hosts of zarn.ini; it was not asked.");
}

namespace {
void Report(const HostGuard& guard, const QString& text, bool box) {
  if (guard.log) guard.log->Message(text);
  if (box && guard.dialogs) guard.dialogs->Message(kTitle, text);
}
}  // namespace

void ReportRefusedHost(const HostGuard& guard, const QString& host) { Report(guard, RefusedHostText(host), true); }

bool AskGuarded(const HostGuard& guard, const QString& url, const std::function<void(const HostCheck&)>& ask) {
  QString refused;
  if (!guard.allowed.AllowsUrl(url)) refused = UrlHostText(url);
  else ask(CheckRecordingRefusal(guard.allowed, refused));
  if (refused.isEmpty()) return false;
  if (guard.lastRefusal) *guard.lastRefusal = HostRefusal{refused, true, QString()};
  ReportRefusedHost(guard, refused);
  return true;
}

bool AskService(const HostGuard& guard, const QString& url, const std::function<void(const HostCheck&)>& ask) {
  if (!guard.allowed.AllowsAll() || guard.consent == nullptr) return AskGuarded(guard, url, ask);
  QString refused;
  bool answeredNow = false;
  ask([&](const QString& host, int) {
    // An address without a host reaches nobody; the request fails as it always has.
    if (host.isEmpty()) return true;
    switch (guard.consent->Ask(host)) {
      case ServiceConsent::Decision::Allowed:
        return true;
      case ServiceConsent::Decision::JustDenied:
        answeredNow = true;
        break;
      case ServiceConsent::Decision::Denied:
        break;
    }
    if (refused.isEmpty()) refused = CanonicalHost(host);
    return false;
  });
  if (refused.isEmpty()) return false;
  if (guard.lastRefusal) *guard.lastRefusal = HostRefusal{refused, false, guard.consent->answersPath()};
  Report(guard,
         QStringLiteral("Print jobs from ") + refused + QStringLiteral(" are refused (") +
             guard.consent->answersPath() + QStringLiteral("); it was not asked."),
         !answeredNow);
  return true;
}

}  // namespace zarn
