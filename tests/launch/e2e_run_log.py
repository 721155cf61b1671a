#!/usr/bin/env python3
"""End to end: the real zarn, started with a real "zarn://" link to a print
service on 127.0.0.1, leaves its run log on the X clipboard, and the log is
still there after the process has ended.

With a clipboard manager program as third argument, that manager runs on the
display and the run log must have been handed to it when zarn ended.

usage: e2e_run_log.py <zarn program> <sample service script> [<clipboard manager>]
Exit 77 (skipped) when there is no X display."""
import base64
import os
import re
import select
import shutil
import subprocess
import sys
import tempfile
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e import scratch_home  # noqa: E402

SKIP = 77


def main():
    zarn, service_script = sys.argv[1], sys.argv[2]
    manager_program = sys.argv[3] if len(sys.argv) > 3 else None
    if not os.environ.get("DISPLAY"):
        print("no X display: skipped")
        return SKIP
    with tempfile.TemporaryDirectory(prefix="zarn-e2e-") as folder:
        # A copy of the program in a folder of its own: no zarn.ini, its own error log.
        program = os.path.join(folder, "zarn")
        shutil.copy(zarn, program)
        script = os.path.join(folder, "script.txt")
        with open(script, "wb") as f:
            # Sets a name and margins only, so the run puts nothing on paper.
            f.write(b"PDFNAME|e2e\r\nMRG|10|10\r\n")
        service = subprocess.Popen(
            [sys.executable, service_script, script, "--requests", "3", "--seconds", "60"],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        manager = None
        service_log = ""
        try:
            if manager_program:
                manager = subprocess.Popen([manager_program, "60"], stdout=subprocess.PIPE, text=True)
                if manager.stdout.readline().strip() != "ready":
                    print("the clipboard manager did not start")
                    return 1
            line = service.stdout.readline()
            if not line.startswith("port "):
                print("the service did not start:", line)
                return 1
            port = int(line.split()[1])
            # URI-escaped UTF-8, as a web page escapes it before Base64
            request = "127.0.0.1:%d/print?job=e2e&name=M%%C3%%BCller+K" % port
            data = base64.b64encode(request.encode()).decode()
            # quote, link, "/", quote: the way the link handler starts the program
            argument = '"zarn://%s/"' % data
            # Something else on the clipboard first, so a stale run log cannot pass.
            subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=b"before",
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)
            env = scratch_home(folder)
            run = subprocess.run([program, argument], timeout=90, cwd=folder, env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            if run.returncode != 0:
                print("zarn ended with", run.returncode, run.stderr)
                return 1
            # The process has ended; the clipboard must still answer.
            log = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                                 timeout=20, check=True).stdout.decode("utf-8")
            saved = None
            if manager:
                ready, _, _ = select.select([manager.stdout], [], [], 10)
                line = manager.stdout.readline() if ready else ""
                if line.startswith("saved "):
                    saved = bytes.fromhex(line.split()[1]).decode("utf-8")
        finally:
            for p in (service, manager):
                if p:
                    p.kill()
            service_log = service.communicate()[1]
            if manager:
                manager.wait()
        lines = log.split("\r\n")
        failures = []

        def expect(ok, what):
            if not ok:
                failures.append(what)

        expect(lines[0].startswith("ZARN last run: "), "first line is the start line")
        expect(lines[-1].startswith("ZARN end: "), "last line is the end line, without a line end")
        expect(lines[1:5] == ["Incoming data :" + argument, "Cleared data :" + data,
                              "Base64 decoded :" + request,
                              "URL decoded :" + request.replace("M%C3%BCller+K", "M\u00fcller K")],
               "the link as given, cut, and decoded into the service request")
        with open(script, "rb") as f:
            body = f.read().decode("utf-8")
        expect("\r\nService response :" + body + "..." + body + "\r\nZARN end: " in log,
               "the service's reply is logged")
        # The cache-buster: a number of its own in every run.
        expect(re.search(r"GET /print\?job=e2e&name=M%C3%BCller%20K&random=0\.\d+ ", service_log),
               "the request reached the service with its random parameter: " + service_log)
        if manager_program:
            expect(saved == log, "zarn handed the run log to the clipboard manager")
        expect(not os.path.exists(os.path.join(folder, "error_handler.txt")), "no error was trapped")
        if failures:
            print("run log:\n" + log)
            for f in failures:
                print("FAILED:", f)
            return 1
        print(log)
        return 0


if __name__ == "__main__":
    sys.exit(main())
