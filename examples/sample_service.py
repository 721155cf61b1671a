#!/usr/bin/env python3
"""A tiny print service for trying zarn out, on 127.0.0.1 only.

  sample_service.py SCRIPT   answers every GET with that one print script
  sample_service.py FOLDER   answers /print?job=NAME with FOLDER/scripts/NAME.txt
                             and /PATH with the file FOLDER/PATH (a logo for GF);
                             an unknown job gets an "ERROR|" reply

In the scripts it serves, "{service}" becomes the service's own address, so a
script can download its pictures from here with GF. Prints "port <n>" once it
listens, and on standard error the query values of every /print request as
it received them (JSON), then serves at most --requests requests or until --seconds have
passed, whichever is first."""
import argparse
import http.server
import json
import os
import sys
import time
import urllib.parse

parser = argparse.ArgumentParser()
parser.add_argument("source", help="a print script file, or a folder with scripts/ and pictures")
parser.add_argument("--port", type=int, default=0, help="0: any free port")
parser.add_argument("--requests", type=int, default=10)
parser.add_argument("--seconds", type=float, default=120)
args = parser.parse_args()
root = os.path.realpath(args.source)


class Handler(http.server.BaseHTTPRequestHandler):
    served = 0

    def find(self):
        """The file a request asks for, or None."""
        if not os.path.isdir(root):
            return root
        url = urllib.parse.urlsplit(self.path)
        if url.path == "/print":
            query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
            sys.stderr.write("sample service: query " + json.dumps(query, ensure_ascii=False) + "\n")
            job = query.get("job", [""])[0]
            path = os.path.join(root, "scripts", job + ".txt")
        else:
            path = os.path.join(root, urllib.parse.unquote(url.path).lstrip("/"))
        path = os.path.realpath(path)
        inside = path.startswith(os.path.join(root, ""))
        return path if inside and os.path.isfile(path) else None

    def do_GET(self):
        Handler.served += 1
        path = self.find()
        if path is None:
            status, kind, body = 404, "text/plain; charset=utf-8", b"ERROR|Unknown job|" + self.path.encode()
        else:
            with open(path, "rb") as f:
                body = f.read()
            status, kind = 200, "application/octet-stream"
            if path.endswith(".txt"):
                kind = "text/plain; charset=utf-8"
                body = body.replace(b"{service}", b"http://127.0.0.1:%d" % self.server.server_address[1])
            elif path.endswith(".png"):
                kind = "image/png"
        self.send_response(status)
        self.send_header("Content-Type", kind)
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
