#pragma once
// The web interfaces on WinHTTP, the library of the request object the
// service request was written for. Each call opens its own session, finishes
// the whole transfer on the calling thread and closes it again; no window
// events are processed meanwhile.
#include "platform/http.h"

namespace zarn {

// The service request: the request object's certificate option (every
// certificate error ignored), secure protocols (SSL 3.0 to TLS 1.2, as far as
// the system still offers them) and time-outs. Redirects are followed here,
// each hop put to the host check first, none from https to http. Failures
// throw ZarnError from WinHttp.WinHttpRequest with WinHTTP's error code and
// text. With pins, each https hop's key is read in the status callback that
// comes after the TLS handshake and before the request is sent; another key
// than the origin's pin closes the request there, so nothing is sent. With
// keepWaiting, each hop runs on a thread of its own while the calling thread
// asks keepWaiting every 40 ms.
class WinHttpClient final : public HttpClient {
 public:
  HttpReply Get(const QString& url, const HttpTimeouts& timeouts, const HostCheck& mayAsk = {}) override;
};

// File download, as the platform's download function does it (certificates
// verified, an HTTP error status a failure), written to a temporary file
// beside the target and moved over it only when the whole file arrived.
class WinHttpDownloader final : public Downloader {
 public:
  bool Download(const QString& url, const QString& path, const HostCheck& mayAsk = {}) override;
};

}  // namespace zarn
