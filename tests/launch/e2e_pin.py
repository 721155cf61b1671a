#!/usr/bin/env python3
"""End to end: the real zarn against an https service on loopback whose
certificate changes between jobs (two self-signed certificates made by
openssl). The first job pins the key and runs; the same certificate again
runs; another key runs nothing (a box, a MESSAGE : line); a plain-http link
to the pinned host runs nothing either.

usage: e2e_pin.py <zarn program>
Exit 77 (skipped) when there is no X display."""
import os
import shutil
import ssl
import subprocess
import sys
import tempfile
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e import LoopbackService, answer_boxes, handler_argument, scratch_home  # noqa: E402

SKIP = 77
CASE_SECONDS = 40
# A script whose running shows in the run log.
SCRIPT = b"RPTFLD|#N#|\r\n\r\nRPTDT|x|\r\n"


class Service(LoopbackService):
    def answer(self, path):
        return SCRIPT


def certificate(folder, name):
    key, cert = os.path.join(folder, name + ".key"), os.path.join(folder, name + ".pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=127.0.0.1"], check=True, capture_output=True)
    return cert, key


def main():
    zarn = os.path.abspath(sys.argv[1])
    if not os.environ.get("DISPLAY"):
        print("no X display: skipped")
        return SKIP
    failures = 0
    with tempfile.TemporaryDirectory(prefix="zarn-pin-") as top:
        first, second = certificate(top, "first"), certificate(top, "second")
        tls, plain = Service(), Service()
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*first)
        tls.socket = context.wrap_socket(tls.socket, server_side=True)
        env = scratch_home(top)
        env["LC_ALL"] = "C.UTF-8"
        program = os.path.join(top, "zarn")
        shutil.copy(zarn, program)
        pins = os.path.join(env["XDG_CONFIG_HOME"], "zarn", "certificate-pins")
        tls_port, plain_port = tls.server_address[1], plain.server_address[1]

        def job(address):
            proc = subprocess.Popen([program, handler_argument(address)], env=env, cwd=top, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            boxes = answer_boxes([proc], [["Return"]], CASE_SECONDS)
            log = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                                 timeout=20).stdout.decode("utf-8", "replace")
            return proc.returncode, boxes, "MESSAGE :Repeat found" in log, \
                "did not show the certificate key zarn pinned" in log

        service = "https://127.0.0.1:%d/print?job=x" % tls_port
        cases = [("first job pins and runs", service, None, (0, 0, True, False)),
                 ("the same certificate runs", service, None, (0, 0, True, False)),
                 ("another key runs nothing", service, second, (0, 1, False, True)),
                 ("plain http to the pinned host runs nothing", "http://127.0.0.1:%d/print?job=x" % plain_port,
                  None, (0, 1, False, True))]
        for name, address, swap, want in cases:
            if swap:
                context.load_cert_chain(*swap)
            got = job(address)
            if name.startswith("first"):
                pinned = open(pins).read() if os.path.exists(pins) else ""
                if not pinned.startswith("https://127.0.0.1:%d sha256//" % tls_port):
                    got += ("pins file: %r" % pinned,)
            print("%-44s %s" % (name, "ok" if got == want else "FAILED: %r, not %r" % (got, want)))
            failures += got != want
        tls.shutdown()
        plain.shutdown()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
