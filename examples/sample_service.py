#!/usr/bin/env python3
"""A tiny print service for trying zarn out, on 127.0.0.1 only.

  sample_service.py SCRIPT   answers every GET with that one print script
  sample_service.py FOLDER   answers /print?job=NAME with FOLDER/scripts/NAME.txt
                             and /PATH with the file FOLDER/PATH (a logo for GF);
                             an unknown job gets an "ERROR|" reply

In the scripts it serves, "{service}" becomes the service's own address, so a
script can download its pictures from here with GF, and "{ticket}" the
request's "ticket" value, so that its STATUS line names the job:

  /status?ticket=T&status=...   a job's end reported by zarn (STATUS): kept
  /status?ticket=T              what was reported for T, as JSON ({} until
                                then), for the page that asked for the job

Prints "port <n>" once it listens, and on standard error the query values of
every /print and /status request as it received them (JSON), then serves at
most --requests requests or until --seconds have passed, whichever is first."""
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
    reports = {}  # ticket: the last STATUS report's values

    def status(self, query):
        """Keeps a STATUS report, or answers a page's question for one."""
        sys.stderr.write("sample service: status " + json.dumps(query, ensure_ascii=False) + "\n")
        ticket = query.get("ticket", [""])[0]
        if "status" in query:
            Handler.reports[ticket] = {k: v[0] for k, v in query.items() if k != "ticket"}
        return json.dumps(Handler.reports.get(ticket, {})).encode()

    def find(self, url, query):
        """The file a request asks for, or None."""
        if not os.path.isdir(root):
            return root
        if url.path == "/print":
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
        url = urllib.parse.urlsplit(self.path)
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        if url.path == "/status":
            # Any page may ask: it is a sample on the loopback address.
            status, kind, body = 200, "application/json", self.status(query)
        elif (path := self.find(url, query)) is None:
            status, kind, body = 404, "text/plain; charset=utf-8", b"ERROR|Unknown job|" + self.path.encode()
        else:
            with open(path, "rb") as f:
                body = f.read()
            status, kind = 200, "application/octet-stream"
            if path.endswith(".txt"):
                kind = "text/plain; charset=utf-8"
                body = body.replace(b"{service}", b"http://127.0.0.1:%d" % self.server.server_address[1])
                ticket = urllib.parse.quote(query.get("ticket", [""])[0], safe="")
                body = body.replace(b"{ticket}", ticket.encode())
            elif path.endswith(".png"):
                kind = "image/png"
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        if url.path == "/status":
            self.send_header("Access-Control-Allow-Origin", "*")
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
