#!/usr/bin/env python3
"""A value holding & # + % | ü reaches the sample service unchanged through
the real zarn, with the link made by examples/print.html's recipe (the
builders' own tests hold their links to the same recipe).

usage: link_test.py <zarn program> <source folder>
Exit 77 (skipped) when there is no X display."""
import json
import os
import shutil
import subprocess
import sys
import tempfile
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from e2e import scratch_home  # noqa: E402

SKIP = 77
VALUE = "Muster & Co. #1 + 100% | ü"


def page_link(source, port):
    """zarnLink of examples/print.html, run by node with a page of no links."""
    html = open(os.path.join(source, "examples", "print.html"), encoding="utf-8").read()
    script = html[html.index("<script>") + len("<script>"):html.index("</script>")]
    program = ("const document = {querySelectorAll: () => []};\n" + script +
               "\nprocess.stdout.write(zarnLink(%d, 'hello', %s));" % (port, json.dumps(VALUE)))
    return subprocess.run(["node", "-e", program], capture_output=True, text=True, check=True).stdout


def main():
    zarn, source = sys.argv[1], sys.argv[2]
    failures = []
    with tempfile.TemporaryDirectory(prefix="zarn-link-") as folder:
        service = subprocess.Popen([sys.executable, os.path.join(source, "examples", "sample_service.py"),
                                    os.path.join(source, "examples"), "--requests", "3", "--seconds", "60"],
                                   stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        try:
            port = int(service.stdout.readline().split()[1])
            link = page_link(source, port)
            if not os.environ.get("DISPLAY"):
                print("no X display: skipped")
                return SKIP
            program = os.path.join(folder, "zarn")
            shutil.copy(zarn, program)
            env = scratch_home(folder)
            # quote, link, "/", quote: the way the link handler starts the program
            run = subprocess.run([program, '"%s/"' % link], timeout=90, cwd=folder, env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            if run.returncode != 0:
                failures.append("zarn ended with %d: %s" % (run.returncode, run.stderr))
        finally:
            service.terminate()
            log = service.communicate(timeout=30)[1]
        queries = [json.loads(line.split("query ", 1)[1]) for line in log.splitlines()
                   if line.startswith("sample service: query ")]
        if not queries or queries[0].get("customer") != [VALUE]:
            failures.append("the service received %r, not %r\n%s" % (queries, VALUE, log))
    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
