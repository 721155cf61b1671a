#include "windows/winhttp_client.h"

#include <windows.h>
#include <winhttp.h>

#include <QElapsedTimer>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>
#include <memory>
#include <optional>

#include "errortrap/error.h"
#include "platform/file_system.h"
#include "version.h"

namespace zarn {

namespace {

// WinHTTP's option numbers of the request object's options 4 and 9, and the
// values the service request sets: every certificate error ignored (unknown
// authority, wrong usage, name mismatch, date), SSL 3.0 and TLS 1.0 to 1.2.
constexpr DWORD kIgnoreCertificateErrors = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                           SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                           SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
static_assert(kIgnoreCertificateErrors == 13056);
constexpr DWORD kSecureProtocols = WINHTTP_FLAG_SECURE_PROTOCOL_SSL3 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 |
                                   WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
static_assert(kSecureProtocols == 2720);

struct InternetDeleter {
  void operator()(HINTERNET h) const { WinHttpCloseHandle(h); }
};
using Internet = std::unique_ptr<void, InternetDeleter>;

QString WinHttpText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                     FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 GetModuleHandleW(L"winhttp.dll"), code, 0, reinterpret_cast<wchar_t*>(&text), 0,
                                 nullptr);
  QString message = n > 0 ? QString::fromWCharArray(text, static_cast<qsizetype>(n)).trimmed()
                          : QStringLiteral("WinHTTP error %1").arg(code);
  LocalFree(text);
  return message;
}

[[noreturn]] void Throw(DWORD code, const QString& text = {}) {
  throw ZarnError(WinHttpErrorNumber(code), kWinHttpSource, text.isEmpty() ? WinHttpText(code) : text);
}

// One address, as WinHTTP takes it apart.
struct Address {
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path;  // path and query
  QString checkedHost;  // as the host check sees it: IPv6 in brackets
};

std::optional<Address> Crack(const QByteArray& url, DWORD* error) {
  const std::wstring wide = QString::fromLatin1(url).toStdWString();
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength =
      static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts)) {
    *error = GetLastError();
    return std::nullopt;
  }
  // Only web addresses.
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    *error = ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
    return std::nullopt;
  }
  Address a;
  a.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  a.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  a.port = parts.nPort;
  a.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  a.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  if (a.path.empty()) a.path = L"/";
  a.checkedHost = QString::fromStdWString(a.host).toLower();
  if (a.checkedHost.contains(u':') && !a.checkedHost.startsWith(u'[')) a.checkedHost = u'[' + a.checkedHost + u']';
  return a;
}

bool IsHttps(const QByteArray& url) { return url.left(8).toLower() == "https://"; }
bool IsHttp(const QByteArray& url) { return url.left(7).toLower() == "http://"; }

// Limits for what is left of the deadline.
int Remaining(const QElapsedTimer& started, long deadlineMs) {
  return static_cast<int>(std::max(1L, deadlineMs - static_cast<long>(started.elapsed())));
}
int Within(long limitMs, int remainingMs) {
  return limitMs <= 0 ? remainingMs : static_cast<int>(std::min<long>(limitMs, remainingMs));
}

std::wstring Header(HINTERNET request, DWORD which) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return {};
  std::wstring value(size / sizeof(wchar_t), L'\0');
  if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                           WINHTTP_NO_HEADER_INDEX))
    return {};
  value.resize(size / sizeof(wchar_t));
  return value;
}

// What one hop answered.
struct Hop {
  int status = 0;
  QByteArray contentType;
  QByteArray location;  // absolute, empty when none
  bool tooLarge = false;
  DWORD error = 0;  // WinHTTP's code when the transfer failed
};

Hop Failed(DWORD error) {
  Hop hop;
  hop.error = error;
  return hop;
}
Hop TooLarge() {
  Hop hop;
  hop.tooLarge = true;
  return hop;
}

struct Limits {
  long resolve, connect, send, receive;
  bool ignoreCertificates;
};

// One GET, without following a redirect; the body goes to sink (false: stop).
template <typename Sink>
Hop Fetch(HINTERNET session, const QByteArray& url, const Address& a, const Limits& limits,
          const QElapsedTimer& started, long deadlineMs, Sink&& sink) {
  Hop hop;
  const int left = Remaining(started, deadlineMs);
  WinHttpSetTimeouts(session, Within(limits.resolve, left), Within(limits.connect, left), Within(limits.send, left),
                     Within(limits.receive, left));
  Internet connection(WinHttpConnect(session, a.host.c_str(), a.port, 0));
  if (!connection) return Failed(GetLastError());
  Internet request(WinHttpOpenRequest(connection.get(), L"GET", a.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                      WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      WINHTTP_FLAG_ESCAPE_DISABLE | (a.secure ? WINHTTP_FLAG_SECURE : 0)));
  if (!request) return Failed(GetLastError());
  DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
  if (limits.ignoreCertificates && a.secure) {
    DWORD flags = kIgnoreCertificateErrors;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
  }
  if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr))
    return Failed(GetLastError());

  DWORD status = 0;
  DWORD size = sizeof status;
  WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  hop.status = static_cast<int>(status);
  hop.contentType = QString::fromStdWString(Header(request.get(), WINHTTP_QUERY_CONTENT_TYPE)).toLatin1();
  const std::wstring location = Header(request.get(), WINHTTP_QUERY_LOCATION);
  if (hop.status / 100 == 3 && !location.empty()) {
    const QUrl next = QUrl::fromEncoded(QByteArray(url)).resolved(QUrl::fromEncoded(QString::fromStdWString(location).toUtf8()));
    hop.location = next.toEncoded();
    return hop;  // a redirect's own page is not wanted
  }
  // A length announced past the cap is refused before anything is read.
  const QString length = QString::fromStdWString(Header(request.get(), WINHTTP_QUERY_CONTENT_LENGTH));
  if (!length.isEmpty() && length.toLongLong() > kMaxTransferBytes) return TooLarge();
  qint64 total = 0;
  QByteArray chunk(64 * 1024, Qt::Uninitialized);
  for (;;) {
    if (started.elapsed() >= deadlineMs) return Failed(ERROR_WINHTTP_TIMEOUT);
    DWORD read = 0;
    if (!WinHttpReadData(request.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read))
      return Failed(GetLastError());
    if (read == 0) break;
    total += read;
    if (total > kMaxTransferBytes) return TooLarge();
    if (!sink(chunk.constData(), static_cast<qsizetype>(read))) return Failed(ERROR_WINHTTP_INTERNAL_ERROR);
  }
  return hop;
}

Internet OpenSession(bool legacyProtocols) {
  const std::wstring agent = (QStringLiteral("zarn/") + QLatin1String(kVersionText)).toStdWString();
  Internet session(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
  if (session && legacyProtocols) {
    DWORD protocols = kSecureProtocols;
    WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
  }
  return session;
}

}  // namespace

HttpReply WinHttpClient::Get(const QString& url, const HttpTimeouts& timeouts, const HostCheck& mayAsk) {
  Internet session = OpenSession(true);
  if (!session) Throw(GetLastError());
  const Limits limits{timeouts.resolve, timeouts.connect, timeouts.send, timeouts.receive, true};
  const long deadline = timeouts.total > 0 ? std::min(timeouts.total, kTransferDeadlineMs) : kTransferDeadlineMs;
  QElapsedTimer started;
  started.start();
  HttpReply reply;
  QByteArray current = RequestAddressBytes(url);
  for (int hop = 0;; ++hop) {
    DWORD error = 0;
    const std::optional<Address> address = Crack(current, &error);
    if (!address) Throw(error);
    if (mayAsk && !mayAsk(address->checkedHost, address->port)) return reply;
    reply = HttpReply{};
    const Hop answer = Fetch(session.get(), current, *address, limits, started, deadline, [&](const char* data, qsizetype n) {
      reply.body.append(data, n);
      return true;
    });
    if (answer.tooLarge)
      Throw(ERROR_WINHTTP_INVALID_SERVER_RESPONSE, QStringLiteral("The reply is larger than 64 MB; it was not read."));
    if (answer.error != 0) Throw(answer.error);
    reply.status = answer.status;
    reply.contentType = answer.contentType;
    if (answer.location.isEmpty()) return reply;
    const QByteArray& target = answer.location;
    // As the request object: no step down from https to http; that reply is the answer.
    if (!(IsHttps(target) || (IsHttp(target) && !IsHttps(current)))) return reply;
    if (hop == kMaxRedirects) Throw(ERROR_WINHTTP_REDIRECT_FAILED, QStringLiteral("Too many redirects"));
    current = target;
  }
}

bool WinHttpDownloader::Download(const QString& url, const QString& path, const HostCheck& mayAsk) {
  QByteArray current = RequestAddressBytes(url);
  // A target without a scheme is a web address, as the download function takes it.
  if (!current.contains("://")) current.prepend("http://");
  Internet session = OpenSession(false);
  if (!session) return false;
  // Nothing is created when the folder is missing: open fails first.
  QSaveFile file(NativePath(path));
  const bool secureStart = IsHttps(current);
  const Limits limits{0, kDownloadConnectMs, kDownloadStallMs, kDownloadStallMs, false};
  QElapsedTimer started;
  started.start();
  for (int hop = 0;; ++hop) {
    DWORD error = 0;
    const std::optional<Address> address = Crack(current, &error);
    if (!address || (mayAsk && !mayAsk(address->checkedHost, address->port))) break;
    if (!file.isOpen() && !file.open(QIODevice::WriteOnly)) return false;
    const Hop answer = Fetch(session.get(), current, *address, limits, started, kTransferDeadlineMs,
                             [&](const char* data, qsizetype n) { return file.write(data, n) == n; });
    if (answer.error != 0 || answer.tooLarge || answer.status >= 400) break;
    if (answer.location.isEmpty()) return file.commit();
    const QByteArray& target = answer.location;
    if (!(IsHttps(target) || (IsHttp(target) && !secureStart)) || hop == kMaxRedirects) break;
    current = target;
  }
  if (file.isOpen()) file.cancelWriting();
  return false;
}

}  // namespace zarn
