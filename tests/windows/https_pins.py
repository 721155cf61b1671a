#!/usr/bin/env python3
"""Runs the WinHTTP pin tests (WinHttpPins.*) of the Windows test program
under Wine against an https service on loopback with a self-signed
certificate made by openssl. The tests get the service's port and the pin
openssl computes for its key; the service answers /seen with the paths it
was asked, so the tests can tell that a refused request never reached it.

usage: https_pins.py TEST_PROGRAM"""
import base64
import hashlib
import os
import ssl
import subprocess
import sys
import tempfile
import threading
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Reply(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        body = ("\n".join(self.server.seen) if self.path == "/seen" else "PT|" + self.path).encode()
        if self.path != "/seen":
            self.server.seen.append(self.path)
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def main():
    program = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="zarn-pins-") as top:
        key, cert = os.path.join(top, "key.pem"), os.path.join(top, "cert.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                        "-days", "2", "-subj", "/CN=127.0.0.1"], check=True, capture_output=True)
        spki = subprocess.run(["openssl", "x509", "-in", cert, "-pubkey", "-noout"], check=True,
                              capture_output=True).stdout
        der = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "der"], input=spki, check=True,
                             capture_output=True).stdout
        pin = "sha256//" + base64.b64encode(hashlib.sha256(der).digest()).decode()
        server = ThreadingHTTPServer(("127.0.0.1", 0), Reply)
        server.daemon_threads = True
        server.seen = []
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(cert, key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        env = dict(os.environ, ZARN_TLS_PORT=str(server.server_address[1]), ZARN_TLS_PIN=pin)
        done = subprocess.run(["wine", program, "--gtest_filter=WinHttpPins.*"], env=env, timeout=300)
        server.shutdown()
        return done.returncode


if __name__ == "__main__":
    sys.exit(main())
