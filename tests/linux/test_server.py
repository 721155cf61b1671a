#!/usr/bin/env python3
"""HTTP and HTTPS server for the web tests, on 127.0.0.1 only.

Usage: test_server.py CERT KEY
Prints "<http port> <https port> <other port>" as its first line once all
three listen; the third is a second plain HTTP server, a host of its own for
redirects. "/count" answers with the requests each has seen, in that order,
not counting "/count" itself. It ends
when its standard input closes, and in any case after LIFETIME seconds.
"""
import os
import ssl
import sys
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LIFETIME = 120
SILENT_WAIT = 30
stopping = threading.Event()
ports = {}
counts = {"http": 0, "https": 0, "other": 0}
counts_lock = threading.Lock()

BIG = bytes(range(256)) * 800


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def reply(self, status, body, ctype="text/plain; charset=utf-8", headers=()):
        self.send_response(status)
        if ctype:
            self.send_header("Content-Type", ctype)
        for name, value in headers:
            self.send_header(name, value)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        # The request line arrives decoded as ISO-8859-1: back to its bytes.
        raw = self.path.encode("latin-1")
        path = self.path.split("?", 1)[0]
        if path == "/count":
            with counts_lock:
                text = "%d %d %d" % (counts["http"], counts["https"], counts["other"])
            self.reply(200, text.encode())
            return
        with counts_lock:
            counts[self.server.name] += 1
        if path == "/echo":
            self.reply(200, raw)
        elif path == "/error500":
            self.reply(500, b"ERROR|database down")
        elif path == "/latin1":
            self.reply(200, "Gr\u00fc\u00dfe \u00e0 vous".encode("latin-1"), 'text/plain; charset="ISO-8859-1"')
        elif path == "/nocharset":
            self.reply(200, "\u20ac 5".encode("utf-8"), "text/plain")
        elif path == "/unknowncharset":
            self.reply(200, "\u00e9".encode("utf-8"), "text/plain; charset=x-nonsense")
        elif path == "/redirect":
            self.reply(302, b"moved", headers=[("Location", "/echo?from=redirect")])
        elif path == "/to-https":
            self.reply(302, b"moved", headers=[("Location", "https://127.0.0.1:%d/echo?from=http" % ports["https"])])
        elif path == "/to-http":
            self.reply(302, b"moved", headers=[("Location", "http://127.0.0.1:%d/echo?from=https" % ports["http"])])
        elif path == "/to-other":
            self.reply(302, b"moved", headers=[("Location", "http://127.0.0.1:%d/big" % ports["other"])])
        elif path == "/loop":
            self.reply(302, b"again", headers=[("Location", "/loop")])
        elif path == "/silent":
            stopping.wait(SILENT_WAIT)
            self.close_connection = True
        elif path == "/big":
            self.reply(200, BIG, "application/octet-stream")
        elif path == "/picture-redirect":
            self.reply(301, b"", headers=[("Location", "/big")])
        elif path == "/cut":
            # Promises more than it sends, then hangs up.
            self.send_response(200)
            self.send_header("Content-Length", str(len(BIG)))
            self.end_headers()
            self.wfile.write(BIG[:1000])
            self.wfile.flush()
            self.close_connection = True
        else:
            self.reply(404, b"not found")


class Server(ThreadingHTTPServer):
    daemon_threads = True


def main():
    cert, key = sys.argv[1], sys.argv[2]
    plain = Server(("127.0.0.1", 0), Handler)
    secure = Server(("127.0.0.1", 0), Handler)
    other = Server(("127.0.0.1", 0), Handler)
    plain.name, secure.name, other.name = "http", "https", "other"
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    secure.socket = context.wrap_socket(secure.socket, server_side=True)
    ports["http"] = plain.server_address[1]
    ports["https"] = secure.server_address[1]
    ports["other"] = other.server_address[1]
    for server in (plain, secure, other):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    print(ports["http"], ports["https"], ports["other"], flush=True)

    threading.Timer(LIFETIME, lambda: os._exit(1)).start()
    sys.stdin.read()  # until the test closes the pipe
    stopping.set()
    os._exit(0)


if __name__ == "__main__":
    main()
