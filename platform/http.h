#pragma once
// HTTP GET and file download, the two things the web procedures need.
#include <QByteArray>
#include <QString>
#include <functional>

namespace zarn {

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

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Asked every few hundredths of a second while Get waits for the service,
  // when set; false stops the transfer at once and Get throws TransferCancelled.
  std::function<bool()> keepWaiting;
  // A GET of url; any certificate is accepted. Throws ZarnError when no reply
  // arrives (unresolvable host, refused connection, time-out, bad address),
  // when the reply is larger than 64 MB, or when it has not all arrived 10
  // minutes after the request, redirects included.
  // The HTTP status is not an error. A request that mayAsk refuses is not
  // sent: the reply is then the last one received (empty for the first).
  virtual HttpReply Get(const QString& url, const HttpTimeouts& timeouts, const HostCheck& mayAsk = {}) = 0;
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
