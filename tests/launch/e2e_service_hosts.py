#!/usr/bin/env python3
"""End to end: the real zarn with service hosts on the third zarn.ini line,
or, without one, the user's answers to "Allow print jobs from HOST?".

Two loopback servers count the requests they get: the service, whose script
downloads a file with GF from the other. Each case starts the real program
with a real link under a temporary HOME, presses Return on every "zarn" box
(OK, Keep refusing, or This time on the question), and checks who was asked, whether the
file came, the run log on the clipboard, the answers file and that no error
was trapped.

usage: e2e_service_hosts.py <zarn program>
Exit 77 (skipped) when there is no X display."""
import os
import shutil
import subprocess
import sys
import tempfile
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e import LoopbackService, answer_boxes, handler_argument  # noqa: E402

SKIP = 77
CASE_SECONDS = 30
PICTURE = b"not really a picture\n" * 10


class Counting(LoopbackService):
    content_type = "text/plain; charset=utf-8"
    script = b""

    def answer(self, path):
        return self.script or PICTURE


def main():
    zarn = sys.argv[1]
    if not os.environ.get("DISPLAY"):
        print("no X display: skipped")
        return SKIP
    service, other = Counting(), Counting()
    sp, op = service.server_address[1], other.server_address[1]
    refusal = "MESSAGE :Host 127.0.0.1:%d is not among the service hosts of zarn.ini; it was not asked.\r\n"
    denied = "MESSAGE :Print jobs from localhost are refused (%s); it was not asked.\r\n"
    # name, third settings line (None: a two-line file), the user's answers
    # file (None: none yet), service asked, other asked, file written, the
    # line the run log must hold (None: no refusal), boxes pressed (Return:
    # OK, or This time on the question)
    cases = [
        ("another host only", "printing.example.com", None, 0, 0, False, refusal % sp, 1),
        ("service allowed, download host not", "printing.example.com 127.0.0.1:%d" % sp, None, 1, 0, False,
         refusal % op, 1),
        ("two-line file, host answered Always", None, "allow 127.0.0.1\n", 1, 1, True, None, 0),
        ("two-line file, host not answered yet", None, None, 1, 1, True, None, 1),
        ("two-line file, host answered Never", None, "allow example.com\ndeny 127.0.0.1\n", 0, 0, False, denied, 1),
        ("both allowed", "127.0.0.1:%d\t127.0.0.1:%d" % (sp, op), "deny 127.0.0.1\n", 1, 1, True, None, 0),
    ]
    failures = []
    with tempfile.TemporaryDirectory(prefix="zarn-hosts-") as top:
        for name, hosts, answers, service_asked, other_asked, written, message, boxes in cases:
            folder = tempfile.mkdtemp(dir=top)
            home = os.path.join(folder, "home")
            os.makedirs(home)
            program = os.path.join(folder, "zarn")
            shutil.copy(zarn, program)
            settings = "0\r\n%s\r\n" % os.path.join(folder, "pdf")
            if hosts is not None:
                settings += hosts + "\r\n"
            with open(os.path.join(folder, "zarn.ini"), "wb") as f:
                f.write(settings.encode())
            answers_file = os.path.join(home, ".config", "zarn", "service-hosts")
            if answers is not None:
                os.makedirs(os.path.dirname(answers_file))
                with open(answers_file, "w") as f:
                    f.write(answers)
            if message == denied:
                message = denied % answers_file
            target = os.path.join(folder, "picture.png")
            service.script = ("GF|http://127.0.0.1:%d/picture.png|%s\r\nMRG|10|10\r\n" % (op, target)).encode()
            service.count = other.count = 0
            link = handler_argument("127.0.0.1:%d/print?job=x" % sp)
            env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
            env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), XDG_RUNTIME_DIR=home,
                       XDG_CACHE_HOME=os.path.join(home, ".cache"), LC_ALL="C.UTF-8")
            subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=b"before", check=True)
            proc = subprocess.Popen([program, link], env=env, cwd=folder, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            pressed = answer_boxes([proc], [["Return"]], CASE_SECONDS)
            log = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                                 timeout=20).stdout.decode("utf-8", "replace")
            got = {
                "exit": proc.returncode,
                "asked": (service.count, other.count),
                "file": os.path.exists(target),
                "boxes": pressed,
                "refusal logged": message is not None and message in log,
                "answers kept": open(answers_file).read() if os.path.exists(answers_file) else None,
                "run log ends": log.split("\r\n")[-1].startswith("ZARN end: "),
                "error log": os.path.exists(os.path.join(folder, "error_handler.txt")),
            }
            want = {
                "exit": 0,
                "asked": (service_asked, other_asked),
                "file": written,
                "boxes": boxes,
                "refusal logged": message is not None,
                # This time is not remembered; the file is only read.
                "answers kept": answers,
                "run log ends": True,
                "error log": False,
            }
            bad = [k for k in want if got[k] != want[k]]
            print("%-36s %s" % (name, "ok" if not bad else "FAILED " + ", ".join(
                "%s: %r, not %r" % (k, got[k], want[k]) for k in bad)))
            if bad:
                failures.append(name)
                print(log)
    for server in (service, other):
        server.shutdown()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
