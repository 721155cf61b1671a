#!/usr/bin/env python3
"""End to end: the real zarn tells the desktop how a job went and reports it
to the STATUS address of its script.

A private session bus (dbus-daemon) runs our own notification service. The job
(examples/scripts/status.txt from the sample service) runs on a machine
without printers, so its page becomes a PDF file: the notice must say so
prominently, and the service must receive status=pdf for the ticket. The same
job with a bus but no notification service, and with no bus at all, must end
as usual. CUPS does not run there, and the notice says so.

usage: e2e_notices.py <zarn program> <fake_notifications program> <examples folder>
Exit 77 (skipped) when there is no X display or no dbus-daemon."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e import finish, handler_argument, scratch_home, session_bus  # noqa: E402

SKIP = 77
RUN_SECONDS = 60


def link(port, ticket):
    return handler_argument("127.0.0.1:%d/print?job=status&ticket=%s" % (port, ticket))


def main():
    zarn, fake, examples = sys.argv[1:4]
    if not os.environ.get("DISPLAY"):
        print("no X display: skipped")
        return SKIP
    if not shutil.which("dbus-daemon"):
        print("no dbus-daemon: skipped")
        return SKIP
    failures = []
    with tempfile.TemporaryDirectory(prefix="zarn-notices-") as folder:
        program = os.path.join(folder, "zarn")
        shutil.copy(zarn, program)
        base = scratch_home(folder, {k: v for k, v in os.environ.items() if not k.startswith("DBUS_")})
        bus, with_bus = session_bus(base)
        service = subprocess.Popen([sys.executable, os.path.join(examples, "sample_service.py"), examples,
                                    "--requests", "20", "--seconds", str(RUN_SECONDS)],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        notices = None
        try:
            port = int(service.stdout.readline().split()[1])

            def run(ticket, env):
                started = time.monotonic()
                done = subprocess.run([program, link(port, ticket)], cwd=folder, env=env, timeout=RUN_SECONDS,
                                      stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
                if done.returncode != 0:
                    failures.append("%s: zarn ended with %d: %s" % (ticket, done.returncode, done.stderr))
                return time.monotonic() - started

            # A bus, but no notification service on it yet: nothing waits for one.
            run("no-service", with_bus)
            run("no-bus", base)
            notices = subprocess.Popen([fake, str(RUN_SECONDS)], stdout=subprocess.PIPE, text=True, env=with_bus)
            if notices.stdout.readline().strip() != "ready":
                failures.append("the notification service did not start")
                return 1
            run("with-service", with_bus)
        finally:
            service.terminate()
            _, service_log = service.communicate(timeout=10)
            if notices:
                notices.terminate()
                shown = notices.communicate(timeout=10)[0].splitlines()
            bus.terminate()
            bus.wait(timeout=10)

        reports = {}
        for line in service_log.splitlines():
            if line.startswith("sample service: status "):
                query = json.loads(line[len("sample service: status "):])
                reports[query["ticket"][0]] = {k: v[0] for k, v in query.items() if k != "ticket"}
        expected = {"status": "pdf", "pages": "1", "copypages": "0", "printer": "zarn PDF Writer", "errors": "0"}
        for ticket in ("no-service", "no-bus", "with-service"):
            if reports.get(ticket) != expected:
                failures.append("%s: the service got %s, not %s" % (ticket, reports.get(ticket), expected))
        if len(shown) != 1:
            failures.append("one notice expected, the service got %s" % shown)
        else:
            notice = json.loads(shown[0])
            if notice["app"] != "zarn" or notice["summary"] != "Saved as PDF" or notice["urgency"] != 2:
                failures.append("the notice is %s" % notice)
            if "The print system is not running" not in notice["body"] or "1 PDF file in ~/Documents" not in notice["body"]:
                failures.append("the notice's body is %r" % notice["body"])
    return finish(failures, reports=reports, notices=shown)


if __name__ == "__main__":
    sys.exit(main())
