#pragma once
// The service hosts a run may ask: the optional third line of the settings
// file. Any web page can open a zarn:// link, and the service it names hands
// back a script that downloads files ("GF") to any path; the list keeps both
// the service request and the downloads, redirects included, on hosts the user
// trusts. Without a list every host is asked, as the client always has.
#include <QList>
#include <QString>
#include <functional>

#include "platform/http.h"

namespace zarn {

class CertificatePins;
class Dialogs;
class RunLog;
class ServiceConsent;

// Host patterns separated by blanks or tabs: a host name, or "*." + a domain
// (every host name below the domain, not the domain itself, and never an IP
// address), each optionally followed by ":" + port (without one, every port).
// Case does not matter; an IPv6 address is written in brackets ("[::1]:8080"). A list without patterns
// allows every host; an entry that is no valid pattern allows nothing, so a
// mistyped list never opens the client to every host.
class HostAllowList {
 public:
  HostAllowList() = default;  // allows every host
  static HostAllowList Parse(const QString& line);

  bool AllowsAll() const { return !restricted_; }
  // host: a name or an IP address (IPv6 with or without brackets); port: the
  // port that would be connected to, -1 when unknown.
  bool Allows(const QString& host, int port) const;
  // The host and port of a web address: the scheme's default port when none
  // is written, "http://" assumed when there is no scheme. An address that
  // names no host is refused by a non-empty list.
  bool AllowsUrl(const QString& url) const;

 private:
  struct Pattern {
    QString host;  // lower case, no brackets; for "*.example.com": "example.com"
    bool below = false;
    int port = -1;  // -1: any port
    bool valid = true;
  };
  QList<Pattern> patterns_;
  bool restricted_ = false;
};

// Lower case, without IPv6 brackets and without the final dot of a fully
// qualified name, so that every spelling of a host compares alike.
// A name with non-ASCII letters is in its ASCII (punycode) form.
QString CanonicalHost(const QString& host);
// Whether host is one of this machine's own addresses, however written
// ("localhost", 0, 0.0.0.0, 127.x.y.z in any inet_aton spelling, ::1,
// ::ffff:127.0.0.1).
bool IsOwnAddress(const QString& host);
// "host" or "host:port" (IPv6 in brackets), as a refusal names a host.
QString HostPortText(const QString& host, int port);
// The host and port of a web address as a refusal names them; the address
// itself when it names no host.
QString UrlHostText(const QString& url);

// Whether two web addresses name the same host (any port; case, IPv6
// brackets and a final dot do not matter). An address without a host matches
// nothing.
bool SameHost(const QString& url, const QString& otherUrl);
// The host of a web address in that form; empty when it names none.
QString UrlHost(const QString& url);

// A check for the web interfaces that asks the list and keeps the first host
// it refused in `refused`; empty (asking nothing) when the list allows all.
HostCheck CheckRecordingRefusal(const HostAllowList& list, QString& refused);

// The last host a guard refused, and whether the settings file's host line
// refused it (else the user's answer did).
struct HostRefusal {
  QString host;
  bool byHostLine = false;
  QString answersPath;  // the user's answers, when they refused it
};

// The run's list and where a refusal is made known. Without a list, the
// consent (when there is one) decides which hosts the service request asks.
struct HostGuard {
  HostAllowList allowed;
  Dialogs* dialogs = nullptr;
  RunLog* log = nullptr;
  ServiceConsent* consent = nullptr;
  HostRefusal* lastRefusal = nullptr;  // filled at each refusal, when given
  // The service request keeps to these pins; none: any certificate.
  CertificatePins* pins = nullptr;
};

// The text of a refusal, naming the host.
QString RefusedHostText(const QString& host);
// Shows the refusal in a message box titled "zarn" and adds it to the run
// log as a "MESSAGE :" line (either left out when the guard has none).
void ReportRefusedHost(const HostGuard& guard, const QString& host);

// Runs ask, the request to url, with a check for each of its hops, unless the
// guard refuses url itself. True when a host was refused, not asked, and the
// refusal reported.
bool AskGuarded(const HostGuard& guard, const QString& url, const std::function<void(const HostCheck&)>& ask);

// AskGuarded for the service request: with a list, the list decides; without
// one, the user's consent for each host asked (redirects included). A host
// answered Never now is only logged; one refused by an earlier answer is also
// shown in a box.
bool AskService(const HostGuard& guard, const QString& url, const std::function<void(const HostCheck&)>& ask);

}  // namespace zarn
