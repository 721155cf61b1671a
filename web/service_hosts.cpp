#include "web/service_hosts.h"

#include <QRegularExpression>
#include <QUrl>
#include <algorithm>
#include <array>
#include <optional>

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
  QString h = host.trimmed();
  if (h.size() >= 2 && h.startsWith(u'[') && h.endsWith(u']')) h = h.mid(1, h.size() - 2);
  // A name with non-ASCII letters (or their escapes) in its ASCII form, as
  // the name service sees it: a lookalike of a known name shows as "xn--...".
  if (h.contains(u'%')) h = QUrl::fromPercentEncoding(h.toUtf8());
  if (!h.contains(u':') && std::any_of(h.cbegin(), h.cend(), [](QChar c) { return c.unicode() > 0x7F; })) {
    const QByteArray ace = QUrl::toAce(h);
    if (!ace.isEmpty()) h = QString::fromLatin1(ace);
  }
  h = h.toLower();
  if (h.endsWith(u'.')) h.chop(1);
  return h;
}

namespace {
// An IPv4 address as the C library's inet_aton reads it: one to four parts,
// each decimal, octal (leading 0) or hexadecimal (0x), the last filling the
// remaining bytes. nullopt when it is none.
std::optional<quint32> Ipv4Number(const QString& text) {
  const QStringList parts = text.split(u'.');
  if (parts.isEmpty() || parts.size() > 4) return std::nullopt;
  quint64 value = 0;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    const QString& part = parts.at(i);
    if (part.isEmpty()) return std::nullopt;
    bool ok = false;
    const int base = part.startsWith(QStringLiteral("0x")) ? 16 : (part.size() > 1 && part.startsWith(u'0') ? 8 : 10);
    const quint64 n = (base == 16 ? part.mid(2) : part).toULongLong(&ok, base);
    if (!ok) return std::nullopt;
    const int bits = i + 1 < parts.size() ? 8 : 8 * static_cast<int>(4 - i);
    if (n >> bits) return std::nullopt;
    value = (value << bits) | n;
  }
  return static_cast<quint32>(value);
}

// The eight 16-bit groups of an IPv6 address (an IPv4 tail allowed); empty
// when it is none.
QList<quint16> Ipv6Groups(const QString& text) {
  const qsizetype gap = text.indexOf(QStringLiteral("::"));
  if (gap >= 0 && text.indexOf(QStringLiteral("::"), gap + 1) >= 0) return {};
  auto groups = [](const QString& part, QList<quint16>& out) {
    if (part.isEmpty()) return true;
    for (const QString& g : part.split(u':')) {
      if (g.contains(u'.')) {
        const std::optional<quint32> v4 = g.count(u'.') == 3 ? Ipv4Number(g) : std::nullopt;
        if (!v4) return false;
        out << static_cast<quint16>(*v4 >> 16) << static_cast<quint16>(*v4 & 0xFFFF);
        continue;
      }
      bool ok = false;
      const uint n = g.toUInt(&ok, 16);
      if (!ok || g.size() > 4) return false;
      out << static_cast<quint16>(n);
    }
    return true;
  };
  QList<quint16> head, tail;
  if (!groups(gap < 0 ? text : text.left(gap), head) || (gap >= 0 && !groups(text.mid(gap + 2), tail))) return {};
  if (gap < 0) return head.size() == 8 ? head : QList<quint16>{};
  if (head.size() + tail.size() > 7) return {};
  return head + QList<quint16>(8 - head.size() - tail.size(), 0) + tail;
}
}  // namespace

bool IsOwnAddress(const QString& host) {
  const QString h = CanonicalHost(host);
  if (h == u"localhost" || h.endsWith(QStringLiteral(".localhost"))) return true;
  if (!h.contains(u':')) {
    const std::optional<quint32> v4 = Ipv4Number(h);
    return v4 && (*v4 == 0 || (*v4 >> 24) == 127);
  }
  const QList<quint16> g = Ipv6Groups(h);
  if (g.isEmpty()) return false;
  const bool zeros = std::all_of(g.cbegin(), g.cbegin() + 5, [](quint16 x) { return x == 0; });
  if (!zeros) return false;
  if (g[5] == 0 && g[6] == 0) return g[7] <= 1;                        // :: and ::1
  return g[5] == 0xFFFF && ((g[6] >> 8) == 127 || (g[6] == 0 && g[7] == 0));  // ::ffff:127.x.y.z, ::ffff:0.0.0.0
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
  QString refusal;
  bool refusedNow = false;
  const QUrl asked = ParseUrl(url);
  ask([&](const QString& host, int) {
    // An address without a host reaches nobody; the request fails as it always has.
    if (host.isEmpty()) return true;
    // The box names the service path that asks; a redirect's hop has none.
    const QString path = CanonicalHost(host) == CanonicalHost(asked.host()) ? asked.path() : QString();
    const ServiceConsent::Decision decision = guard.consent->Ask(host, path);
    if (decision == ServiceConsent::Decision::Allowed) return true;
    if (refused.isEmpty()) {
      refused = ShownHost(host);
      refusedNow = decision == ServiceConsent::Decision::RefusedNow;
      refusal = decision == ServiceConsent::Decision::RefusedNow
                    ? QStringLiteral("Print jobs from ") + refused + QStringLiteral(" were refused for this job; it was not asked.")
                    : QStringLiteral("Print jobs from ") + refused + QStringLiteral(" are refused (") +
                          guard.consent->answersPath() + QStringLiteral("); it was not asked.");
    }
    return false;
  });
  if (refused.isEmpty()) return false;
  if (guard.lastRefusal)
    *guard.lastRefusal = HostRefusal{refused, false, refusedNow ? QString() : guard.consent->answersPath()};
  // The consent's own box has told the user already.
  Report(guard, refusal, false);
  return true;
}

}  // namespace zarn
