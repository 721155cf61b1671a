#!/usr/bin/env python3
"""Renders the example pictures of docs/print-scripts.md with zarn-render.

Every ```zarn block of the reference is followed by its picture,
![...](print-scripts/NAME.png); this prints the block with zarn-render and
keeps the part of the first page that holds output, with a white border.

usage: scripts/doc-pictures.py [build/zarn-render]
Needs pdftoppm (poppler-utils) and convert (imagemagick)."""
import os
import re
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REFERENCE = os.path.join(ROOT, "docs", "print-scripts.md")
BLOCK = re.compile(r"^```zarn\n(?P<script>.*?)^```\n!\[[^\]]*\]\((?P<picture>[^)]+\.png)\)", re.M | re.S)


def examples(text):
    """(script with CR LF line ends, picture path relative to docs/, line) of each example."""
    return [(m.group("script").replace("\n", "\r\n"), m.group("picture"), text.count("\n", 0, m.start()) + 1)
            for m in BLOCK.finditer(text)]


def render(program, script, pdf):
    """Runs zarn-render on the script, with a home of its own (PSZ keeps its
    forms there) and no CUPS printers; (exit status, standard error)."""
    home = os.path.join(os.path.dirname(pdf), "home")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
               XDG_DATA_HOME=os.path.join(home, ".local", "share"), CUPS_SERVER=os.path.join(home, "no-cups.sock"))
    run = subprocess.run([program, "-", "-o", pdf], input=script.encode("utf-8"), capture_output=True, env=env,
                         timeout=120)
    return run.returncode, run.stderr.decode("utf-8", "replace")


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build", "zarn-render")
    with open(REFERENCE, encoding="utf-8") as f:
        found = examples(f.read())
    failed = 0
    with tempfile.TemporaryDirectory(prefix="zarn-doc-") as folder:
        for script, picture, line in found:
            pdf = os.path.join(folder, "page.pdf")
            status, errors = render(program, script, pdf)
            if status != 0:
                print("%s:%d: zarn-render failed (%d): %s" % (REFERENCE, line, status, errors))
                failed += 1
                continue
            stem = os.path.join(folder, "page")
            subprocess.run(["pdftoppm", "-png", "-r", "110", "-f", "1", "-l", "1", "-singlefile", pdf, stem],
                           check=True)
            target = os.path.join(ROOT, "docs", picture)
            subprocess.run(["convert", stem + ".png", "-trim", "+repage", "-bordercolor", "white", "-border", "24",
                            "-strip", target], check=True)
            print("wrote", os.path.relpath(target, ROOT))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
