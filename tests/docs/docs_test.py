#!/usr/bin/env python3
"""docs/print-scripts.md against the real zarn-render: its command sections
name exactly the keywords of the command table, each field table lists the
command's fields in order with their types, every keyword written as the start
of a script line exists, and every example renders and checks without an
error and has its picture.

usage: docs_test.py <zarn-render> <source folder>"""
import importlib.util
import json
import os
import re
import subprocess
import sys
import tempfile

TYPES = {"text": "text", "number": "long", "short": "short", "millimetres": "mm"}
# Words a script line may begin with that are markers, not commands.
MARKERS = {"RPTFLD", "RPTDT", "RPTED", "PDFONLY", "PDFMERGE", "ERROR"}


def sections(text):
    """{keyword: [(command, field, type), ...]} of the "#### `KW`" sections."""
    found = {}
    for m in re.finditer(r"^#### (?P<title>[^\n]*)\n(?P<body>.*?)(?=^#{2,4} |\Z)", text, re.M | re.S):
        keywords = re.findall(r"`([A-Z]+)`", m.group("title").split(":")[0])
        rows = []
        for line in m.group("body").splitlines():
            cells = [c.strip() for c in line.strip().strip("|").split("|")] if line.startswith("| ") else []
            if len(cells) >= 3 and cells[0] not in ("field", "command"):
                rows.append(tuple(cells[:3]) if cells[0].startswith("`") else (None,) + tuple(cells[:2]))
        for keyword in keywords:
            found[keyword] = [(f, t) for c, f, t in rows if c in (None, "`%s`" % keyword)]
    return found


def main():
    program, source = sys.argv[1], sys.argv[2]
    module_spec = importlib.util.spec_from_file_location("doc_pictures", os.path.join(source, "scripts", "doc-pictures.py"))
    pictures = importlib.util.module_from_spec(module_spec)
    module_spec.loader.exec_module(pictures)
    text = open(os.path.join(source, "docs", "print-scripts.md"), encoding="utf-8").read()
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    table = json.loads(subprocess.run([program, "--commands"], capture_output=True, env=env, check=True).stdout)
    commands = {c["keyword"]: [(f["name"], f["type"]) for f in c["fields"]] for c in table["commands"]}
    failures = []

    documented = sections(text)
    for keyword in sorted(set(commands) - set(documented)):
        failures.append("%s is in the command table but has no section" % keyword)
    for keyword in sorted(set(documented) - set(commands)):
        failures.append("the section %s names no command of the table" % keyword)
    for keyword in sorted(set(documented) & set(commands)):
        fields = [(name, TYPES.get(kind, kind)) for name, kind in documented[keyword]]
        if fields != commands[keyword]:
            failures.append("%s: the reference lists %s, the table %s" % (keyword, fields, commands[keyword]))
    for word in sorted(set(re.findall(r"`([A-Za-z]+)\|", text))):
        if word.upper() not in commands and word not in MARKERS:
            failures.append("`%s|...` names no command" % word)

    examples = pictures.examples(text)
    if len(examples) < 5:
        failures.append("only %d examples with pictures" % len(examples))
    with tempfile.TemporaryDirectory(prefix="zarn-docs-") as folder:
        for number, (script, picture, line) in enumerate(examples):
            work = os.path.join(folder, str(number))
            os.mkdir(work)
            status, errors = pictures.render(program, script, os.path.join(work, "page.pdf"))
            if status != 0 or "error" in errors:
                failures.append("line %d: the example does not render cleanly (%d): %s" % (line, status, errors))
            check = subprocess.run([program, "--check", "-"], input=script.encode("utf-8"), capture_output=True,
                                   env=dict(env, CUPS_SERVER=os.path.join(work, "no-cups.sock")))
            if check.returncode != 0:
                failures.append("line %d: zarn-render --check lists:\n%s" % (line, check.stdout.decode()))
            if not os.path.isfile(os.path.join(source, "docs", picture)):
                failures.append("line %d: the picture %s is missing" % (line, picture))
    for f in failures:
        print("FAILED:", f)
    print("%d commands, %d examples checked" % (len(commands), len(examples)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
