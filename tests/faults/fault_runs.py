#!/usr/bin/env python3
"""The real zarn against a misbehaving print service and broken PDF folders.

Each case copies the program into a fresh folder with its zarn.ini, starts it
with a real "zarn://" link under a temporary HOME, answers every error dialog
on the real window with key presses (the error log line is written before the
dialog shows, so each new line means one dialog to answer), and kills it when
it does not end in time. Then it checks the exit, the error log, the run log on
the clipboard and that files which existed before are byte for byte intact.

usage: fault_runs.py <zarn program>
Exit 77 (skipped) when there is no X display."""
import datetime
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from fault_service import FaultService, refused_port  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e import answer_box, handler_argument, zarn_boxes  # noqa: E402
from service_answers import allow_loopback_service  # noqa: E402

SKIP = 77
CASE_SECONDS = 20
# All cases together, below the test's own time-out, so that the driver and not
# the test runner ends a hanging client (the runner would not reach its group).
TOTAL_SECONDS = 95
DEADLINE = time.monotonic() + TOTAL_SECONDS
# Abort is the default button; Ignore is two tabs on (after Retry).
KEYS = {"abort": ["alt+a"], "ignore": ["alt+i"]}
# Cases that press Ctrl+C (SIGINT) in their open boxes instead of answering:
# the script's message box, then the trap's own box that it brings.
INTERRUPTS = {"Ctrl+C in open boxes": 2}
OLD_BYTES = b"%PDF-1.4\n% an earlier document that must survive\n" + bytes(range(256)) * 8
# Mount tricks need root (and a kernel that lets it make a mount namespace).
AS_ROOT = os.geteuid() == 0 and subprocess.run(["unshare", "--mount", "true"], capture_output=True).returncode == 0


def text_pages(pages, lines):
    """A job of many pages of distinct text: far more PDF than a small disk holds."""
    out = ["PDFNAME|old", "SD|P|A4|1"]
    for p in range(pages):
        for i in range(lines):
            out.append("PT|1000|%d|Page %d line %d: %s|9000|0|L|0" % (1000 + 300 * i, p, i, "%08x" % (p * 7919 + i) * 6))
        out.append("NP")
    out.append("ED")
    return ("\r\n".join(out) + "\r\n").encode()


ONE_PAGE = b"PDFNAME|old\r\nSD|P|A4|1\r\nPT|1000|1000|A page for the PDF copy|5000|0|L|0\r\nED\r\n"

# name; what is asked for (a path on the service, "refused" for a port nobody
# listens on, "gf:..." for a script whose GF download is refused or cut short,
# or the script itself); the PDF folder trick (or None); the answers
# to give in order (the last repeats), the location the first error log line
# must name (None: no error expected), whether the run must end normally
# (run log on the clipboard).
CASES = [
    ("reply cut mid-body", "/cut/5000", None, ["ignore"], "zarn.mWEB.GetURL", True),
    ("service refuses", "refused", None, ["abort"], "zarn.mWEB.GetURL", False),
    ("reply of 100 MB", "/big/100", None, ["ignore"], "zarn.mWEB.GetURL", True),
    ("Ctrl+C in open boxes", b"MSGBOX|zarn|first|\r\nMRG|10|10\r\n", None, ["ignore"],
     "zarn.mPRINTSCRIPT.ExecutePrintScript", True),
    ("GF refused", "gf:refused", None, [], None, True),
    ("GF cut short", "gf:cut", None, [], None, True),
    ("PDF folder not writable", ONE_PAGE, "readonly", ["ignore"], "zarn.mPRINTSCRIPT.StartDoc", True),
    ("PDF folder a file", ONE_PAGE, "file", ["ignore"], "zarn.mPRINTSCRIPT.PDFPrinterOn", True),
    ("PDF disk full", text_pages(60, 40), "full", ["ignore"], "zarn.mPRINTSCRIPT.EndDoc", True),
]


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


def fresh_box(done, tries=100):
    """A visible box titled "zarn" (not the main window) not in done."""
    for _ in range(tries):
        fresh = [w for w in zarn_boxes() if w not in done]
        if fresh:
            return fresh[-1]
        time.sleep(0.1)
    return None


def answer_dialog(keys, done):
    """Focuses the trap's box and types keys; a box answered before (in done)
    is not taken again. False when no new box shows within a few seconds."""
    window = fresh_box(done)
    if window is None:
        return False
    answer_box(window, keys)
    done.add(window)
    return True


def interrupt_box(proc, done, tries=100):
    """Sends Ctrl+C's signal while a new box is open; False when none shows."""
    window = fresh_box(done, tries)
    if window is None:
        return False
    os.kill(proc.pid, signal.SIGINT)
    done.add(window)
    return True


def run_program(command, env, log_path, answers, cwd, interrupts=0):
    """Runs until the end, answering one dialog per new error log line. Returns
    (exit code or None when killed, seconds, peak RSS in KiB, dialogs answered)."""
    start = time.monotonic()
    proc = subprocess.Popen(command, env=env, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    answered = 0
    windows = set()
    try:
        while True:
            pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
            if pid:
                proc.returncode = os.waitstatus_to_exitcode(status)
                return proc.returncode, time.monotonic() - start, usage.ru_maxrss, answered
            if time.monotonic() - start > CASE_SECONDS or time.monotonic() > DEADLINE:
                return None, time.monotonic() - start, 0, answered
            lines = (read(log_path) or b"").count(b"\r\n")
            if interrupts and lines == answered == 0:
                # The script's own box, before any error.
                interrupts -= interrupt_box(proc, windows, tries=1)
            elif interrupts and lines > answered:
                if interrupt_box(proc, windows):
                    interrupts -= 1
                    answered += 1
            elif lines > answered:
                choice = answers[min(answered, len(answers) - 1)] if answers else "abort"
                if answer_dialog(KEYS[choice], windows):
                    answered += 1
            time.sleep(0.05)
    finally:
        if proc.returncode is None:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.wait()


def clipboard():
    r = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, timeout=10)
    return r.stdout.decode("utf-8", "replace") if r.returncode == 0 else ""


def release_clipboard():
    """Leaves the clipboard with no owner, so that no run log of ours is still
    served when the next test takes the clipboard: an xclip in the foreground
    takes it over from the last helper and is then ended."""
    owner = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"], stdin=subprocess.PIPE,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    owner.stdin.close()
    for _ in range(50):
        if clipboard() == "":
            break
        time.sleep(0.1)
    owner.terminate()
    owner.wait()


def run_case(case, zarn, service, top):
    name, served, pdf_trick, answers, location, normal_end = case
    folder = tempfile.mkdtemp(prefix="case-", dir=top)
    home = os.path.join(folder, "home")
    os.makedirs(home)
    program = os.path.join(folder, "zarn")
    shutil.copy(zarn, program)
    log_path = os.path.join(folder, "error_handler.txt")
    keep = {}  # files that existed before the run and must stay as they were
    checks = []

    pdf_folder = os.path.join(folder, "pdf")
    day = datetime.datetime.now().strftime("%Y%m%d")
    wrap = []
    if pdf_trick:
        write(os.path.join(folder, "zarn.ini"), ("1\r\n%s\r\n" % pdf_folder).encode())
    else:
        write(os.path.join(folder, "zarn.ini"), b"0\r\n\r\n")
    if pdf_trick == "file":
        # A file where the PDF folder should be: the day folder cannot be made below it.
        write(pdf_folder, OLD_BYTES)
        keep[pdf_folder] = OLD_BYTES
    elif pdf_trick in ("readonly", "full"):
        old = os.path.join(pdf_folder, day, "old.pdf")
        os.makedirs(os.path.dirname(old))
        write(old, OLD_BYTES)
        keep[old] = OLD_BYTES
        if pdf_trick == "readonly" and AS_ROOT:
            # root writes through chmod 500; a read-only bind mount stops it.
            wrap = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                    'mount --bind "$0" "$0" && mount -o remount,bind,ro "$0" && exec "$@"', os.path.dirname(old)]
        elif pdf_trick == "readonly":
            os.chmod(os.path.dirname(old), 0o500)
        elif AS_ROOT:
            # A 64 KiB disk holding the old file; copied out afterwards, since
            # the disk goes with the mount namespace.
            wrap = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                    'd=$0; s=$d.after; mv "$d" "$s" && mkdir "$d" && mount -t tmpfs -o size=64k zarn "$d" '
                    '&& cp -a "$s/." "$d/" && rm -rf "$s" || exit 99; "$@"; rc=$?; cp -a "$d" "$s"; exit $rc',
                    pdf_folder]
        else:
            # Without root: a file size limit; the client itself ignores SIGXFSZ,
            # so its writes past the limit fail with EFBIG.
            wrap = ["prlimit", "--fsize=65536", "--"]

    served_before = served
    if served == "refused":
        request = "127.0.0.1:%d/print?job=x" % refused_port()
    elif isinstance(served, str) and served.startswith("/"):
        request = service.url(served + "?job=x")
    else:
        if served in ("gf:refused", "gf:cut"):
            source = ("http://127.0.0.1:%d/picture.png" % refused_port() if served == "gf:refused"
                      else "http://" + service.url("/cut/50000"))
            target = os.path.join(folder, "picture.png")
            write(target, OLD_BYTES)
            keep[target] = OLD_BYTES
            served = ("GF|%s|%s\r\nMRG|10|10\r\n" % (source, target)).encode()
        key = os.path.basename(folder)
        service.scripts[key] = served
        request = service.url("/script/%s?job=x" % key)
    link = handler_argument(request)

    allow_loopback_service(home)
    env = {k: v for k, v in os.environ.items() if not k.startswith("XDG_")}
    env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"), XDG_CACHE_HOME=os.path.join(home, ".cache"),
               XDG_DATA_HOME=os.path.join(home, ".local/share"), XDG_RUNTIME_DIR=home, LC_ALL="C.UTF-8")
    env.pop("QT_QPA_PLATFORM", None)
    subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=b"before", stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    code, seconds, rss, answered = run_program(wrap + [program, link], env, log_path, answers, folder,
                                               INTERRUPTS.get(name, 0))
    if pdf_trick == "full" and AS_ROOT and os.path.isdir(pdf_folder + ".after"):
        shutil.rmtree(pdf_folder)
        os.rename(pdf_folder + ".after", pdf_folder)
    if pdf_trick == "readonly" and not AS_ROOT:
        os.chmod(os.path.dirname(old), 0o700)

    log_lines = [l for l in (read(log_path) or b"").decode("utf-8", "replace").split("\r\n") if l]
    ended = 0 if normal_end else 3  # Abort's exit status
    run_log = clipboard() if code == ended else ""
    intact = all(read(path) == data for path, data in keep.items())
    checks.append((code is not None, "ended within %d s" % CASE_SECONDS))
    checks.append((code == ended, "exit code %d (got %s)" % (ended, code)))
    if location:
        checks.append((bool(log_lines) and location in log_lines[0], "error log names " + location))
        checks.append((answered == len(log_lines), "one dialog per error log line"))
    else:
        checks.append((not log_lines, "no error logged"))
    if normal_end:
        checks.append((run_log.startswith("ZARN last run: ") and "\r\nZARN end: " in run_log,
                       "run log on the clipboard"))
    elif code == ended:
        checks.append((run_log == "before", "abort leaves the clipboard alone"))
    if pdf_trick and (AS_ROOT or pdf_trick != "full"):
        documents = os.path.join(home, "Documents")
        checks.append((os.path.isdir(documents) and any(f.endswith(".pdf") for f in os.listdir(documents)),
                       "the printer run printed (on the PDF writer, into the documents folder)"))
    if served_before == "gf:cut":
        checks.append((any(r.startswith("/cut/50000") for r in service.requests), "the download was tried"))
    checks.append((intact, "earlier files intact"))
    # A failed write must not leave its temporary file behind (on a full disk, least of all).
    for path in keep:
        around = os.path.dirname(path)
        stray = [f for f in os.listdir(around) if f.startswith(os.path.basename(path)) and f != os.path.basename(path)]
        stray += [f for f in os.listdir(around) if f.endswith(".pdf") and os.path.join(around, f) not in keep]
        checks.append((not stray, "nothing left beside %s: %s" % (os.path.basename(path), stray)))
    if served == "/big/100":
        checks.append((bool(log_lines) and "larger than 64 MB" in log_lines[0], "the reply was cut at 64 MB"))
    if name in INTERRUPTS:
        control_c = [l for l in log_lines if "65535\tException: Control C Exit" in l]
        checks.append((len(control_c) == INTERRUPTS[name] == len(log_lines), "each Ctrl+C trapped as 65535"))
    failed = [what for ok, what in checks if not ok]
    summary = "%-24s exit %-4s %5.1f s  peak RSS %4d MiB  intact %-3s log: %s" % (
        name, code, seconds, rss // 1024, "yes" if intact else "no",
        (log_lines[0].split("\t", 1)[0].split("- ", 1)[-1] + " | " + log_lines[0].split("\t")[1] +
         " | " + log_lines[0].split("Location: ")[-1]) if log_lines else "-")
    return summary, failed, log_lines


def main():
    zarn = sys.argv[1]
    if not os.environ.get("DISPLAY"):
        print("no X display: skipped")
        return SKIP
    # Ended from outside: the finally blocks still kill the client.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    service = FaultService()
    failures = 0
    with tempfile.TemporaryDirectory(prefix="zarn-faults-") as top:
        try:
            for case in CASES:
                summary, failed, log_lines = run_case(case, zarn, service, top)
                print(summary, flush=True)
                for line in log_lines[1:]:
                    print("    also logged:", line.split("Location: ")[-1], "|", line.split("\t")[1])
                for what in failed:
                    print("    FAILED:", what)
                failures += bool(failed)
        finally:
            service.stop()
            release_clipboard()
    print("%d passed, %d failed" % (len(CASES) - failures, failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
