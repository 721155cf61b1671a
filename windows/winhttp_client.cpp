#include "windows/winhttp_client.h"

#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QSaveFile>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

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
  bool refused = false;  // the server showed another key than its pin: nothing was sent
  QString key;           // the key the server showed, when pins are kept
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

// The request handle of the hop under way. Closing it ends WinHTTP's wait at
// once, from the thread that waits for the hop (a cancel) or from the status
// callback (a key that is not the pin); whoever comes first closes it.
class Transfer {
 public:
  // Takes the hop's request; false when the transfer was cancelled already.
  bool Hold(HINTERNET request) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) {
      WinHttpCloseHandle(request);
      return false;
    }
    request_ = request;
    return true;
  }
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (request_) WinHttpCloseHandle(request_);
    request_ = nullptr;
  }
  void Cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    if (request_) WinHttpCloseHandle(request_);
    request_ = nullptr;
  }
  bool cancelled() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelled_;
  }

 private:
  std::mutex mutex_;
  HINTERNET request_ = nullptr;
  bool cancelled_ = false;
};

// What the status callback of one hop needs: whether to read the server's
// key, the pin it must match (empty: none yet), and what it found.
struct KeyCheck {
  bool wanted = false;
  QString pin;
  QString seen;
  bool refused = false;
  Transfer* transfer = nullptr;
};

QString PinOfKeyInfo(const CERT_PUBLIC_KEY_INFO& info) {
  BYTE* der = nullptr;
  DWORD length = 0;
  if (!CryptEncodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, &info, CRYPT_ENCODE_ALLOC_FLAG, nullptr, &der,
                           &length) ||
      der == nullptr)
    return {};
  const QByteArray digest = QCryptographicHash::hash(
      QByteArrayView(reinterpret_cast<const char*>(der), static_cast<qsizetype>(length)), QCryptographicHash::Sha256);
  LocalFree(der);
  return QStringLiteral("sha256//") + QString::fromLatin1(digest.toBase64());
}

QString ServerKeyPin(HINTERNET request) {
  PCCERT_CONTEXT cert = nullptr;
  DWORD size = sizeof cert;
  if (!WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &size) || cert == nullptr) return {};
  const QString pin = PinOfKeyInfo(cert->pCertInfo->SubjectPublicKeyInfo);
  CertFreeCertificateContext(cert);
  return pin;
}

// Called by WinHTTP after the connection (and its TLS handshake) is made and
// before the request goes out: a key that is not the origin's pin closes the
// request, so nothing of it is sent.
void CALLBACK BeforeSending(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID, DWORD) {
  if (status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || context == 0) return;
  auto* check = reinterpret_cast<KeyCheck*>(context);
  if (!check->wanted) return;
  check->seen = ServerKeyPin(request);
  if (!check->pin.isEmpty() && check->seen != check->pin) {
    check->refused = true;
    check->transfer->Close();
  }
}

using Sink = std::function<bool(const char*, qsizetype)>;

// One GET, without following a redirect; the body goes to sink (false: stop).
// With wantKey the server's key is read before the request is sent, and a
// pin it does not match keeps the request from being sent at all.
Hop Fetch(HINTERNET session, const QByteArray& url, const Address& a, const Limits& limits,
          const QElapsedTimer& started, long deadlineMs, const Sink& sink, Transfer& transfer, bool wantKey = false,
          const QString& pin = {}) {
  Hop hop;
  const int left = Remaining(started, deadlineMs);
  WinHttpSetTimeouts(session, Within(limits.resolve, left), Within(limits.connect, left), Within(limits.send, left),
                     Within(limits.receive, left));
  Internet connection(WinHttpConnect(session, a.host.c_str(), a.port, 0));
  if (!connection) return Failed(GetLastError());
  HINTERNET request = WinHttpOpenRequest(connection.get(), L"GET", a.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                         WINHTTP_DEFAULT_ACCEPT_TYPES,
                                         WINHTTP_FLAG_ESCAPE_DISABLE | (a.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) return Failed(GetLastError());
  if (!transfer.Hold(request)) return Failed(ERROR_WINHTTP_OPERATION_CANCELLED);
  struct Closer {
    Transfer& t;
    ~Closer() { t.Close(); }
  } closer{transfer};
  DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
  WinHttpSetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
  if (limits.ignoreCertificates && a.secure) {
    DWORD flags = kIgnoreCertificateErrors;
    WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
  }
  KeyCheck check{wantKey && a.secure, pin, {}, false, &transfer};
  if (check.wanted &&
      WinHttpSetStatusCallback(request, BeforeSending, WINHTTP_CALLBACK_FLAG_SEND_REQUEST, 0) ==
          WINHTTP_INVALID_STATUS_CALLBACK)
    return Failed(GetLastError());
  const bool sent = WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                                       reinterpret_cast<DWORD_PTR>(&check)) != 0;
  const DWORD sendError = sent ? 0 : GetLastError();
  if (check.refused) {
    hop.refused = true;
    return hop;
  }
  hop.key = check.seen;
  if (!sent) return Failed(sendError);
  // A pinned origin whose key was never read (no callback came) is not
  // trusted either: its reply is not read.
  if (check.wanted && !pin.isEmpty() && check.seen.isEmpty()) {
    hop.refused = true;
    return hop;
  }
  // After a cancel the handle is closed and its number may be another's:
  // the hop stops before each further call.
  if (transfer.cancelled()) return Failed(ERROR_WINHTTP_OPERATION_CANCELLED);
  if (!WinHttpReceiveResponse(request, nullptr)) return Failed(GetLastError());

  DWORD status = 0;
  DWORD size = sizeof status;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  hop.status = static_cast<int>(status);
  hop.contentType = QString::fromStdWString(Header(request, WINHTTP_QUERY_CONTENT_TYPE)).toLatin1();
  const std::wstring location = Header(request, WINHTTP_QUERY_LOCATION);
  if (hop.status / 100 == 3 && !location.empty()) {
    const QUrl next = QUrl::fromEncoded(QByteArray(url)).resolved(QUrl::fromEncoded(QString::fromStdWString(location).toUtf8()));
    hop.location = next.toEncoded();
    return hop;  // a redirect's own page is not wanted
  }
  // A length announced past the cap is refused before anything is read.
  const QString length = QString::fromStdWString(Header(request, WINHTTP_QUERY_CONTENT_LENGTH));
  if (!length.isEmpty() && length.toLongLong() > kMaxTransferBytes) return TooLarge();
  qint64 total = 0;
  QByteArray chunk(64 * 1024, Qt::Uninitialized);
  for (;;) {
    if (started.elapsed() >= deadlineMs) return Failed(ERROR_WINHTTP_TIMEOUT);
    DWORD read = 0;
    if (transfer.cancelled()) return Failed(ERROR_WINHTTP_OPERATION_CANCELLED);
    if (!WinHttpReadData(request, chunk.data(), static_cast<DWORD>(chunk.size()), &read))
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

// How often a transfer that may be cancelled looks up from its wait.
constexpr auto kWaitSlice = std::chrono::milliseconds(40);
// How long a cancelled hop is given to see its closed handle.
constexpr auto kCancelledHopWait = std::chrono::milliseconds(2000);

// What one hop of the service request is: where, within what, and the pin.
struct HopRequest {
  QByteArray url;
  Address address;
  Limits limits;
  QElapsedTimer started;
  long deadlineMs;
  bool wantKey;
  QString pin;
};

// Fetch into body, or, when keepWaiting is set, the same hop on a thread of
// its own while this one asks keepWaiting between short waits: false closes
// the request at once and throws TransferCancelled. The thread owns what it
// uses, so that after a cancel it can run out alone; host checks, pins and
// window events stay on this thread.
Hop RunHop(const std::shared_ptr<void>& session, const HopRequest& r, QByteArray& body,
           const std::function<bool()>& keepWaiting) {
  if (!keepWaiting) {
    Transfer transfer;
    return Fetch(session.get(), r.url, r.address, r.limits, r.started, r.deadlineMs,
                 [&body](const char* data, qsizetype n) {
                   body.append(data, n);
                   return true;
                 },
                 transfer, r.wantKey, r.pin);
  }
  struct Shared {
    Transfer transfer;
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    Hop hop;
    QByteArray body;
  };
  auto shared = std::make_shared<Shared>();
  std::thread([shared, session, r] {
    Hop hop = Fetch(session.get(), r.url, r.address, r.limits, r.started, r.deadlineMs,
                    [&shared](const char* data, qsizetype n) {
                      shared->body.append(data, n);
                      return true;
                    },
                    shared->transfer, r.wantKey, r.pin);
    std::lock_guard<std::mutex> lock(shared->mutex);
    shared->hop = std::move(hop);
    shared->finished = true;
    shared->done.notify_all();
  }).detach();
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(shared->mutex);
      if (shared->done.wait_for(lock, kWaitSlice, [&] { return shared->finished; })) {
        body = std::move(shared->body);
        return shared->hop;
      }
    }
    if (!keepWaiting()) {
      shared->transfer.Cancel();
      // Closing the handle ends the hop's WinHTTP call at once; waiting that
      // moment out keeps the closed handle's number, which a later request
      // may be given, from reaching the hop's next call.
      std::unique_lock<std::mutex> lock(shared->mutex);
      shared->done.wait_for(lock, kCancelledHopWait, [&] { return shared->finished; });
      throw TransferCancelled{};
    }
  }
}

}  // namespace

HttpReply WinHttpClient::Get(const QString& url, const HttpTimeouts& timeouts, const HostCheck& mayAsk) {
  Internet opened = OpenSession(true);
  if (!opened) Throw(GetLastError());
  const std::shared_ptr<void> session(opened.release(), InternetDeleter{});
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
    // Trust on first use: a pinned address must show its key again; plain
    // http to a pinned host is not asked at all.
    const QString origin = (address->secure ? QStringLiteral("https://") : QStringLiteral("http://")) +
                           address->checkedHost + u':' + QString::number(address->port);
    if (pins_ && !address->secure && pins_->Pinned(address->checkedHost)) {
      pins_->Mismatch(origin);
      return HttpReply{};
    }
    const QString pin = pins_ && address->secure ? pins_->Pin(origin) : QString();
    const HopRequest request{current, *address, limits, started, deadline, pins_ != nullptr, pin};
    const Hop answer = RunHop(session, request, reply.body, keepWaiting);
    if (answer.refused) {
      pins_->Mismatch(origin);
      return HttpReply{};
    }
    if (answer.tooLarge)
      Throw(ERROR_WINHTTP_INVALID_SERVER_RESPONSE, QStringLiteral("The reply is larger than 64 MB; it was not read."));
    if (answer.error != 0) Throw(answer.error);
    if (pins_ && address->secure && pin.isEmpty() && !answer.key.isEmpty()) pins_->Record(origin, answer.key);
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
    Transfer transfer;
    const Hop answer = Fetch(session.get(), current, *address, limits, started, kTransferDeadlineMs,
                             [&](const char* data, qsizetype n) { return file.write(data, n) == n; }, transfer);
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
