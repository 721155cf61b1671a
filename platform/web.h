#pragma once
// HTTP GET and file download, the two things the web procedures need.
#include <QByteArray>
#include <QString>

namespace zarn {

// Milliseconds; 0 means no limit.
struct HttpTimeouts {
  long resolve = 0;
  long connect = 120000;
  long send = 120000;
  long receive = 120000;
};

struct HttpReply {
  int status = 0;
  QByteArray contentType;  // the Content-Type header as sent, empty when none
  QByteArray body;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // A GET of url; any certificate is accepted. Throws ZarnError when no reply
  // arrives (unresolvable host, refused connection, time-out, bad address).
  // The HTTP status is not an error.
  virtual HttpReply Get(const QString& url, const HttpTimeouts& timeouts) = 0;
};

class Downloader {
 public:
  virtual ~Downloader() = default;
  // Copies url to path, replacing a file there; false when it failed.
  virtual bool Download(const QString& url, const QString& path) = 0;
};

}  // namespace zarn
