#pragma once
// The web interfaces on libcurl's blocking easy interface: each call creates
// its own handle, finishes the whole transfer on the calling thread and
// releases the handle again. No window events are processed meanwhile.
#include "platform/http.h"

namespace zarn {

// The service request. Any certificate is accepted, TLS 1.0 to 1.2 are
// allowed, redirects are followed except from https to http, and each
// request, redirects' included, is first put to the host check. Failures throw
// ZarnError with source "WinHttp.WinHttpRequest", a negative number of the
// WinHTTP kind (-2147012867 for a refused connection, -2147012894 for a
// time-out, ...) and libcurl's message as description.
class CurlHttpClient final : public HttpClient {
 public:
  HttpReply Get(const QString& url, const HttpTimeouts& timeouts, const HostCheck& mayAsk = {}) override;
};

// File download. The file is written to a temporary file in the target's
// folder and moved over the target only when the whole download succeeded,
// so a failure never damages an existing file and a missing folder creates
// nothing. Redirects are followed (at most ten; from an https address to
// https only), each hop put to the host check before it is asked. An HTTP
// error status is a failure; certificates are verified as the platform's
// download function does. "\" in the target is a separator.
class CurlDownloader final : public Downloader {
 public:
  bool Download(const QString& url, const QString& path, const HostCheck& mayAsk = {}) override;
};

}  // namespace zarn
