#!/usr/bin/env python3
"""End to end: the real zarn against a hostile print service on loopback.

Each case runs the real program from a copy in a fresh folder, under a
temporary HOME whose answers file allows the loopback service, and checks
what a hostile script could do before: write outside the program folder,
through a symbolic link or over the program's own files, copy local files,
keep the user in a flood of message boxes, or lose a PDF copy to another job
started in the same second.

usage: e2e_hostile.py <zarn program>
Exit 77 (skipped) when there is no X display."""
import datetime
import glob
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e import LoopbackService, answer_box, answer_boxes, handler_argument, zarn_boxes  # noqa: E402
from service_answers import allow_loopback_service  # noqa: E402

SKIP = 77
CASE_SECONDS = 40
PAYLOAD = b"planted by a hostile service\n"


class Service(LoopbackService):
    def __init__(self, png):
        super().__init__()
        self.script = b""
        self.png = png

    def answer(self, path):
        return self.script if path.startswith("/print") else self.png if path.startswith("/logo.png") else PAYLOAD


class Desk:
    """A program folder with the installed program's files, and a home."""

    def __init__(self, top, zarn, pdf_copy=False, home=None):
        self.folder = tempfile.mkdtemp(dir=top)
        self.home = home or os.path.join(self.folder, "home")
        allow_loopback_service(self.home)
        self.program = os.path.join(self.folder, "zarn")
        shutil.copy(zarn, self.program)
        self.pdf = os.path.join(self.folder, "pdf")
        os.makedirs(self.pdf)
        self.own = {}
        for name, data in (("zarn.ini", b"%d\r\n%s\r\n" % (pdf_copy, self.pdf.encode())),
                           ("zarn-link", b"#!/bin/sh\nexec ./zarn \"\\\"$1/\\\"\"\n")):
            with open(os.path.join(self.folder, name), "wb") as f:
                f.write(data)
        # What the install puts there besides: the uninstall list and the example settings.
        for name, data in ((".installed-files", b"%s\n" % self.program.encode()), ("zarn.ini.example", b"1\r\npdf\r\n")):
            with open(os.path.join(self.folder, name), "wb") as f:
                f.write(data)
        for name in ("zarn", "zarn.ini", "zarn-link", ".installed-files", "zarn.ini.example"):
            self.own[name] = digest(os.path.join(self.folder, name))

    def start(self, port, cwd=None):
        link = handler_argument("127.0.0.1:%d/print?job=x" % port)
        env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
        env.update(HOME=self.home, XDG_CONFIG_HOME=os.path.join(self.home, ".config"), XDG_RUNTIME_DIR=self.home,
                   XDG_CACHE_HOME=os.path.join(self.home, ".cache"), LC_ALL="C.UTF-8",
                   CUPS_SERVER=os.path.join(self.folder, "no-cups.sock"))
        env.pop("QT_QPA_PLATFORM", None)
        return subprocess.Popen([self.program, link], env=env, cwd=cwd or self.folder, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def own_files_intact(self):
        return all(digest(os.path.join(self.folder, n)) == d for n, d in self.own.items())

    def path(self, *names):
        return os.path.join(self.folder, *names)


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def exists(path):
    return os.path.lexists(path)


def run_log():
    return subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                          timeout=20).stdout.decode("utf-8", "replace")


def pdfs(folder):
    return sorted(glob.glob(os.path.join(folder, "**", "*.pdf"), recursive=True))


def case_downloads(service, top, zarn):
    desk = Desk(top, zarn)
    home = desk.home
    victim = os.path.join(home, "victim.txt")
    with open(victim, "wb") as f:
        f.write(b"the user's own file\n")
    os.symlink(victim, desk.path("link.txt"))
    with open(desk.path("pdf", "old.pdf"), "wb") as f:  # a PDF copy filed before
        f.write(b"%PDF-1.4\n")
    desk.own["pdf/old.pdf"] = digest(desk.path("pdf", "old.pdf"))
    port = service.server_address[1]
    web = "http://127.0.0.1:%d/file" % port
    lines = [
        "GF|%s|%s" % (web, os.path.join(home, ".bashrc")),   # absolute: its name, in the program folder
        "GF|%s|..\\..\\evil.txt" % web,                      # "..": likewise
        "GF|%s|rel.txt" % web,                               # relative: the program folder, not the current one
        "GF|%s|link.txt" % web,                              # through a symbolic link: refused
        "GF|%s|zarn.ini" % web,                              # the program's own files: refused
        "GF|%s|zarn-link" % web,
        "GF|%s|zarn" % web,
        "GF|%s|.installed-files" % web,                      # what the install put there: refused
        "GF|%s|zarn.ini.example" % web,
        "GF|%s|pdf/old.pdf" % web,                           # below the PDF copy folder: refused
        "GF|file://%s|copied.txt" % victim,                  # local files: refused
        "GF|http://127.0.0.1:%d/logo.png|C:\\temp\\logo.png" % port,
        "SD|P|A4|1",
        "DI|C:\\temp\\logo.png|1000|1000|1440|1440",         # reads what that GF wrote
        "ED",
    ]
    service.script = ("\r\n".join(lines) + "\r\n").encode()
    proc = desk.start(port, cwd=home)  # started from the home folder
    answer_boxes([proc], [["Return"]], CASE_SECONDS)
    log = run_log()
    documents = pdfs(os.path.join(home, "Documents"))
    images = subprocess.run(["pdfimages", "-list", documents[0]], capture_output=True,
                            text=True).stdout.splitlines()[2:] if documents else []
    return {
        "exit": (proc.returncode, 0),
        "nothing written in the home folder": (
            [n for n in (".bashrc", "rel.txt", "copied.txt") if exists(os.path.join(home, n))], []),
        "nothing written above the program folder": (exists(os.path.join(os.path.dirname(desk.folder), "evil.txt")),
                                                     False),
        "written in the program folder": (
            [n for n in (".bashrc", "evil.txt", "rel.txt", "logo.png") if os.path.isfile(desk.path(n))],
            [".bashrc", "evil.txt", "rel.txt", "logo.png"]),
        "the linked file intact": (open(victim, "rb").read(), b"the user's own file\n"),
        "the program's own files intact": (desk.own_files_intact(), True),
        "no local file copied": (exists(desk.path("copied.txt")), False),
        "refusals in the run log": (log.count("MESSAGE :GF refused: "), 8),
        "the logo printed": (len(images), 1),
        "no error trapped": (exists(desk.path("error_handler.txt")), False),
    }


def case_stop_printing(service, top, zarn):
    desk = Desk(top, zarn, pdf_copy=True)
    service.script = b"SD|P|A4|1\r\nPT|1000|1000|a page that must not print|5000|0|L|0\r\n" + \
        b"".join(b"MSGBOX|zarn|box %d|\r\n" % i for i in range(1, 6)) + b"ED\r\n"
    proc = desk.start(service.server_address[1])
    # OK on the first two; the third offers "Stop printing" (Alt+S).
    answered = answer_boxes([proc], [["Return"], ["Return"], ["alt+s"]], CASE_SECONDS)
    log = run_log()
    return {
        "exit": (proc.returncode, 0),
        "boxes": (answered, 3),
        "stopped in the run log": (log.endswith("MESSAGE :Stopped by the user\r\nZARN end: " + log[-19:]), True),
        "nothing printed or copied": (pdfs(os.path.join(desk.home, "Documents")) + pdfs(desk.pdf), []),
        "no error trapped": (exists(desk.path("error_handler.txt")), False),
    }


def case_early_keys_and_escape(service, top, zarn):
    """The consent box ignores keys typed into it in its first second; Escape
    then refuses this once, remembered nowhere; --forget removes an answer."""
    desk = Desk(top, zarn)
    answers = os.path.join(desk.home, ".config", "zarn", "service-hosts")
    os.remove(answers)
    service.script = b"RPTFLD|#N#|\r\n\r\nRPTDT|x|\r\n"
    proc = desk.start(service.server_address[1])
    box, start = None, time.monotonic()
    while not box and time.monotonic() - start < CASE_SECONDS:
        box = next(iter(zarn_boxes()), None)
    if box:
        # What a user typing into a chat might send as the box comes up.
        answer_box(box, ["a", "t", "space", "Return"])
        time.sleep(0.2)
    still_open = bool(box) and box in zarn_boxes()
    answered = answer_boxes([proc], [["Escape"]], CASE_SECONDS)
    log = run_log()
    with open(answers, "w") as f:
        f.write("allow example.com\ndeny 127.0.0.1\n")
    env = dict(os.environ, HOME=desk.home, XDG_CONFIG_HOME=os.path.join(desk.home, ".config"))
    forget = subprocess.run([desk.program, "--forget", "0.0.0.0"], env=env, capture_output=True, text=True, timeout=20)
    return {
        "exit": (proc.returncode, 0),
        "the box ignored the early keys": (still_open, True),
        "then answered once, by Escape": (answered, 1),
        "nothing ran": ("MESSAGE :Repeat found" in log, False),
        "refused for this job only": ("MESSAGE :Print jobs from localhost were refused for this job" in log, True),
        "the forget": ((forget.returncode, open(answers).read()), (0, "allow example.com\n")),
    }


def case_same_second(service, top, zarn):
    home = os.path.join(top, "shared-home")
    desks = [Desk(top, zarn, pdf_copy=True, home=home) for _ in range(2)]
    for d in desks[1:]:
        d.pdf = desks[0].pdf  # one PDF folder for both, as on one desk
        with open(d.path("zarn.ini"), "wb") as f:
            f.write(b"1\r\n%s\r\n" % d.pdf.encode())
    service.script = b"SD|P|A4|1\r\nPT|1000|1000|one of two jobs|5000|0|L|0\r\nED\r\n"
    # Started together, at the start of a second, so that both stamp the same one.
    time.sleep(1.05 - datetime.datetime.now().microsecond / 1e6)
    procs = [d.start(service.server_address[1]) for d in desks]
    answer_boxes(procs, [["Return"]], CASE_SECONDS)
    copies, printed = pdfs(desks[0].pdf), pdfs(os.path.join(home, "Documents"))
    return {
        "exits": ([p.returncode for p in procs], [0, 0]),
        "two PDF copies": (len(copies), 2),
        "two printer runs on the PDF writer": (len(printed), 2),
        "every file a whole PDF": (all(open(p, "rb").read().rstrip().endswith(b"%%EOF")
                                       for p in copies + printed), True),
    }


def main():
    zarn = os.path.abspath(sys.argv[1])
    if not os.environ.get("DISPLAY"):
        print("no X display: skipped")
        return SKIP
    with tempfile.TemporaryDirectory(prefix="zarn-hostile-") as top:
        logo = os.path.join(top, "logo.png")
        subprocess.run(["convert", "-size", "16x16", "xc:red", logo], check=True)
        service = Service(open(logo, "rb").read())
        failures = 0
        cases = (("downloads", case_downloads), ("stop printing", case_stop_printing),
                 ("early keys and Escape", case_early_keys_and_escape), ("two jobs in one second", case_same_second))
        for name, case in cases:
            checks = case(service, top, zarn)
            bad = {k: v for k, v in checks.items() if v[0] != v[1]}
            print("%-24s %s" % (name, "ok" if not bad else "FAILED"))
            for what, (got, want) in bad.items():
                print("    %s: %r, not %r" % (what, got, want))
            failures += bool(bad)
        service.shutdown()
    print("%d passed, %d failed" % (len(cases) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
