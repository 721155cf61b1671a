#!/usr/bin/env python3
"""A tiny print service for trying zarn out: answers every GET on 127.0.0.1
with one print script file. Prints "port <n>" once it listens, then serves at
most --requests requests or until --seconds have passed, whichever is first."""
import argparse
import http.server
import sys
import time

parser = argparse.ArgumentParser()
parser.add_argument("script", help="the print script file to serve")
parser.add_argument("--port", type=int, default=0, help="0: any free port")
parser.add_argument("--requests", type=int, default=10)
parser.add_argument("--seconds", type=float, default=120)
args = parser.parse_args()

with open(args.script, "rb") as f:
    body = f.read()


class Handler(http.server.BaseHTTPRequestHandler):
    served = 0

    def do_GET(self):
        Handler.served += 1
        self.send_response(200)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, fmt, *a):
        sys.stderr.write("sample service: " + (fmt % a) + "\n")


server = http.server.HTTPServer(("127.0.0.1", args.port), Handler)
server.timeout = 0.5
print("port", server.server_address[1], flush=True)
deadline = time.monotonic() + args.seconds
while Handler.served < args.requests and time.monotonic() < deadline:
    server.handle_request()  # returns after server.timeout without a request, too
server.server_close()
