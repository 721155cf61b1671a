#pragma once
// HTTP GET and file download, the two things the web procedures need.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>

namespace zarn {

// Bounds on what a service can make the client hold or wait for, kept by
// every client: a reply or a download past the size stops, and so does a
// transfer, redirects included, that has not finished in the time (it may
// trickle past the stall limits for ever). The request object follows at
// most kMaxRedirects redirects; downloads have the platform download
// function's own connect and stall limits.
inline constexpr qint64 kMaxTransferBytes = qint64{64} * 1024 * 1024;
inline constexpr long kTransferDeadlineMs = 10L * 60 * 1000;
inline constexpr int kMaxRedirects = 10;
inline constexpr long kDownloadConnectMs = 120000;
inline constexpr long kDownloadStallMs = 120000;

// Failures of the service request are reported as the request object does:
// this source, and the WinHTTP error code as 0x80070000 | code.
inline const QString kWinHttpSource = QStringLiteral("WinHttp.WinHttpRequest");
constexpr int32_t WinHttpErrorNumber(uint32_t code) { return static_cast<int32_t>(0x80070000u | code); }

// The address as it goes out: UTF-8, with blanks, control characters and
// non-ASCII characters percent-encoded, as the platform's request object
// escapes them (a decoded "+" arrives here as a blank). Everything else,
// existing escapes included, goes out as written.
QByteArray RequestAddressBytes(const QString& url);

// Milliseconds; 0 means no limit.
struct HttpTimeouts {
  long resolve = 0;
  long connect = 120000;
  long send = 120000;
  long receive = 120000;
  // The whole transfer, redirects included, when shorter than the 10-minute
  // deadline; 0: that deadline.
  long total = 0;
};

struct HttpReply {
  int status = 0;
  QByteArray contentType;  // the Content-Type header as sent, empty when none
  QByteArray body;
};

// Asked before each request, the first and every redirect's, with the host
// and port it would go to (as libcurl reads the address: IPv6 in brackets, the
// scheme's default port when none is written, an empty host and -1 when the
// address names none). false: that request is not sent. Empty: every host.
using HostCheck = std::function<bool(const QString& host, int port)>;

// Thrown by Get when keepWaiting said no: not an error, so it passes every trap.
struct TransferCancelled {};
// Public keys of https services, kept at the first job from each
// "https://HOST:PORT" (trust on first use), so that whoever sits between the
// desk and a service the user allowed cannot hand back a script of their own.
class KeyPins {
 public:
  virtual ~KeyPins() = default;
  // The key pinned for origin ("https://host:port", the host as
  // CanonicalHost has it), as "sha256//" + the Base64 of the SHA-256 of its
  // SubjectPublicKeyInfo; empty when none is.
  virtual QString Pin(const QString& origin) = 0;
  // Whether any https origin on host has a pin: then plain http to it is not asked.
  virtual bool Pinned(const QString& host) = 0;
  virtual void Record(const QString& origin, const QString& pin) = 0;
  // origin (or "http://host:port") answered with another key, or without
  // TLS: nothing was asked of it.
  virtual void Mismatch(const QString& origin) = 0;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Asked every few hundredths of a second while Get waits for the service,
  // when set; false stops the transfer at once and Get throws TransferCancelled.
  std::function<bool()> keepWaiting;
  // The pins the requests keep to; none: any certificate, as before.
  void UsePins(KeyPins* pins) { pins_ = pins; }
  // A GET of url; any certificate is accepted. Throws ZarnError when no reply
  // arrives (unresolvable host, refused connection, time-out, bad address),
  // when the reply is larger than 64 MB, or when it has not all arrived 10
  // minutes after the request, redirects included.
  // The HTTP status is not an error. A request that mayAsk refuses is not
  // sent: the reply is then the last one received (empty for the first).
  // With pins, an https origin's first reply pins its key, and a later one
  // with another key, or plain http to a pinned host, is not asked: the
  // pins are told (Mismatch) and the reply is empty.
  virtual HttpReply Get(const QString& url, const HttpTimeouts& timeouts, const HostCheck& mayAsk = {}) = 0;

 protected:
  KeyPins* pins_ = nullptr;
};

class Downloader {
 public:
  virtual ~Downloader() = default;
  // Copies an http or https url to path, replacing a file there; false when
  // it failed, was larger than 64 MB or took more than 10 minutes, or when
  // mayAsk refused a request (which is then not sent); nothing is written then.
  virtual bool Download(const QString& url, const QString& path, const HostCheck& mayAsk = {}) = 0;
};

}  // namespace zarn
