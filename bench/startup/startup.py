#!/usr/bin/env python3
"""Start-up time of the client: from process start to the first service
request, as a loopback print service sees it arrive; and, in the same run,
zarn-render of an empty script from start to exit.

The client runs on the display in DISPLAY (run.sh starts Xvfb when there is
none), with a scratch HOME, and sees the machine's CUPS scheduler, if any.
The service answers with an empty script, so the job prints nothing and ends.

usage: startup.py ZARN ZARN_RENDER [RUNS] [--target-ms N] [--floor PROGRAM]
                  [--compare OTHER_ZARN ...]
Prints the median and the fastest run of each; exits 1 when the client's
median is not below the target. --compare measures other builds of the
client in the same runs, in turn with this one (today's figure: the build
before start-up was trimmed, commit 8781331). --floor measures, in the same
runs, a program that only shows a Qt window and then sends the same GET with
libcurl (floor.cpp): what any client that shows its window before asking
the service takes on this machine, whatever it does besides.

Measured on the 2-core development machine, idle but for its virtual
machine's noise (client as of e9f6cb0), medians (fastest) in ms to the
request; three runs of run.sh --compare (15 runs each), then one of 30:
  before (8781331):  88.4 88.7 91.8 (83.1 84.1 84.7);  93.2 (84.2)
  this build:        82.9 93.2 79.9 (76.1 75.8 73.6);  84.4 (76.8)
  floor:             68.2 73.1 72.0 (65.2 66.4 66.3);  72.4 (66.3)
zarn-render of an empty script, start to exit: 64.9 to 67.6 (64.4 to 64.5).
The 50 ms target is not met, and cannot be while the window is shown before
the request: the floor alone takes about 70 ms. Its time goes to the dynamic
loader (Qt, libcurl and their ~75 libraries: about 40 ms before main()),
QApplication (20 to 30 ms: the xcb platform plugin and its libraries, the
display connection) and the window (about 11 ms to shown and painted), as in
zarn. zarn's 8 to 12 ms over the floor are mostly the libraries it loads for
later (Qt PrintSupport, libcups) and its larger window. A scratch program
that sends the same GET before it starts Qt reached the service in about
40 ms.
"""
import argparse
import base64
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "support"))
from service_answers import allow_loopback_service  # noqa: E402


class Service:
    """Accepts one request at a time and records when its first bytes arrive."""

    def __init__(self):
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(8)
        self.port = self.sock.getsockname()[1]
        self.arrived = []
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            conn, _ = self.sock.accept()
            with conn:
                data = conn.recv(4096)
                self.arrived.append(time.perf_counter())
                while data and b"\r\n\r\n" not in data:
                    more = conn.recv(4096)
                    if not more:
                        break
                    data += more
                conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("zarn")
    parser.add_argument("render")
    parser.add_argument("runs", nargs="?", type=int, default=15)
    parser.add_argument("--target-ms", type=float, default=50)
    parser.add_argument("--compare", nargs="*", default=[])
    parser.add_argument("--floor", help="a program that shows a window, then GETs the address it is given")
    args = parser.parse_args()
    args.zarn, args.render = os.path.abspath(args.zarn), os.path.abspath(args.render)
    if args.floor:
        args.floor = os.path.abspath(args.floor)

    if not os.environ.get("DISPLAY"):
        print("no DISPLAY: run under xvfb-run -a, as run.sh does")
        return 2
    service = Service()
    with tempfile.TemporaryDirectory(prefix="zarn-startup-") as folder:
        # Each client in a folder of its own: its program folder.
        programs = []
        for i, build in enumerate([args.zarn] + [os.path.abspath(c) for c in args.compare]):
            os.makedirs(os.path.join(folder, str(i)))
            programs.append(shutil.copy(build, os.path.join(folder, str(i), "zarn")))
        home = os.path.join(folder, "home")
        runtime = os.path.join(home, "runtime")
        os.makedirs(runtime, mode=0o700)
        allow_loopback_service(home)
        env = dict(os.environ, HOME=home, XDG_RUNTIME_DIR=runtime,
                   XDG_CONFIG_HOME=os.path.join(home, ".config"),
                   XDG_DATA_HOME=os.path.join(home, ".local", "share"),
                   XDG_CACHE_HOME=os.path.join(home, ".cache"))
        env.pop("WAYLAND_DISPLAY", None)
        env.pop("QT_QPA_PLATFORM", None)
        request = "127.0.0.1:%d/print?job=empty" % service.port
        link = '"zarn://%s/"' % base64.b64encode(request.encode()).decode()
        empty = os.path.join(folder, "empty.txt")
        open(empty, "wb").close()

        to_request, render, floor = [[] for _ in programs], [], []
        for i in range(args.runs + 1):  # the first run warms the caches
            for n, program in enumerate(programs):
                before = len(service.arrived)
                start = time.perf_counter()
                run = subprocess.run([program, link], env=env, cwd=folder, timeout=60,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                if run.returncode != 0 or len(service.arrived) != before + 1:
                    print("%s failed (%d): %s" % (program, run.returncode, run.stderr.decode(errors="replace")))
                    return 1
                if i:
                    to_request[n].append((service.arrived[-1] - start) * 1000)

            if args.floor:
                before = len(service.arrived)
                start = time.perf_counter()
                run = subprocess.run([args.floor, "http://%s&floor=1" % request], env=env, cwd=folder, timeout=60,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
                if run.returncode != 0 or len(service.arrived) != before + 1:
                    print("%s failed (%d): %s" % (args.floor, run.returncode, run.stderr.decode(errors="replace")))
                    return 1
                if i:
                    floor.append((service.arrived[-1] - start) * 1000)

            start = time.perf_counter()
            subprocess.run([args.render, empty, "-o", os.path.join(folder, "empty.pdf")], env=env, cwd=folder,
                           timeout=60, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            if i:
                render.append((time.perf_counter() - start) * 1000)

    def line(what, values):
        return "%-44s median %6.1f ms, fastest %6.1f ms (%d runs)" % (
            what, statistics.median(values), min(values), len(values))

    print(line("zarn: process start to service request", to_request[0]))
    for build, values in zip(args.compare, to_request[1:]):
        print(line("  compared, " + build, values))
    if floor:
        print(line("floor: a Qt window, then one libcurl GET", floor))
    print(line("zarn-render of an empty script: start to exit", render))
    median = statistics.median(to_request[0])
    print("target: under %.0f ms to the service request: %s" % (args.target_ms, "met" if median < args.target_ms else "NOT met"))
    return 0 if median < args.target_ms else 1


if __name__ == "__main__":
    sys.exit(main())
