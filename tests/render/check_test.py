#!/usr/bin/env python3
"""zarn-render --check, the real program: a script of bad lines is listed line
by line with the right kind and exit status 1, a clean script and every
example script exit 0, and a script on standard input is checked alike.

usage: check_test.py <zarn-render> <examples/scripts folder>"""
import glob
import os
import re
import subprocess
import sys
import tempfile

# (line, expected kind) in script order; None: the line must not be listed.
BAD = [
    ("SD|P|A4|1", None),
    ("FOO|1|2", "unknown-keyword"),
    ("# a comment: skipped on purpose", None),
    ("\tSD|P|A4|1", "unknown-keyword"),        # a leading tab is not removed
    ("SD |P|A4|1", "unknown-keyword"),         # the space belongs to the keyword
    ("  sf|Arial|10|0|0", None),               # leading spaces and case do not matter
    ("PT|100|1O0|Hello|0|0|L|0", "not-a-number"),
    ("MRG||20", "not-a-number"),               # an empty number field
    ("MRG|10.5|20", None),                     # rounded, half to even
    ("DB|0|0|10|10|0|0|#000000|40000", "overflow"),   # the fill is a short
    ("DB|0|0|10|10|0|0|#000000|-32768", None),
    ("DL|1|99999999999|x|0|1|#000000", "overflow"),   # the first faulty field counts
    ("SD|P|A4", "missing-field"),
    ("QRC|abc|100|100", "missing-field"),
    ("QRC||100", None),                        # an empty text ends the command
    ("GF|http://127.0.0.1/a.png", "missing-field"),
    ("PDFNAME", "missing-field"),
    ("PT|0|0|x|0|0|L|0|mode|extra", None),
    ("DL|0|0|1|0|1|#000000|x", "not-a-number"),   # an optional field, when there, is read
    ("MSGBOX|title|only one line", "missing-field"),
    ("", None),
    ("   ", None),
    ("ED", None),
]

REPEAT = [
    ("SD|P|A4|1", None),
    ("PT|#X#|100|Dear #N# #Z#|0|0|L|0", None),
    ("ED", None),
    ("RPTFLD|#N#|#X#|#Z#|", None),
    ("RPTDT|Lost|1|", "never-read"),               # the line after RPTFLD is never read
    ("RPTDT|Ann|100|", None),
    ("# comments are not data lines", None),
    ("RPTDT|Bob|1x|", None),                       # reported on the template line 2
    ("SD|P|A4|1", "not-a-data-line"),
    ("RPTDT|a|1|2||4|", "too-many-values"),
    ("RPTPSZ|100|tall|Label|", "not-a-number"),
    ("RPTDEV", "missing-field"),
    ("# one RPTED closes the document", "comment-is-data"),
    ("RPTED", None),
]

UNFILLED = [
    ("PT|0|0|#N# #Z#|0|0|L|0", None),
    ("RPTFLD|#N#|#Z#|", "unfilled-field"),   # no data line fills #Z#
    ("-", None),
    ("RPTDT|Ann|", None),
    ("RPTDT|Bob", "no-closing-bar"),
]

# Lines that run, but not as meant. The check runs with no CUPS server, so the
# PDF writer is the only printer here.
WARNINGS = [
    ("SD|P|a4|1", "lower-case"),                 # the paper stays as it was
    ("SD|l|A4|1", "lower-case"),
    ("DEV|zarn PDF Writer", None),
    ("DEV|ZARN pdf writer", "printer-not-exact"),   # exists, but no switch
    ("DEV|no such printer", "printer-not-exact"),
    ("DEV|default", None),                       # the printer before the last switch
    ("PT|0|0|#N#|0|0|L|0", None),
    ("RPTFLD|#N#", "no-closing-bar"),            # the name keeps the CR
    ("-", None),
    ("RPTDT|Ann", "no-closing-bar"),
    ("RPTDT|Bob|", "too-many-values"),          # the field line lacks its "|"
    ("RPTDEV|zarn PDF Writer|", None),
    ("RPTPSZ|10|15|Label", "no-closing-bar"),
]

LISTED = re.compile(r"^(?P<name>.*):(?P<line>\d+): (?P<kind>[a-z-]+): (?P<message>.+)$")


# Found by running the script: each layout warning once, at its line.
LAYOUT = [
    ("SD|P|A4|1", None),
    ("SF|DejaVu Sans|10|0|0", None),
    ("PT|100|100|fits|0|0|L|0", None),
    ("PT|100|20000|below the sheet|0|0|L|0", "off-page"),   # an A4 page is 16838 twips high
    ("PT|100|300|Zh\u014dngw\u00e9n \u4e2d\u6587|0|0|L|0", "no-glyph"),   # no CJK font here
    ("SFY|15000", None),
    ("SFYR|2000", None),                                     # past the page bottom: a new page
    ("SFY|14000", "page-break-above"),
    ("PT|100|0|total|0|0|L|0", None),
    ("ED", None),
]


def check(program, path, stdin=None):
    env = dict(os.environ, CUPS_SERVER="/nonexistent/zarn-check-cups.sock")
    run = subprocess.run([program, "--check", path], input=stdin, capture_output=True, timeout=60, env=env)
    return run.returncode, run.stdout.decode("utf-8"), run.stderr.decode("utf-8")


def listed(output):
    found = []
    for line in output.splitlines():
        m = LISTED.match(line)
        if m:
            found.append((int(m.group("line")), m.group("kind")))
    return found


def main():
    program, examples = sys.argv[1], sys.argv[2]
    failures = []

    def expect(ok, what):
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory(prefix="zarn-check-") as folder:
        for name, rows, extra in (("bad.txt", BAD, []), ("repeat.txt", REPEAT, [(2, "not-a-number")]),
                                  ("unfilled.txt", UNFILLED, []), ("warnings.txt", WARNINGS, []), ("layout.txt", LAYOUT, [])):
            path = os.path.join(folder, name)
            with open(path, "wb") as f:
                f.write("\r\n".join(text for text, _ in rows).encode("utf-8") + b"\r\n")
            want = sorted([(i + 1, kind) for i, (_, kind) in enumerate(rows) if kind] + extra)
            rc, out, err = check(program, path)
            expect(rc == 1, "%s: exit status %d, not 1 (%s)" % (name, rc, err))
            expect(listed(out) == want, "%s: listed %s\n  wanted %s\n%s" % (name, listed(out), want, out))
            # Each listing names the file and says what the client does.
            for line in out.splitlines()[:-1]:
                expect(line.startswith(path + ":"), "%s: listing without its file name: %r" % (name, line))
            rc2, out2, _ = check(program, "-", open(path, "rb").read())
            expect(rc2 == 1 and listed(out2) == want, "%s on standard input: %d %s" % (name, rc2, listed(out2)))
            expect(out2.startswith("stdin:"), "standard input is named stdin: %r" % out2[:40])

        clean = os.path.join(folder, "clean.txt")
        with open(clean, "wb") as f:
            f.write(b"PDFONLY\r\nPDFNAME|2024|bill|\r\nSD|P|A4|1\r\nSF|Arial|10|0|0\r\n"
                    b"PT|100|100|Hello|0|0|L|0\r\nED\r\n#REPRINT")
        scripts = [clean] + sorted(glob.glob(os.path.join(examples, "*.txt")))
        expect(len(scripts) > 1, "no example scripts in " + examples)
        for path in scripts:
            rc, out, err = check(program, path)
            expect(rc == 0, "%s: exit status %d, not 0:\n%s%s" % (path, rc, out, err))
            expect(listed(out) == [] and "every line runs as written" in out,
                   "%s: a clean script listed something: %r" % (path, out))

        rc, _, err = check(program, os.path.join(folder, "missing.txt"))
        expect(rc == 2 and "cannot read" in err, "an unreadable script: %d %r" % (rc, err))

    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
