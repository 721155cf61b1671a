"""A print service on 127.0.0.1 that misbehaves on request, for the fault runs.

GET paths (the client's "&random=..." query is ignored):
  /script/<name>   the script registered under <name>, in full
  /cut/<n>         announces 2 * n bytes, sends n bytes of script text, closes
  /big/<mb>[/<n>]  a script of <mb> MiB: a short job, then filler lines of n
                   bytes each (1024 when not given)
Runs in a thread of the caller; stop() ends it."""
import http.server
import socket
import threading

# Printed first by /big: names the job so the run is recognisable.
BIG_HEAD = b"PDFNAME|big\r\nMRG|10|10\r\n"


def filler_line(n):
    """A line the interpreter skips, n bytes with its line end (n >= 3)."""
    return b"R" + b"x" * (n - 3) + b"\r\n"


class FaultService:
    def __init__(self):
        self.scripts = {}
        self.requests = []
        service = self

        class Handler(http.server.BaseHTTPRequestHandler):
            protocol_version = "HTTP/1.1"

            def do_GET(self):
                service.requests.append(self.path)
                parts = self.path.split("?", 1)[0].strip("/").split("/")
                kind, arg = parts[0], parts[1] if len(parts) > 1 else ""
                line = int(parts[2]) if len(parts) > 2 else 1024
                if kind == "script" and arg in service.scripts:
                    self.reply(service.scripts[arg])
                elif kind == "cut":
                    n = int(arg)
                    self.send_response(200)
                    self.send_header("Content-Type", "text/plain; charset=utf-8")
                    self.send_header("Content-Length", str(2 * n))
                    self.end_headers()
                    self.wfile.write((b"MRG|10|10\r\n" * (n // 11 + 1))[:n])
                    self.wfile.flush()
                    self.close_connection = True
                    self.connection.shutdown(socket.SHUT_RDWR)
                elif kind == "big":
                    self.big(int(arg) * 1024 * 1024, filler_line(line))
                else:
                    self.reply(b"not found", 404)

            def reply(self, body, status=200):
                self.send_response(status)
                self.send_header("Content-Type", "text/plain; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def big(self, size, line):
                self.send_response(200)
                self.send_header("Content-Type", "text/plain; charset=utf-8")
                self.send_header("Content-Length", str(size))
                self.end_headers()
                self.wfile.write(BIG_HEAD)
                left = size - len(BIG_HEAD)
                chunk = line * ((1 << 20) // len(line))
                while left > 0:
                    piece = chunk[:left]
                    self.wfile.write(piece)
                    left -= len(piece)

            def log_message(self, fmt, *args):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.server.daemon_threads = True
        self.port = self.server.server_address[1]
        self.thread = threading.Thread(target=self.server.serve_forever, kwargs={"poll_interval": 0.1},
                                       daemon=True)
        self.thread.start()

    def url(self, path):
        return "127.0.0.1:%d%s" % (self.port, path)

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def refused_port():
    """A loopback port nothing listens on: connections to it are refused."""
    s = socket.socket()
    s.bind(("127.0.0.1", 0))
    port = s.getsockname()[1]
    s.close()
    return port
