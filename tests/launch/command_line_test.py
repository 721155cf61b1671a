#!/usr/bin/env python3
"""The programs' command-line manners, with no display at all: zarn --help and
--version (and zarn-render --version) answer on standard output with exit 0;
zarn given a link says in one line on standard error that it has no display,
and exits 1, also when DISPLAY names an X server that is not there; zarn-render
renders a script all the same.

usage: command_line_test.py <zarn> <zarn-render> <version> <examples/scripts folder>"""
import os
import subprocess
import sys
import tempfile


def main():
    zarn, render, version, scripts = sys.argv[1:5]
    failures = []
    with tempfile.TemporaryDirectory(prefix="zarn-cli-") as home:
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env.update(HOME=home, XDG_RUNTIME_DIR=home)

        def run(args, **extra):
            return subprocess.run(args, capture_output=True, text=True, timeout=60, cwd=home,
                                  env=dict(env, **extra))

        for args, out in (([zarn, "--version"], "zarn %s\n" % version),
                          ([render, "--version"], "zarn-render %s\n" % version),
                          ([zarn, "--help"], None)):
            r = run(args)
            if r.returncode != 0 or r.stderr or (out and r.stdout != out) or not r.stdout.strip():
                failures.append("%s: exit %d, stdout %r, stderr %r" % (args[1:], r.returncode, r.stdout, r.stderr))
        if "usage: zarn" not in run([zarn, "--help"]).stdout:
            failures.append("zarn --help shows the usage")

        # A display number nobody serves: far above the ones tests start.
        for extra in ({}, {"DISPLAY": ":%d" % (900 + os.getpid() % 90)}):
            r = run([zarn, '"zarn://MTI3LjAuMC4xOjkvcA==/"'], **extra)
            lines = r.stderr.splitlines()
            if r.returncode != 1 or len(lines) != 1 or not lines[0].startswith("zarn: no display"):
                failures.append("zarn without a display %s: exit %d, stderr %r" % (extra, r.returncode, r.stderr))

        pdf = os.path.join(home, "hello.pdf")
        r = run([render, os.path.join(scripts, "hello.txt"), "-o", pdf])
        if r.returncode != 0 or not os.path.getsize(pdf):
            failures.append("zarn-render renders without a display: exit %d, %s" % (r.returncode, r.stderr))

    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
