#!/usr/bin/env python3
"""End to end: what the person at the desk is told, by the real zarn.

1. A private cupsd with a queue that accepts no jobs (cupsreject) and a
   paused one (cupsdisable -r "Out of paper", with a description): the notice
   and the STATUS report say refused and waiting, with CUPS's reason and the
   printer's description, not "Printed".
2. A service that answers only after 30 s: the window shows whom it asks,
   and its Cancel button, clicked with xdotool, stops the transfer at once:
   exit status 3, the run log on the clipboard with "MESSAGE :Cancelled by
   the user", and a notice saying so.

usage: e2e_desk.py <zarn> <fake_notifications> <cups_server.sh>
Exit 77 (skipped) without an X display, xdotool, dbus-daemon or cupsd."""
import html
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e import LoopbackService, finish, handler_argument, scratch_home, session_bus, zarn_main_window  # noqa: E402

SKIP = 77
SECONDS = 60


class Service(LoopbackService):
    """Serves the script for /print?q=QUEUE and keeps the STATUS reports;
    waits `delay` seconds before a script."""
    delay = 0

    def __init__(self):
        super().__init__()
        self.reports = {}

    def answer(self, path):
        url = urllib.parse.urlsplit(path)
        query = {k: v[0] for k, v in urllib.parse.parse_qs(url.query).items()}
        if url.path == "/status":
            self.reports[query["ticket"]] = query
            return b"ok"
        time.sleep(self.delay)
        queue = query.get("q", "")
        return ("DEV|%s\r\nPDFNAME|invoice-42\r\nPT|0|0|hello|0|0|L|0\r\nED\r\n"
                "STATUS|http://127.0.0.1:%d/status?ticket=%s\r\n" % (queue, self.server_address[1], queue)).encode()


def free_port():
    import socket
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def main():
    zarn, fake, cups_script = sys.argv[1:4]
    for tool in ("xdotool", "dbus-daemon", "cupsd", "xclip"):
        if not shutil.which(tool) and not os.path.exists("/usr/sbin/" + tool):
            print("no %s: skipped" % tool)
            return SKIP
    if not os.environ.get("DISPLAY"):
        print("no X display: skipped")
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory(prefix="zarn-desk-") as folder:
        program = os.path.join(folder, "zarn")
        shutil.copy(zarn, program)
        cups = os.path.join(folder, "cups")
        started = subprocess.run(["bash", cups_script, "start", cups, str(free_port())], capture_output=True, text=True)
        if started.returncode != 0:
            print("no private cupsd:", started.stderr)
            return SKIP if started.returncode == SKIP else 1
        base = scratch_home(folder, {k: v for k, v in os.environ.items() if not k.startswith("DBUS_")})
        base["CUPS_SERVER"] = os.path.join(cups, "cups.sock")
        service = Service()
        bus = notices = None
        try:
            ppd = os.path.join(os.path.dirname(os.path.abspath(cups_script)), "zarn-test.ppd")
            for queue, description in (("desk-refusing", "Hall printer"), ("desk-paused", "Desk laser, 2nd floor")):
                subprocess.run(["lpadmin", "-p", queue, "-E", "-v", "file:///dev/null", "-P", ppd, "-D", description],
                               env=base, check=True, timeout=30)
            subprocess.run(["/usr/sbin/cupsreject", "desk-refusing"], env=base, check=True, timeout=30)
            subprocess.run(["/usr/sbin/cupsdisable", "-r", "Out of paper", "desk-paused"], env=base, check=True,
                           timeout=30)
            bus, env = session_bus(base)
            notices = subprocess.Popen([fake, str(SECONDS * 3)], stdout=subprocess.PIPE, text=True, env=env)
            if notices.stdout.readline().strip() != "ready":
                failures.append("the notification service did not start")
                return 1

            def start(queue):
                link = handler_argument("127.0.0.1:%d/print?q=%s" % (service.server_address[1], queue))
                return subprocess.Popen([program, link], cwd=folder, env=env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE, text=True)

            # 1. What CUPS did with the job.
            for queue in ("desk-refusing", "desk-paused"):
                run = start(queue)
                run.communicate(timeout=SECONDS)
                if run.returncode != 0:
                    failures.append("%s: zarn ended with %d" % (queue, run.returncode))

            # 2. A slow service, and the Cancel button.
            service.delay = 30
            run = start("desk-paused")
            window = None
            for _ in range(100):
                window = zarn_main_window()
                if window:
                    break
                time.sleep(0.1)
            time.sleep(1)  # asking now
            clicked = time.monotonic()
            if window is None:
                failures.append("no main window while the service is asked")
            else:
                shot = os.path.join(folder, "asking.png")
                subprocess.run(["import", "-window", window, shot], capture_output=True, timeout=30)
                # The Cancel button: bottom right, 80 x 32 pixels at 96 dpi.
                subprocess.run(["xdotool", "mousemove", "--window", window, "240", "96", "click", "1"], timeout=10)
            try:
                run.communicate(timeout=10)
            except subprocess.TimeoutExpired:
                run.kill()
                run.communicate()
                failures.append("Cancel did not stop the request")
            took = time.monotonic() - clicked
            if run.returncode != 3:
                failures.append("after Cancel zarn ended with %s, not 3" % run.returncode)
            if took > 5:
                failures.append("Cancel took %.1f s" % took)
            log = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                                 timeout=10).stdout.decode("utf-8", "replace")
            if "\r\nMESSAGE :Cancelled by the user\r\nZARN end: " not in log:
                failures.append("the run log after Cancel is %r" % log[-200:])
        finally:
            if notices:
                notices.terminate()
                shown = [json.loads(line) for line in notices.communicate(timeout=10)[0].splitlines()]
            if bus:
                bus.terminate()
                bus.wait(timeout=10)
            subprocess.run(["bash", cups_script, "stop", cups], timeout=30)
            service.shutdown()

    reports = service.reports
    want = {
        "desk-refusing": ("refused", "Not printed", "Hall printer (desk-refusing) does not accept jobs"),
        "desk-paused": ("waiting", "Waiting to print", "queue of Desk laser, 2nd floor (desk-paused): Out of paper."),
    }
    for n, (queue, (status, summary, words)) in enumerate(want.items()):
        got = reports.get(queue, {}).get("status")
        if got != status:
            failures.append("%s: STATUS said %s, not %s (%s)" % (queue, got, status, reports.get(queue)))
        notice = shown[n] if n < len(shown) else {}
        body = html.unescape(notice.get("body", ""))  # sent escaped: the desktop may read markup
        if notice.get("summary") != summary or words not in body or '"invoice-42"' not in body:
            failures.append("%s: the notice is %s" % (queue, notice))
    if len(shown) < 3 or shown[2].get("summary") != "Cancelled" or \
            "Cancelled by the user" not in shown[2].get("body", ""):
        failures.append("the notice after Cancel is %s" % (shown[2:] or None))
    return finish(failures, reports=reports, notices=shown)


if __name__ == "__main__":
    sys.exit(main())
