#include "linux/curl_http.h"

#include <curl/curl.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <QElapsedTimer>
#include <QSaveFile>
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>

#include "errortrap/error.h"
#include "platform/file_system.h"
#include "version.h"

namespace zarn {

namespace {


// WinHTTP error codes as the request object reports them (0x80070000 | code).
constexpr uint32_t kWinHttpTimeout = 12002;
constexpr uint32_t kWinHttpInternalError = 12004;
constexpr uint32_t kWinHttpInvalidUrl = 12005;
constexpr uint32_t kWinHttpUnrecognizedScheme = 12006;
constexpr uint32_t kWinHttpNameNotResolved = 12007;
constexpr uint32_t kWinHttpCannotConnect = 12029;
constexpr uint32_t kWinHttpConnectionError = 12030;
constexpr uint32_t kWinHttpInvalidServerResponse = 12152;
constexpr uint32_t kWinHttpRedirectFailed = 12156;
constexpr uint32_t kWinHttpSecureFailure = 12175;


struct CurlToWinHttp {
  CURLcode curl;
  uint32_t winhttp;
};
constexpr std::array kErrorMap{
    CurlToWinHttp{CURLE_UNSUPPORTED_PROTOCOL, kWinHttpUnrecognizedScheme},
    CurlToWinHttp{CURLE_URL_MALFORMAT, kWinHttpInvalidUrl},
    CurlToWinHttp{CURLE_COULDNT_RESOLVE_PROXY, kWinHttpNameNotResolved},
    CurlToWinHttp{CURLE_COULDNT_RESOLVE_HOST, kWinHttpNameNotResolved},
    CurlToWinHttp{CURLE_COULDNT_CONNECT, kWinHttpCannotConnect},
    CurlToWinHttp{CURLE_OPERATION_TIMEDOUT, kWinHttpTimeout},
    CurlToWinHttp{CURLE_SSL_CONNECT_ERROR, kWinHttpSecureFailure},
    CurlToWinHttp{CURLE_PEER_FAILED_VERIFICATION, kWinHttpSecureFailure},
    CurlToWinHttp{CURLE_SSL_CIPHER, kWinHttpSecureFailure},
    CurlToWinHttp{CURLE_GOT_NOTHING, kWinHttpInvalidServerResponse},
    CurlToWinHttp{CURLE_WEIRD_SERVER_REPLY, kWinHttpInvalidServerResponse},
    CurlToWinHttp{CURLE_HTTP2, kWinHttpInvalidServerResponse},
    CurlToWinHttp{CURLE_SEND_ERROR, kWinHttpConnectionError},
    CurlToWinHttp{CURLE_RECV_ERROR, kWinHttpConnectionError},
    CurlToWinHttp{CURLE_PARTIAL_FILE, kWinHttpConnectionError},
    CurlToWinHttp{CURLE_TOO_MANY_REDIRECTS, kWinHttpRedirectFailed},
};


void GlobalInit() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;

[[noreturn]] void ThrowCurl(CURLcode rc, const char* detail) {
  uint32_t code = kWinHttpInternalError;
  for (const auto& row : kErrorMap)
    if (row.curl == rc) code = row.winhttp;
  const QString text = QString::fromUtf8(detail && *detail ? detail : curl_easy_strerror(rc));
  throw ZarnError(WinHttpErrorNumber(code), kWinHttpSource, text);
}

// Past the cap the transfer stops (libcurl: a write error).
size_t AppendToBuffer(char* data, size_t size, size_t count, void* target) {
  auto* body = static_cast<QByteArray*>(target);
  const auto n = static_cast<qsizetype>(size * count);
  if (body->size() + n > kMaxTransferBytes) return 0;
  body->append(data, n);
  return size * count;
}

// The download's file, and what the headers of the reply being received said.
struct FileSink {
  QSaveFile* file;
  long status = 0;
  bool location = false;
  qint64 written = 0;
};

size_t NoteHeader(char* data, size_t size, size_t count, void* target) {
  auto* sink = static_cast<FileSink*>(target);
  const QByteArray line = QByteArray(data, static_cast<qsizetype>(size * count)).trimmed();
  if (line.startsWith("HTTP/")) {
    sink->status = line.split(' ').value(1).toLong();
    sink->location = false;
  } else if (line.toLower().startsWith("location:")) {
    sink->location = true;
  }
  return size * count;
}

// A redirect's own page is not the file: only the last reply's body is kept.
size_t AppendToFile(char* data, size_t size, size_t count, void* target) {
  auto* sink = static_cast<FileSink*>(target);
  if (sink->status / 100 == 3 && sink->location) return size * count;
  const qint64 n = static_cast<qint64>(size * count);
  if (sink->written + n > kMaxTransferBytes) return 0;
  sink->written += n;
  return sink->file->write(data, n) == n ? size * count : 0;
}

struct UrlDeleter {
  void operator()(CURLU* u) const { curl_url_cleanup(u); }
};

// The host and port of url as libcurl's own parser reads them, so that the
// check sees exactly the host that the request goes to: an empty host and -1
// when it names none.
std::pair<QString, int> HostAndPort(const QByteArray& url) {
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  QString host;
  int port = -1;
  if (parsed && curl_url_set(parsed.get(), CURLUPART_URL, url.constData(),
                             CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK) {
    char* part = nullptr;
    if (curl_url_get(parsed.get(), CURLUPART_HOST, &part, 0) == CURLUE_OK) host = QString::fromUtf8(part);
    curl_free(part);
    part = nullptr;
    if (!host.isEmpty() && curl_url_get(parsed.get(), CURLUPART_PORT, &part, CURLU_DEFAULT_PORT) == CURLUE_OK)
      port = QByteArray(part).toInt();
    curl_free(part);
  }
  return {host, port};
}

// Whether the check lets url be asked.
bool MayAsk(const HostCheck& check, const QByteArray& url) {
  if (!check) return true;
  const auto [host, port] = HostAndPort(url);
  return check(host, port);
}

// libcurl has no separate send and receive limits. The platform object's
// send and receive time-outs bound how long one send or receive may wait, not
// the whole transfer, so they become a stall limit: the transfer fails when
// less than one byte per second moves for that long (whole seconds, at least
// one). Name resolution counts towards the connect limit in libcurl; a
// connect limit of 0 leaves libcurl's own (five minutes).
void SetTimeouts(CURL* h, long connectMs, long stallMs) {
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
  if (stallMs > 0) {
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, std::max(1L, (stallMs + 999) / 1000));
  }
}

QByteArray UserAgent() {
  return QByteArray("zarn/") + kVersionText;
}

// The size cap, also refused up front when the reply announces its length,
// and the deadline, what is left of it for this hop.
void SetBounds(CURL* h, const QElapsedTimer& started, long deadlineMs = kTransferDeadlineMs) {
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxTransferBytes));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, std::max(1L, deadlineMs - static_cast<long>(started.elapsed())));
}

// How often a transfer that may be cancelled looks up from its wait.
constexpr int kWaitSliceMs = 40;

// curl_easy_perform, or, when keepWaiting is set, the same transfer on a
// multi handle that asks keepWaiting between short waits: false removes the
// transfer at once and throws TransferCancelled.
CURLcode Perform(CURL* h, const std::function<bool()>& keepWaiting) {
  if (!keepWaiting) return curl_easy_perform(h);
  struct MultiDeleter {
    void operator()(CURLM* m) const { curl_multi_cleanup(m); }
  };
  std::unique_ptr<CURLM, MultiDeleter> multi(curl_multi_init());
  if (!multi) return curl_easy_perform(h);
  curl_multi_add_handle(multi.get(), h);
  CURLcode result = CURLE_OK;
  for (;;) {
    int running = 0;
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
      result = CURLE_RECV_ERROR;
      break;
    }
    int left = 0;
    bool done = false;
    while (CURLMsg* msg = curl_multi_info_read(multi.get(), &left))
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == h) {
        result = msg->data.result;
        done = true;
      }
    if (done || running == 0) break;
    curl_multi_poll(multi.get(), nullptr, 0, kWaitSliceMs, nullptr);
    if (!keepWaiting()) {
      curl_multi_remove_handle(multi.get(), h);
      throw TransferCancelled{};
    }
  }
  curl_multi_remove_handle(multi.get(), h);
  return result;
}

bool IsHttps(const QByteArray& url) { return url.left(8).toLower() == "https://"; }
bool IsHttp(const QByteArray& url) { return url.left(7).toLower() == "http://"; }

// "https://host:port" (IPv6 in brackets, as libcurl gives it), the address a
// pin is kept for.
QString Origin(const QByteArray& url, bool secure) {
  const auto [host, port] = HostAndPort(url);
  return (secure ? QStringLiteral("https://") : QStringLiteral("http://")) + host.toLower() + u':' +
         QString::number(port);
}

// "sha256//" + Base64 of the SHA-256 of the certificate's SubjectPublicKeyInfo,
// as libcurl's CURLOPT_PINNEDPUBLICKEY takes it; empty when it cannot be read.
QString KeyPin(const char* pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem, -1), BIO_free);
  if (!bio) return {};
  std::unique_ptr<X509, decltype(&X509_free)> cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), X509_free);
  if (!cert) return {};
  unsigned char* der = nullptr;
  const int length = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert.get()), &der);
  if (length <= 0) return {};
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  const bool ok = EVP_Digest(der, static_cast<size_t>(length), digest, &size, EVP_sha256(), nullptr) == 1;
  OPENSSL_free(der);
  if (!ok) return {};
  return QStringLiteral("sha256//") +
         QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(size)).toBase64());
}

// The key of the server's own certificate, the first of the chain libcurl saw.
QString ServerKeyPin(CURL* h) {
  curl_certinfo* info = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_CERTINFO, &info) != CURLE_OK || info == nullptr || info->num_of_certs < 1)
    return {};
  for (curl_slist* field = info->certinfo[0]; field; field = field->next)
    if (std::strncmp(field->data, "Cert:", 5) == 0) return KeyPin(field->data + 5);
  return {};
}

}  // namespace

HttpReply CurlHttpClient::Get(const QString& url, const HttpTimeouts& timeouts, const HostCheck& mayAsk) {
  GlobalInit();
  Easy easy(curl_easy_init());
  if (!easy) throw ZarnError(WinHttpErrorNumber(kWinHttpInternalError), kWinHttpSource, QStringLiteral("curl_easy_init failed"));
  CURL* h = easy.get();
  char error[CURL_ERROR_SIZE];
  HttpReply reply;
  const QByteArray agent = UserAgent();

  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_USERAGENT, agent.constData());
  // Every certificate error is ignored: unknown authority, wrong usage, name
  // mismatch and expiry alike.
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 0L);
  // TLS 1.0 to 1.2 (SSL 3.0 is no longer offered by the TLS library; the
  // library's own security level may still refuse the oldest versions).
  curl_easy_setopt(h, CURLOPT_SSLVERSION, static_cast<long>(CURL_SSLVERSION_TLSv1_0) | static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2));
  SetTimeouts(h, timeouts.connect, std::max(timeouts.send, timeouts.receive));
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, AppendToBuffer);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &reply.body);
  QElapsedTimer started;
  started.start();

  // Redirects are followed here rather than by libcurl, so that each hop can
  // be checked: one from https to http is not followed, and its own reply is
  // returned, as the platform object does; one to a host that mayAsk refuses
  // is not asked either.
  QByteArray current = RequestAddressBytes(url);
  for (int hop = 0;; ++hop) {
    if (!MayAsk(mayAsk, current)) return reply;
    reply = HttpReply{};
    error[0] = '\0';
    // Trust on first use: a pinned address must show its key again; plain
    // http to a pinned host is not asked at all.
    const bool secure = IsHttps(current);
    const QString origin = pins_ ? Origin(current, secure) : QString();
    const QByteArray pin = pins_ && secure ? pins_->Pin(origin).toLatin1() : QByteArray();
    if (pins_ && !secure && pins_->Pinned(HostAndPort(current).first)) {
      pins_->Mismatch(origin);
      return HttpReply{};
    }
    curl_easy_setopt(h, CURLOPT_PINNEDPUBLICKEY, pin.isEmpty() ? nullptr : pin.constData());
    curl_easy_setopt(h, CURLOPT_CERTINFO, pins_ && secure && pin.isEmpty() ? 1L : 0L);
    // A connection kept from an earlier hop was not checked against this pin.
    curl_easy_setopt(h, CURLOPT_FRESH_CONNECT, pin.isEmpty() ? 0L : 1L);
    curl_easy_setopt(h, CURLOPT_URL, current.constData());
    SetBounds(h, started, timeouts.total > 0 ? std::min(timeouts.total, kTransferDeadlineMs) : kTransferDeadlineMs);
    const CURLcode rc = Perform(h, keepWaiting);
    if (rc == CURLE_SSL_PINNEDPUBKEYNOTMATCH && pins_) {
      pins_->Mismatch(origin);
      return HttpReply{};
    }
    if (rc == CURLE_OK && pins_ && secure && pin.isEmpty()) {
      const QString seen = ServerKeyPin(h);
      if (!seen.isEmpty()) pins_->Record(origin, seen);
    }
    if (rc == CURLE_WRITE_ERROR || rc == CURLE_FILESIZE_EXCEEDED)
      throw ZarnError(WinHttpErrorNumber(kWinHttpInvalidServerResponse), kWinHttpSource,
                      QStringLiteral("The reply is larger than 64 MB; it was not read."));
    if (rc != CURLE_OK) ThrowCurl(rc, error);
    long status = 0;
    char* type = nullptr;
    char* next = nullptr;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(h, CURLINFO_CONTENT_TYPE, &type);
    curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &next);
    reply.status = static_cast<int>(status);
    reply.contentType = type ? QByteArray(type) : QByteArray();
    if (next == nullptr) return reply;
    const QByteArray target(next);
    if (!(IsHttps(target) || (IsHttp(target) && !IsHttps(current)))) return reply;
    if (hop == kMaxRedirects)
      throw ZarnError(WinHttpErrorNumber(kWinHttpRedirectFailed), kWinHttpSource, QStringLiteral("Too many redirects"));
    current = target;
  }
}

bool CurlDownloader::Download(const QString& url, const QString& path, const HostCheck& mayAsk) {
  GlobalInit();
  Easy easy(curl_easy_init());
  if (!easy) return false;
  CURL* h = easy.get();
  QByteArray current = RequestAddressBytes(url);
  if (!MayAsk(mayAsk, current)) return false;
  // Nothing is created when the folder is missing: open fails first.
  QSaveFile file(NativePath(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  FileSink sink{&file};
  const QByteArray agent = UserAgent();
  // Redirects from an https address stay on https.
  const bool secureStart = IsHttps(current);

  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_USERAGENT, agent.constData());
  // Only web addresses: a script must not copy local files or reach other services.
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_DEFAULT_PROTOCOL, "http");
  // An error page is not the file that was asked for.
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  SetTimeouts(h, kDownloadConnectMs, kDownloadStallMs);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, AppendToFile);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, NoteHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &sink);

  // Redirects are followed here, one checked hop at a time, rather than by
  // libcurl, which would ask every host on the way before we could look.
  QElapsedTimer started;
  started.start();
  for (int hop = 0;; ++hop) {
    curl_easy_setopt(h, CURLOPT_URL, current.constData());
    SetBounds(h, started);
    if (curl_easy_perform(h) != CURLE_OK) break;
    long status = 0;
    char* next = nullptr;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(h, CURLINFO_REDIRECT_URL, &next);
    if (status / 100 != 3 || next == nullptr) return file.commit();
    const QByteArray target(next);
    if (!(IsHttps(target) || (IsHttp(target) && !secureStart)) || hop == kMaxRedirects) break;
    if (!MayAsk(mayAsk, target)) break;
    current = target;
  }
  file.cancelWriting();
  return false;
}

}  // namespace zarn
