#!/usr/bin/env python3
"""The real zarn asks its service before anything the job does not need yet:
with no session bus it starts no dbus-launch (a stand-in on PATH records any
start), and it asks no CUPS scheduler (a socket at CUPS_SERVER records any
connection) before the service request; for a script that prints nothing it
asks CUPS not at all.

usage: e2e_startup_order.py <zarn program>
Exit 77 (skipped) when there is no X display."""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e import handler_argument, scratch_home  # noqa: E402

SKIP = 77


def listen(sock, arrived, reply):
    while True:
        try:
            conn, _ = sock.accept()
        except OSError:
            return
        with conn:
            arrived.append(time.monotonic())
            if reply:
                conn.recv(4096)
                conn.sendall(reply)


def main():
    if not os.environ.get("DISPLAY"):
        print("no X display: skipped")
        return SKIP
    with tempfile.TemporaryDirectory(prefix="zarn-startup-") as folder:
        program = shutil.copy(sys.argv[1], os.path.join(folder, "zarn"))
        bin_dir = os.path.join(folder, "bin")
        os.makedirs(bin_dir)
        marker = os.path.join(folder, "dbus-launch-started")
        with open(os.path.join(bin_dir, "dbus-launch"), "w") as f:
            f.write("#!/bin/sh\ntouch '%s'\nexit 1\n" % marker)
        os.chmod(os.path.join(bin_dir, "dbus-launch"), 0o755)

        service, cups = socket.socket(), socket.socket(socket.AF_UNIX)
        service.bind(("127.0.0.1", 0))
        cups.bind(os.path.join(folder, "cups.sock"))
        asked, cups_asked = [], []
        for sock, log, reply in ((service, asked, b"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"), (cups, cups_asked, None)):
            sock.listen(8)
            threading.Thread(target=listen, args=(sock, log, reply), daemon=True).start()

        env = scratch_home(folder, {k: v for k, v in os.environ.items()
                                    if k not in ("DBUS_SESSION_BUS_ADDRESS", "QT_QPA_PLATFORM")})
        env.update(PATH=bin_dir + os.pathsep + env["PATH"], CUPS_SERVER=os.path.join(folder, "cups.sock"))
        link = handler_argument("127.0.0.1:%d/print?job=nothing" % service.getsockname()[1])
        run = subprocess.run([program, link], env=env, cwd=folder, timeout=60, capture_output=True, text=True)
        time.sleep(0.2)
        service.close()
        cups.close()
        launched = os.path.exists(marker)

    failures = []
    if run.returncode != 0 or len(asked) != 1:
        failures.append("the job ran and asked its service once: exit %d, %d requests, %s"
                        % (run.returncode, len(asked), run.stderr))
    if launched:
        failures.append("dbus-launch was started")
    if cups_asked:
        failures.append("CUPS was asked for a job that prints nothing (%d connections)" % len(cups_asked))
    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
