#!/usr/bin/env python3
"""zarn-render shows what the client prints: for every example script, the
PDF that zarn-render makes equals, page by page in pdftoppm pixels, the PDF
that the real client makes of the same script through its PDF writer.

The client runs from a copy in a temporary folder with a temporary HOME and a
zarn.ini that asks for a PDF copy into that folder, started with a real
"zarn://" link against the sample service on 127.0.0.1. CUPS_SERVER points at
a socket that does not exist, so the client sees no CUPS printer: its printer
run goes to its own PDF writer too and nothing reaches a real printer.

zarn-render's pages must equal the client's printer run (on its PDF writer)
and its PDF copy, or the PDF-only file of a PDF-only script.
Both programs write their PDFs with the same writer; only metadata (creation
time, file names) may differ, so pages are compared as pixels, byte for byte
(pdftoppm -r 50 PPM). Pixels come from the same drawing calls and the same
fonts through the same rasteriser, so no tolerance is needed.

The sample service serves the examples folder, so scripts that download
pictures with GF get them from it on 127.0.0.1; zarn-render reads each script
as the service serves it. Each program runs in a working folder of its own.

usage: pixels_test.py <zarn> <zarn-render> <sample service> <examples folder>
Exit 77 (skipped) when there is no X display."""
import base64
import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import urllib.request
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from service_answers import allow_loopback_service  # noqa: E402

SKIP = 77
DPI = "50"


def pages(pdfs, folder, stem):
    """The pages of the PDFs in order, as PPM bytes."""
    out = []
    for n, pdf in enumerate(pdfs):
        prefix = os.path.join(folder, "%s-%d" % (stem, n))
        subprocess.run(["pdftoppm", "-r", DPI, pdf, prefix], check=True, timeout=120)
        for ppm in sorted(glob.glob(prefix + "-*.ppm"), key=lambda p: int(re.findall(r"-(\d+)\.ppm$", p)[0])):
            with open(ppm, "rb") as f:
                out.append(f.read())
    return out


def stamped_order(path):
    """The PDF writer's time-stamped names in the order they were made:
    "2026-12-08-15-04-05.pdf", then "...-05-2.pdf", "...-05-3.pdf"."""
    m = re.match(r"^(\d{4}(?:-\d\d){5})(?:-(\d+))?\.pdf$", os.path.basename(path))
    return (m.group(1), int(m.group(2) or 1)) if m else (os.path.basename(path), 0)


def pdfs_below(folder):
    return sorted(glob.glob(os.path.join(folder, "**", "*.pdf"), recursive=True))


def differing_pixels(a, b):
    """Pixels that differ between two PPM pages of the same header."""
    header = a[:a.index(b"255\n") + 4] if b"255\n" in a else b""
    if not header or not b.startswith(header):
        return None
    body_a, body_b = a[len(header):], b[len(header):]
    return sum(1 for i in range(0, len(body_a), 3) if body_a[i:i + 3] != body_b[i:i + 3])


def run_client(zarn, port, job, script, folder, env):
    """The client's PDF files of the script's copy run, in page order."""
    program_folder = os.path.join(folder, "program")
    copy_folder = os.path.join(folder, "pdf")
    os.makedirs(program_folder)
    os.makedirs(copy_folder)
    program = os.path.join(program_folder, "zarn")
    shutil.copy(zarn, program)
    with open(os.path.join(program_folder, "zarn.ini"), "wb") as f:
        f.write(b"1\r\n" + copy_folder.encode() + b"\r\n")
    request = "127.0.0.1:%d/print?job=%s" % (port, job)
    link = '"zarn://%s/"' % base64.b64encode(request.encode()).decode()
    run = subprocess.run([program, link], env=env, cwd=folder, timeout=120, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True)
    if run.returncode != 0:
        raise RuntimeError("zarn ended with %d: %s" % (run.returncode, run.stderr))
    error_log = os.path.join(program_folder, "error_handler.txt")
    if os.path.exists(error_log):
        raise RuntimeError("zarn trapped errors:\n" + open(error_log, encoding="utf-8").read())
    # Each document of a PDF run is a file of its own below the copy folder,
    # in the order they were made. The printer run files its documents in the
    # documents folder (no CUPS printer exists). A PDF-only script makes no copy.
    copies = sorted(pdfs_below(copy_folder), key=os.path.getmtime)
    documents = sorted(pdfs_below(os.path.join(env["HOME"], "Documents")), key=stamped_order)
    text = open(script, encoding="utf-8").read()
    if "PDFONLY" in text and "RPTFLD" not in text:
        return copies, None
    if len(documents) != len(copies):
        raise RuntimeError("the printer run and the copy run made different documents: %s %s" % (documents, copies))
    return documents, copies


def compare(ours, theirs):
    """What differs between two lists of pages; empty when they are equal."""
    if len(ours) != len(theirs):
        return ["%d pages from zarn-render, %d from the client" % (len(ours), len(theirs))]
    return ["page %d: %s pixels differ" % (n, differing_pixels(a, b))
            for n, (a, b) in enumerate(zip(ours, theirs), 1) if a != b]


def temp_env(folder, who):
    """A HOME of its own for each program (user forms live in its config), and
    no CUPS printer."""
    home = os.path.join(folder, who + "-home")
    os.makedirs(os.path.join(home, "Documents"))
    allow_loopback_service(home)
    env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"), XDG_RUNTIME_DIR=home,
               CUPS_SERVER=os.path.join(folder, "no-cups.sock"))
    return env


def main():
    zarn, render, service_script, examples = (os.path.abspath(a) for a in sys.argv[1:5])
    if not os.environ.get("DISPLAY"):
        print("no X display: skipped")
        return SKIP
    service = subprocess.Popen([sys.executable, service_script, examples, "--requests", "500", "--seconds", "500"],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        line = service.stdout.readline()
        if not line.startswith("port "):
            print("the sample service did not start:", line)
            return 1
        return compare_all(zarn, render, int(line.split()[1]), examples)
    finally:
        service.kill()
        service.communicate()


def compare_all(zarn, render, port, examples):
    scripts = sorted(glob.glob(os.path.join(examples, "scripts", "*.txt")))
    failures, compared = [], 0
    for script in scripts:
        name = os.path.basename(script)
        job = name[:-4]
        text = open(script, encoding="utf-8").read()
        # A message box would wait for a click in the client's printer run.
        if re.search(r"(?im)^ *msgbox\|", text):
            print("%s: skipped (its message box needs a click)" % name)
            continue
        with tempfile.TemporaryDirectory(prefix="zarn-pixels-") as folder:
            rendered = os.path.join(folder, "render.pdf")
            render_folder = os.path.join(folder, "render")
            os.makedirs(render_folder)
            with urllib.request.urlopen("http://127.0.0.1:%d/print?job=%s" % (port, job), timeout=30) as reply:
                served = reply.read()
            r = subprocess.run([render, "-", "-o", rendered], input=served.decode("utf-8"),
                               env=temp_env(folder, "render"), cwd=render_folder, timeout=120,
                               capture_output=True, text=True)
            if r.returncode != 0:
                failures.append("%s: zarn-render ended with %d: %s%s" % (name, r.returncode, r.stdout, r.stderr))
                continue
            client_home = os.path.join(folder, "client")
            os.makedirs(client_home)
            try:
                printed, copied = run_client(zarn, port, job, script, client_home, temp_env(folder, "client"))
            except (RuntimeError, subprocess.TimeoutExpired) as e:
                failures.append("%s: %s" % (name, e))
                continue
            ours = pages([rendered], folder, "render")
            if not ours:
                failures.append("%s: zarn-render's PDF has no page" % name)
                continue
            what = "the PDF-only file" if copied is None else "the printer run"
            differences = compare(ours, pages(printed, folder, "printed"))
            failures += ["%s, %s: %s" % (name, what, d) for d in differences]
            if copied is not None:
                differences = compare(ours, pages(copied, folder, "copied"))
                failures += ["%s, the PDF copy: %s" % (name, d) for d in differences]
            compared += 1
            print("%s: %d page(s) compared" % (name, len(ours)))
    if compared == 0:
        failures.append("no example script was compared")
    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
