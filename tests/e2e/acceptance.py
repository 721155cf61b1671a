#!/usr/bin/env python3
"""Acceptance: the real zarn, started with real "zarn://" links on a private
X display, against the sample print service on 127.0.0.1. Every run has a copy
of the program in a folder of its own (with its zarn.ini, error log and
downloads beside it), a temporary HOME with its XDG folders inside, and no
printer but zarn's own PDF writer, unless a case starts a private CUPS server.
What a person would look at is checked: the PDF files (poppler), the run log on
the clipboard after the program has ended, the error log, the dialogs on the
screen (answered with xdotool, read with OCR where tesseract is installed) and
the window itself.

usage: acceptance.py ZARN SOURCE_TREE VERSION [unittest options]
Exit 77 (skipped) when Xvfb or xdotool is missing."""
import base64
import http.server
import os
import random
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from service_answers import allow_loopback_service  # noqa: E402

ZARN = SOURCE = VERSION = None
SKIP = 77
DISPLAY = None
SCRATCH = None

# One error-log line: time, version, number, description, SQL, location, line.
LOG_LINE = re.compile(r"^\d\d/\d\d/\d{4} \d\d:\d\d:\d\d V(?P<version>[\d.]+)- Error (?P<number>-?\d+)"
                      r"\t(?P<description>[^\t]*)\tSQL:\tLocation: (?P<location>zarn\.\w+\.\w+)\tLine \d+$")
CANNOT_CONNECT = str(0x80070000 - 2**32 + 12029)  # the request object's "cannot connect"
TWIP = 1 / 20  # in PDF points


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def x(*command, **kw):
    """A desktop tool on the private display; its standard output."""
    return subprocess.run(command, env=dict(os.environ, DISPLAY=DISPLAY), capture_output=True, timeout=30,
                          **kw).stdout


# --- the desktop --------------------------------------------------------------

def windows(title):
    """Visible windows whose title is exactly this text."""
    out = x("xdotool", "search", "--onlyvisible", "--name", "^%s$" % re.escape(title)).decode()
    return [w for w in out.split() if w]


def wait_window(title, process, seconds=30):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = windows(title)
        if found:
            time.sleep(0.3)  # mapped; let it paint
            return found[0]
        if process.poll() is not None:
            return None
        time.sleep(0.1)
    return None


def press(*keys):
    for key in keys:
        x("xdotool", "key", key)
        time.sleep(0.15)


# The trap's box: Abort is the default button; Shift+Tab walks left to
# Ignore, then Retry; space presses the button that has the focus.
ABORT = ("Return",)
IGNORE = ("shift+Tab", "space")
RETRY = ("shift+Tab", "shift+Tab", "space")


def geometry(window):
    out = x("xdotool", "getwindowgeometry", "--shell", window).decode()
    return {k: int(v) for k, v in (line.split("=") for line in out.split()) if k in ("X", "Y", "WIDTH", "HEIGHT")}


def screen_text(folder, name, box=None, scale=4):
    """What OCR reads on the screen (or in a box of it); None without tesseract."""
    if not shutil.which("tesseract"):
        return None
    shot = os.path.join(folder, name + ".png")
    x("import", "-window", "root", shot)
    crop = ["-crop", "%(WIDTH)dx%(HEIGHT)d+%(X)d+%(Y)d" % box, "+repage"] if box else []
    big = os.path.join(folder, name + "-ocr.png")
    subprocess.run(["convert", shot] + crop + ["-resize", "%d%%" % (scale * 100), "-colorspace", "Gray", big],
                   check=True, timeout=30)
    return subprocess.run(["tesseract", big, "-", "--psm", "6"], capture_output=True, text=True, timeout=60).stdout


def clipboard():
    return x("xclip", "-o", "-selection", "clipboard").decode("utf-8", "replace")


def set_clipboard(text):
    subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=text.encode(), check=True, timeout=10,
                   env=dict(os.environ, DISPLAY=DISPLAY), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# --- services -------------------------------------------------------------------

class SampleService:
    """examples/sample_service.py serving the examples folder (or one script)."""

    def __init__(self, source=None, requests=10, port=0):
        self.process = subprocess.Popen(
            [sys.executable, os.path.join(SOURCE, "examples", "sample_service.py"),
             source or os.path.join(SOURCE, "examples"), "--requests", str(requests), "--seconds", "120",
             "--port", str(port)], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("port "):
            raise RuntimeError("the sample service did not start: " + self.process.stderr.read())
        self.port = int(line.split()[1])

    def stop(self):
        self.process.kill()
        return self.process.communicate()[1]


class Reply:
    """A service of this test on 127.0.0.1 that answers every GET with one body."""

    def __init__(self, body, kind="text/plain; charset=utf-8"):
        paths = self.paths = []  # every request's path and query, in order

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                paths.append(self.path)
                self.send_response(200)
                self.send_header("Content-Type", kind)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *a):
                pass

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.server.server_address[1]
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def stop(self):
        self.server.shutdown()
        self.server.server_close()


def desktop_locale(env, name, **categories):
    """env as a desktop in locale `name` (e.g. "de_DE.UTF-8") starts programs:
    LC_ALL set, or, with categories (LC_PAPER="en_US.UTF-8"), LANG and those.
    The C library's data for a locale the system lacks is built into the
    scratch folder (localedef, from the "locales" package's sources)."""
    env = {k: v for k, v in env.items() if not k.startswith("LC_") and k not in ("LANG", "LANGUAGE")}
    folder = os.path.join(SCRATCH, "locales")
    for wanted in {name, *categories.values()}:
        if wanted.startswith("C") or wanted.replace("UTF-8", "utf8") in subprocess.run(
                ["locale", "-a"], capture_output=True, text=True).stdout.split():
            continue
        base, charset = wanted.split(".")
        target = os.path.join(folder, wanted)
        if not os.path.isdir(target):
            os.makedirs(folder, exist_ok=True)
            subprocess.run(["localedef", "-c", "-i", base, "-f", charset, target], capture_output=True, timeout=120)
        env["LOCPATH"] = folder
    if categories:
        env["LANG"] = name
        env.update(categories)
    else:
        env["LC_ALL"] = name
    return env


def link(request):
    """The link a web page opens: the URI-escaped request, Base64-encoded."""
    return "zarn://" + base64.b64encode(request.encode()).decode()


def handed_over(url):
    """The argument the link handler passes: quote, link, "/", quote."""
    return '"%s/"' % url


# --- one run of the program ------------------------------------------------------

class Run:
    """A fresh program folder and home; start() runs zarn there with one argument."""

    def __init__(self, case, settings=None, cups=None):
        self.root = tempfile.mkdtemp(prefix=case + "-", dir=SCRATCH)
        self.app = os.path.join(self.root, "app")
        self.home = os.path.join(self.root, "home")
        self.documents = os.path.join(self.home, "Documents")
        for folder in (self.app, self.documents, os.path.join(self.home, ".config"),
                       os.path.join(self.home, ".local", "share"), os.path.join(self.home, ".cache")):
            os.makedirs(folder)
        os.makedirs(os.path.join(self.home, "runtime"), mode=0o700)
        allow_loopback_service(self.home)
        self.program = os.path.join(self.app, "zarn")
        shutil.copy(ZARN, self.program)
        self.pdf_folder = os.path.join(self.app, "pdf")
        if settings is not None:
            os.makedirs(self.pdf_folder)
            with open(os.path.join(self.app, "zarn.ini"), "wb") as f:
                f.write(b"%s\r\n%s\r\n" % (settings.encode(), self.pdf_folder.encode()))
        env = {k: v for k, v in os.environ.items()
               if k not in ("PRINTER", "LPDEST", "QT_QPA_PLATFORM", "XDG_CURRENT_DESKTOP", "DESKTOP_SESSION",
                            "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER")}
        env.update(HOME=self.home, DISPLAY=DISPLAY, XDG_CONFIG_HOME=os.path.join(self.home, ".config"),
                   XDG_DATA_HOME=os.path.join(self.home, ".local", "share"),
                   XDG_CACHE_HOME=os.path.join(self.home, ".cache"),
                   XDG_RUNTIME_DIR=os.path.join(self.home, "runtime"),
                   # No printer of the machine: only a private CUPS server, or none.
                   CUPS_SERVER=cups or os.path.join(self.root, "no-cups.sock"))
        self.env = env
        self.process = None
        self.returncode = None
        self.hung = False

    def start(self, argument):
        set_clipboard("before the run")  # a stale run log cannot pass
        self.started = time.time()
        args = [self.program] + ([argument] if argument is not None else [])
        # In the program's folder, as the link handler starts it.
        self.process = subprocess.Popen(args, cwd=self.app, env=self.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.PIPE)
        return self

    def wait(self, seconds=60):
        try:
            self.process.wait(seconds)
        except subprocess.TimeoutExpired:
            self.hung = True
            self.process.kill()
            self.process.wait()
        self.stderr = self.process.communicate()[1].decode("utf-8", "replace")
        self.returncode = self.process.returncode
        return self

    def run(self, argument, seconds=60, answer=IGNORE):
        """Starts, answers every error box with `answer` until the program ends."""
        self.start(argument)
        self.answered = 0
        deadline = time.monotonic() + seconds
        while self.process.poll() is None and time.monotonic() < deadline:
            box = windows("zarn")
            if box:
                time.sleep(0.3)
                press(*answer)
                self.answered += 1
                for _ in range(50):  # gone before the next one is looked for
                    if box[0] not in windows("zarn"):
                        break
                    time.sleep(0.1)
            time.sleep(0.1)
        return self.wait(max(1, deadline - time.monotonic()))

    # What the run left behind.
    def run_log(self):
        return clipboard()

    def error_log(self):
        path = os.path.join(self.app, "error_handler.txt")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            data = f.read().decode("utf-8")
        assert data.endswith("\r\n"), "every error-log line ends with CR LF"
        return data[:-2].split("\r\n")

    def printed(self):
        """Documents the PDF writer filed as the printer run."""
        return sorted(os.path.join(self.documents, n) for n in os.listdir(self.documents) if n.endswith(".pdf"))

    def pdf_copies(self):
        found = []
        for base, _, names in os.walk(self.pdf_folder):
            found += [os.path.join(base, n) for n in names if n.endswith(".pdf")]
        return sorted(found)

    def day(self):
        return time.strftime("%Y%m%d", time.localtime(self.started))


# --- PDF files --------------------------------------------------------------------

def page_sizes(pdf):
    out = subprocess.run(["pdfinfo", "-f", "1", "-l", "9999", pdf], capture_output=True, text=True, check=True).stdout
    return [(float(w), float(h)) for w, h in re.findall(r"^Page\s+\d+ size:\s+([\d.]+) x ([\d.]+)", out, re.M)]


def words(pdf):
    """Every word with its page and box, in points from the page's top left."""
    out = subprocess.run(["pdftotext", "-bbox", pdf, "-"], capture_output=True, text=True, check=True).stdout
    found, page = [], 0
    for line in out.splitlines():
        if "<page " in line:
            page += 1
        m = re.search(r'xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>', line)
        if m:
            found.append((page, *map(float, m.groups()[:4]), m.group(5).replace("&amp;", "&")))
    return found


def word(pdf_words, text, nth=0):
    hits = [w for w in pdf_words if w[5] == text]
    return hits[nth] if len(hits) > nth else None


def layout_text(pdf):
    return subprocess.run(["pdftotext", "-layout", pdf, "-"], capture_output=True, text=True, check=True).stdout


class Acceptance(unittest.TestCase):
    def assertRunLog(self, log, argument, request, decoded):
        lines = log.split("\r\n")
        self.assertTrue(lines[0].startswith("ZARN last run: "), log[:200])
        self.assertEqual(lines[1:5], ["Incoming data :" + argument, "Cleared data :" + argument[8:-2],
                                      "Base64 decoded :" + request, "URL decoded :" + decoded])
        self.assertTrue(lines[5].startswith("Service response :"))
        self.assertRegex(lines[-1], r"^ZARN end: \d\d/\d\d/\d{4} \d\d:\d\d:\d\d$")
        return lines

    def assertEnded(self, run):
        self.assertFalse(run.hung, "zarn hung and was killed")
        self.assertEqual(run.returncode, 0, "zarn crashed or failed: " + run.stderr[-2000:])

    def assertNoMachineException(self, run):
        for line in run.error_log():
            self.assertNotIn("Error 65535", line, "a machine exception reached the trap")

    def assertTrapLine(self, run, location, number=None):
        lines = run.error_log()
        self.assertTrue(lines, "the trap wrote an error-log line")
        for line in lines:
            self.assertRegex(line, LOG_LINE)
        m = LOG_LINE.match(lines[0])
        self.assertEqual(m["version"], VERSION)
        self.assertEqual(m["location"], location)
        if number is not None:
            self.assertEqual(m["number"], number)
        return lines


# --- whole jobs through the sample service ----------------------------------------

class Jobs(Acceptance):
    def test_invoice_printed_and_copied_with_its_downloaded_logo_and_qr_code(self):
        service = SampleService()
        run = Run("invoice", settings="1")
        request = "127.0.0.1:%d/print?job=invoice&customer=M%%C3%%BCller%%20K" % service.port
        argument = handed_over(link(request))
        try:
            run.run(argument)
        finally:
            requests = service.stop()
        self.assertEnded(run)
        self.assertEqual(run.error_log(), [])
        lines = self.assertRunLog(run.run_log(), argument, request,
                                  request.replace("M%C3%BCller%20K", "M\u00fcller K"))
        self.assertRegex(requests, r"GET /print\?job=invoice&customer=M%C3%BCller%20K&random=0\.\d+ ")
        self.assertIn("GET /logo.png ", requests)
        with open(os.path.join(SOURCE, "examples", "logo.png"), "rb") as f, \
                open(os.path.join(run.app, "zarn-logo.png"), "rb") as g:
            self.assertEqual(f.read(), g.read(), "GF downloaded the logo beside the program")
        self.assertTrue(os.path.isfile(os.path.join(run.app, "qrcode.bmp")))
        self.assertIn("\r\nGF|http://127.0.0.1:%d/logo.png|zarn-logo.png\r\n" % service.port, "\r\n".join(lines[5:]),
                      "the service filled in its own address")

        # The printer run on the PDF writer, and the copy that zarn.ini asks for.
        printed = run.printed()
        self.assertEqual(len(printed), 1, printed)
        self.assertEqual(run.pdf_copies(), [os.path.join(run.pdf_folder, run.day(), "invoices", "invoice-2026-0042.pdf")])
        for pdf in printed + run.pdf_copies():
            with self.subTest(pdf=os.path.basename(pdf)):
                self.assertEqual(len(page_sizes(pdf)), 1)
                self.assertAlmostEqual(page_sizes(pdf)[0][0], 595.28, delta=0.5)  # A4
                self.assertAlmostEqual(page_sizes(pdf)[0][1], 841.89, delta=0.5)
                found = words(pdf)
                title = word(found, "INVOICE")
                self.assertIsNotNone(title)
                self.assertAlmostEqual(title[1], (720 + 1700) * TWIP, delta=2)  # margin + x
                total = word(found, "279.41")
                self.assertAlmostEqual(total[3], (720 + 8400 + 1866) * TWIP, delta=1.5)  # right-aligned
                self.assertIn("Hauptstraße 12, 10115 Berlin", layout_text(pdf))
                images = subprocess.run(["pdfimages", "-list", pdf], capture_output=True, text=True).stdout
                self.assertGreaterEqual(len(images.splitlines()) - 2, 2, "the logo and the QR code:\n" + images)
                picture = os.path.join(run.root, "page")
                subprocess.run(["pdftoppm", "-png", "-r", "150", "-singlefile", pdf, picture], check=True)
                qr = subprocess.run(["zbarimg", "-q", "--raw", picture + ".png"], capture_output=True, text=True)
                self.assertEqual(qr.stdout.strip(), "BCD 002 1 SCT 2026-0042 EUR279.41")

    def test_labels_from_a_repeat_block_on_one_sheet(self):
        service = SampleService()
        run = Run("labels")
        try:
            run.run(handed_over(link("127.0.0.1:%d/print?job=labels" % service.port)))
        finally:
            service.stop()
        self.assertEnded(run)
        log = run.run_log()
        self.assertIn("\r\nMESSAGE :Repeat found\r\n", log)
        self.assertEqual(log.count("MESSAGE :RepeatData are:'RPTDT|"), 8)
        self.assertEqual(run.pdf_copies(), [])
        printed = run.printed()
        self.assertEqual(len(printed), 1)
        self.assertEqual(len(page_sizes(printed[0])), 1)
        found = words(printed[0])
        anna, ben, chiara = word(found, "Anna"), word(found, "Ben"), word(found, "Chiara")
        self.assertAlmostEqual(anna[1], (560 + 250) * TWIP, delta=1.5)
        self.assertAlmostEqual(ben[1] - anna[1], 5393 * TWIP, delta=0.5)  # second column
        self.assertAlmostEqual(chiara[2] - anna[2], 2160 * TWIP, delta=0.5)  # second row
        self.assertIn("Label 8 of 8", layout_text(printed[0]))

    def test_pdf_only_report_goes_to_its_file_and_the_viewer_only(self):
        service = SampleService()
        run = Run("report", settings="1")
        # The desktop's PDF viewer: a stand-in that notes what it was asked to show.
        shown = os.path.join(run.root, "shown")
        viewer = os.path.join(run.root, "viewer.sh")
        with open(viewer, "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$@\" >> '%s'\n" % shown)
        os.chmod(viewer, 0o755)
        applications = os.path.join(run.home, ".local", "share", "applications")
        os.makedirs(applications)
        with open(os.path.join(applications, "test-viewer.desktop"), "w") as f:
            f.write("[Desktop Entry]\nType=Application\nName=viewer\nExec=%s %%f\nMimeType=application/pdf;\n" % viewer)
        with open(os.path.join(run.home, ".config", "mimeapps.list"), "w") as f:
            f.write("[Default Applications]\napplication/pdf=test-viewer.desktop\n")
        try:
            run.run(handed_over(link("127.0.0.1:%d/print?job=report" % service.port)))
        finally:
            service.stop()
        self.assertEnded(run)
        self.assertEqual(run.error_log(), [])
        report = os.path.join(run.pdf_folder, run.day(), "reports", "print-volume-2026-11.pdf")
        self.assertEqual(run.pdf_copies(), [report], "one PDF, no second copy")
        self.assertEqual(run.printed(), [], "nothing went to the printer")
        self.assertEqual(len(page_sizes(report)), 2, "the rows ran over onto a second page")
        found = words(report)
        self.assertEqual(word(found, "Print")[0], 1)
        self.assertEqual(word(found, "30/11/2026")[0], 2)
        self.assertEqual(word(found, "Total")[0], 2)
        for _ in range(50):
            if os.path.exists(shown):
                break
            time.sleep(0.1)
        with open(shown) as f:
            self.assertEqual(f.read().split(), [report], "ShowPDF yes opened the file in the desktop's viewer")

    def test_custom_paper_form(self):
        service = SampleService()
        run = Run("form")
        try:
            run.run(handed_over(link("127.0.0.1:%d/print?job=form" % service.port)))
        finally:
            service.stop()
        self.assertEnded(run)
        self.assertEqual(run.error_log(), [])
        log = run.run_log()
        self.assertIn("MESSAGE :PaperSize:'W=21, H=10, FormName=zarn delivery slip 21x10'\r\n", log)
        self.assertIn("MESSAGE :PaperSize: AddFormTrue\r\n", log)
        self.assertIn("MESSAGE :PaperSize: Form 'zarn delivery slip 21x10' width:21 CM , Height:10 CM\r\n", log)
        printed = run.printed()
        self.assertEqual(len(printed), 1)
        (w, h), = page_sizes(printed[0])
        self.assertAlmostEqual(w, 21 / 2.54 * 72, delta=0.5)
        self.assertAlmostEqual(h, 10 / 2.54 * 72, delta=0.5)
        self.assertIn("ZS 2026 0042 03", layout_text(printed[0]))
        # The user form is kept in the user's configuration folder.
        self.assertTrue(os.listdir(os.path.join(run.home, ".config", "zarn", "forms")))

    def test_link_opened_by_the_desktop_starts_the_installed_program(self):
        if not shutil.which("xdg-open"):
            self.skipTest("xdg-open is not installed")
        run = Run("desktop")
        subprocess.run(["bash", os.path.join(SOURCE, "scripts", "install.sh")], check=True, timeout=120,
                       env=dict(run.env, ZARN_BUILD=os.path.dirname(ZARN)), stdout=subprocess.DEVNULL)
        installed = os.path.join(run.home, ".local", "share", "zarn")
        service = SampleService()
        url = link("127.0.0.1:%d/print?job=invoice" % service.port)
        set_clipboard("before the run")
        try:
            # As a browser hands a clicked link to the desktop.
            opened = subprocess.run(["xdg-open", url], env=run.env, timeout=60, capture_output=True, text=True)
        finally:
            service.stop()
        self.assertEqual(opened.returncode, 0, opened.stderr)
        lines = run.run_log().split("\r\n")
        self.assertEqual(lines[1], "Incoming data :" + handed_over(url), "the handler's quote, link, /, quote")
        self.assertTrue(lines[-1].startswith("ZARN end: "))
        self.assertTrue(os.path.isfile(os.path.join(installed, "zarn-logo.png")), "GF saved beside the program")
        printed = run.printed()
        self.assertEqual(len(printed), 1)
        self.assertIn("279.41", layout_text(printed[0]))

    def test_cups_queue_gets_the_printer_run(self):
        script = os.path.join(SOURCE, "tests", "linux", "cups_server.sh")
        cups = tempfile.mkdtemp(prefix="cups-", dir="/tmp")  # short: it holds the socket
        try:
            started = subprocess.run(["bash", script, "start", cups, str(free_port())], capture_output=True,
                                     text=True, timeout=60)
            if started.returncode == SKIP:
                self.skipTest("cupsd cannot run here: " + started.stderr)
            self.assertEqual(started.returncode, 0, started.stderr)
            service = SampleService()
            run = Run("cups", settings="1", cups=os.path.join(cups, "cups.sock"))
            try:
                run.run(handed_over(link("127.0.0.1:%d/print?job=invoice" % service.port)))
            finally:
                service.stop()
            self.assertEnded(run)
            self.assertEqual(run.error_log(), [])
            spooled = os.path.join(cups, "out", "zarn-test.prn")
            env = dict(os.environ, CUPS_SERVER=os.path.join(cups, "cups.sock"))
            for _ in range(300):
                pending = subprocess.run(["lpstat", "-W", "not-completed", "-o", "zarn-test"], env=env,
                                         capture_output=True, text=True).stdout.strip()
                if not pending and os.path.exists(spooled) and os.path.getsize(spooled) > 0:
                    break
                time.sleep(0.1)
            self.assertEqual(len(page_sizes(spooled)), 1)
            self.assertIn("279.41", layout_text(spooled))
            # The queue names the job by the script's PDF name, not just "zarn".
            with open(os.path.join(cups, "log", "page_log")) as f:
                self.assertIn(" invoice-2026-0042 ", f.read())
            self.assertEqual(run.printed(), [], "the CUPS default printer took the printer run")
            self.assertEqual(len(run.pdf_copies()), 1)
        finally:
            subprocess.run(["bash", script, "stop", cups], timeout=30)
            shutil.rmtree(cups, ignore_errors=True)

    def test_each_printer_starts_on_its_own_paper(self):
        script = os.path.join(SOURCE, "tests", "linux", "cups_server.sh")
        cups = tempfile.mkdtemp(prefix="cups-", dir="/tmp")  # short: it holds the socket
        body = (b"PT|100|100|first|0|0|L|0\r\nED\r\n"  # no SD, on the default printer
                b"DEV|zarn-legal\r\nPT|100|100|second|0|0|L|0\r\nED\r\n"
                b"SD|P|Letter|1\r\nPT|100|100|third|0|0|L|0\r\nED\r\n"  # a paper SD leaves as it is
                b"DEV|zarn-letter\r\nSD|P|a4|1\r\nPT|100|100|fourth|0|0|L|0\r\nED\r\n"
                b"SD|L|A5|2\r\nPT|100|100|fifth|0|0|L|0\r\nED\r\n")
        letter, legal, a5 = (612, 792), (612, 1008), (419.53, 595.28)
        reply = Reply(body)
        try:
            started = subprocess.run(["bash", script, "start", cups, str(free_port()), "zarn-letter=Letter",
                                      "zarn-legal=Legal"], capture_output=True, text=True, timeout=60)
            if started.returncode == SKIP:
                self.skipTest("cupsd cannot run here: " + started.stderr)
            self.assertEqual(started.returncode, 0, started.stderr)
            run = Run("paper", cups=os.path.join(cups, "cups.sock"))
            run.run(handed_over(link("127.0.0.1:%d/print?job=paper" % reply.port)))
            self.assertEnded(run)
            self.assertEqual(run.error_log(), [])
            # The documents the queues were given, in the order they were sent.
            spool = os.path.join(cups, "spool")
            documents = sorted(os.path.join(spool, n) for n in os.listdir(spool) if re.match(r"d\d+-001$", n))
            self.assertEqual([words(d)[0][5] for d in documents], ["first", "second", "third", "fourth", "fifth"])
            for document, size in zip(documents, [letter, legal, legal, letter, a5]):
                (w, h), = page_sizes(document)
                for got, wanted in zip(sorted((w, h)), sorted(size)):  # a landscape page may be turned
                    self.assertAlmostEqual(got, wanted, delta=0.5, msg=words(document)[0][5])
        finally:
            reply.stop()
            subprocess.run(["bash", script, "stop", cups], timeout=30)
            shutil.rmtree(cups, ignore_errors=True)

        # The PDF writer printer takes the desktop's paper, A4 where none is set.
        reply = Reply(b"PT|100|100|page|0|0|L|0\r\nED\r\n")
        try:
            for case, locale, size in (("us-paper", "en_US.UTF-8", letter), ("no-paper", None, (595.28, 841.89))):
                with self.subTest(case):
                    run = Run(case)
                    if locale:
                        run.env = desktop_locale(run.env, "de_DE.UTF-8", LC_PAPER=locale)
                    run.run(handed_over(link("127.0.0.1:%d/print?job=page" % reply.port)))
                    self.assertEnded(run)
                    printed = run.printed()
                    self.assertEqual(len(printed), 1)
                    (w, h), = page_sizes(printed[0])
                    self.assertAlmostEqual(w, size[0], delta=0.5)
                    self.assertAlmostEqual(h, size[1], delta=0.5)
        finally:
            reply.stop()

    def test_each_run_asks_with_a_number_of_its_own(self):
        reply = Reply(b"PDFNAME|r\r\nMRG|10|10\r\n")
        try:
            for case in ("random-1", "random-2"):
                run = Run(case)
                run.run(handed_over(link("127.0.0.1:%d/print?job=r" % reply.port)))
                self.assertEnded(run)
        finally:
            reply.stop()
        numbers = [p.split("&random=")[-1] for p in reply.paths]
        self.assertEqual(len(numbers), 2, reply.paths)
        for number in numbers:  # single precision, seven significant digits at most
            self.assertRegex(number, r"^(0\.\d{1,7}|[1-9](\.\d{1,6})?E-0\d)$")
        self.assertNotEqual(numbers[0], numbers[1], "no cache can hand the second run the first run's job")


# --- the window and the dialogs ----------------------------------------------------

class Screen(Acceptance):
    def test_window_shows_name_and_version_while_a_job_waits_for_its_message_box(self):
        reply = Reply(b"MSGBOX|Note|Printing|please wait\r\nPDFNAME|note\r\nPT|0|0|after the box|0|0|L|0\r\nED\r\n")
        run = Run("window")
        try:
            run.start(handed_over(link("127.0.0.1:%d/print?job=note" % reply.port)))
            box = wait_window("Note", run.process)
            self.assertIsNotNone(box, "the script's message box is on the screen")
            main, = windows("zarn://")
            title = x("xprop", "-id", main, "WM_NAME", "_NET_WM_NAME").decode()
            self.assertIn('"zarn://"', title)
            size = geometry(main)
            self.assertEqual((size["WIDTH"], size["HEIGHT"]), (168, 111), "2520 by 1665 twips at 96 dpi")
            shot = os.path.join(run.root, "screen.png")
            x("import", "-window", "root", shot)
            self.assertTrue(os.path.getsize(shot) > 0)
            seen = screen_text(run.root, "window", size)
            if seen is not None:
                self.assertIn("ZARN v" + VERSION, seen)
            self.assertEqual(run.printed(), [], "nothing is printed before the box is closed")
            press("Return")
            run.wait()
        finally:
            reply.stop()
        self.assertEnded(run)
        printed = run.printed()
        self.assertEqual(len(printed), 1)
        self.assertIn("after the box", layout_text(printed[0]))

    def test_service_error_reply_is_shown_and_the_run_ends_normally(self):
        reply = Reply(b"ERROR|Job expired|Ask the shop for a new link")
        run = Run("error-reply", settings="1")
        try:
            run.start(handed_over(link("127.0.0.1:%d/print?job=old" % reply.port)))
            box = wait_window("zarn", run.process)
            self.assertIsNotNone(box, "the service's error is shown in a box titled zarn")
            seen = screen_text(run.root, "error-reply", geometry(box))
            if seen is not None:
                for text in ("ERROR", "Job expired", "Ask the shop for a new link"):
                    self.assertIn(text, seen)
            press("Return")
            run.wait()
        finally:
            reply.stop()
        self.assertEnded(run)
        self.assertEqual(run.error_log(), [], "an error reply is not a failure of the program")
        self.assertTrue(run.run_log().split("\r\n")[-1].startswith("ZARN end: "))
        self.assertEqual(run.printed() + run.pdf_copies(), [], "nothing is printed")

    def closed_port_run(self, case):
        port = free_port()  # nothing listens there
        run = Run(case)
        run.start(handed_over(link("127.0.0.1:%d/print?job=hello" % port)))
        box = wait_window("zarn", run.process)
        self.assertIsNotNone(box, "the trap asks abort, retry or ignore")
        return run, port, box

    def test_trap_ignore_goes_on_with_an_empty_reply(self):
        run, _, box = self.closed_port_run("ignore")
        seen = screen_text(run.root, "trap", geometry(box))
        if seen is not None:
            self.assertIn("Location: zarn.mWEB.GetURL", seen)
        press(*IGNORE)
        run.wait()
        self.assertEnded(run)
        self.assertEqual(len(self.assertTrapLine(run, "zarn.mWEB.GetURL", CANNOT_CONNECT)), 1)
        lines = run.run_log().split("\r\n")
        self.assertIn("Service response :...", lines)
        self.assertTrue(lines[-1].startswith("ZARN end: "))
        self.assertEqual(run.printed(), [])

    def test_error_log_dates_its_lines_as_the_desktop_writes_dates(self):
        for locale, form, day in (("de_DE.UTF-8", r"\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d", "%d.%m.%Y "),
                                  ("en_US.UTF-8", r"\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M", "%-m/%-d/%Y ")):
            with self.subTest(locale):
                run = Run("date-" + locale[:5])
                run.env = desktop_locale(run.env, locale)
                run.run(handed_over(link("127.0.0.1:%d/print?job=x" % free_port())), seconds=30)
                self.assertEnded(run)
                lines = run.error_log()
                self.assertEqual(len(lines), 1, lines)
                self.assertRegex(lines[0], "^" + form + " V" + re.escape(VERSION) + "- Error " + CANNOT_CONNECT + "\t")
                self.assertTrue(lines[0].startswith(time.strftime(day, time.localtime(run.started))), lines[0])

    def test_trap_abort_ends_at_once_without_a_run_log(self):
        run, _, _ = self.closed_port_run("abort")
        press(*ABORT)
        run.wait()
        self.assertFalse(run.hung, "zarn hung and was killed")
        self.assertEqual(run.returncode, 3, "Abort ends with its own exit status: " + run.stderr[-2000:])
        self.assertEqual(len(self.assertTrapLine(run, "zarn.mWEB.GetURL", CANNOT_CONNECT)), 1)
        self.assertEqual(clipboard(), "before the run", "abort leaves the clipboard as it was")

    def test_trap_retry_sends_the_request_again(self):
        run, port, _ = self.closed_port_run("retry")
        service = SampleService(os.path.join(SOURCE, "examples", "scripts", "hello.txt"), port=port)
        try:
            press(*RETRY)
            run.wait()
        finally:
            service.stop()
        self.assertEnded(run)
        self.assertEqual(len(self.assertTrapLine(run, "zarn.mWEB.GetURL", CANNOT_CONNECT)), 1)
        self.assertTrue(run.run_log().split("\r\n")[-1].startswith("ZARN end: "))
        printed = run.printed()
        self.assertEqual(len(printed), 1, "the job printed once the service answered")
        self.assertIn("Hello from zarn", layout_text(printed[0]))


# --- bad input ------------------------------------------------------------------------

def big_script(size):
    """A print script of about `size` bytes: a page, then many margin lines whose
    extra fields are ignored, then the end of the document."""
    head = b"PDFNAME|big\r\nSD|P|A4|1\r\nPT|0|0|Big script|0|0|L|0\r\n"
    filler = b"MRG|720|720|" + b"x" * 1000 + b"\r\n"
    tail = b"PT|0|400|Its last line|0|0|L|0\r\nED\r\n"
    return head + filler * (size // len(filler)) + tail


class BadInput(Acceptance):
    """Each ends normally or through the trap (every box answered Ignore), never
    crashes, never hangs, and a trapped failure leaves its error-log line."""

    def test_bad_input(self):
        noise = bytes(random.Random(7).randrange(256) for _ in range(256 * 1024))
        cases = [
            # name, reply body (None: nothing listens), link, seconds, expected trap location or None
            ("no link", None, None, 30, "zarn.frmMAIN.Form_Load"),
            ("not base64", None, handed_over("zarn://%%not base64!!"), 30, "zarn.mBASE64.Base64Decode"),
            ("closed port", None, "closed", 30, "zarn.mWEB.GetURL"),
            ("binary reply", noise, "reply", 60, None),
            ("50 MB script", big_script(50 * 1024 * 1024), "reply", 120, None),
        ]
        for name, body, argument, seconds, location in cases:
            with self.subTest(name):
                reply = Reply(body, "application/octet-stream") if body is not None else None
                if argument == "reply":
                    argument = handed_over(link("127.0.0.1:%d/print?job=x" % reply.port))
                elif argument == "closed":
                    argument = handed_over(link("127.0.0.1:%d/print?job=x" % free_port()))
                run = Run(name.replace(" ", "-"))
                began = time.monotonic()
                try:
                    run.run(argument, seconds=seconds)
                finally:
                    if reply:
                        reply.stop()
                took = time.monotonic() - began
                print("%s: exit %s, %d box(es) answered, %d error-log line(s), %.1f s"
                      % (name, run.returncode, run.answered, len(run.error_log()), took), file=sys.stderr)
                self.assertFalse(run.hung, "hang: killed after %d s" % seconds)
                self.assertEqual(run.returncode, 0, "crash: " + run.stderr[-2000:])
                self.assertNoMachineException(run)
                log = run.run_log()
                self.assertRegex(log.split("\r\n")[-1], r"^ZARN end: ", "the run ended normally")
                if location:
                    self.assertTrapLine(run, location)
                    self.assertEqual(run.answered, len(run.error_log()), "one box per error-log line")
                if name == "50 MB script":
                    self.assertEqual(run.error_log(), [])
                    text = body.decode()
                    self.assertIn("\r\nService response :" + text[:800] + "..." + text[-800:] + "\r\nZARN end: ", log)
                    printed = run.printed()
                    self.assertEqual(len(printed), 1)
                    self.assertIn("Its last line", layout_text(printed[0]))
                if name == "binary reply":
                    self.assertTrue(log.split("\r\n")[5].startswith("Service response :"))


# --- the private display ----------------------------------------------------------------

def start_display():
    read, write = os.pipe()
    server = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                              pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write)
    number = b""
    while not number.endswith(b"\n"):
        chunk = os.read(read, 16)
        if not chunk:
            break
        number += chunk
    os.close(read)
    if not number.strip():
        server.kill()
        raise RuntimeError("Xvfb did not start")
    return server, ":" + number.decode().strip()


def main():
    global ZARN, SOURCE, VERSION, DISPLAY, SCRATCH
    ZARN, SOURCE, VERSION = sys.argv[1:4]
    for tool in ("Xvfb", "xdotool", "xclip", "xprop", "pdftotext", "pdfinfo", "import"):
        if not shutil.which(tool):
            print(tool, "is missing: skipped")
            return SKIP
    server, DISPLAY = start_display()
    SCRATCH = tempfile.mkdtemp(prefix="zarn-acceptance-")
    try:
        program = unittest.main(argv=[sys.argv[0]] + sys.argv[4:], exit=False, verbosity=2)
        return 0 if program.result.wasSuccessful() else 1
    finally:
        server.kill()  # the clipboard helpers of the runs end with their display
        server.wait()
        shutil.rmtree(SCRATCH, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
