#!/usr/bin/env python3
"""The Debian package, as a user's machine gets it: `cpack` makes
zarn_<version>_<arch>.deb; its contents and control fields are what a
packaged install needs (dpkg-deb -c, -I); extracted with dpkg -x into a
scratch folder, its zarn-render renders an example script without a display,
and its zarn says it keeps its files in $XDG_DATA_HOME/zarn. Where lintian is
installed, it reports no errors on the package.

usage: package_test.py <build folder> <source tree> <version>
Exit 77 (skipped) without dpkg-deb and dpkg-shlibdeps."""
import os
import shutil
import subprocess
import sys
import tempfile

SKIP = 77

FILES = ["./usr/bin/zarn", "./usr/bin/zarn-render", "./usr/libexec/zarn/zarn-link",
         "./usr/share/applications/zarn.desktop", "./usr/share/icons/hicolor/scalable/apps/zarn.svg",
         "./usr/share/man/man1/zarn.1.gz", "./usr/share/man/man1/zarn-render.1.gz",
         "./usr/share/doc/zarn/copyright", "./usr/share/doc/zarn/changelog.gz", "./usr/share/doc/zarn/README.md.gz"]


def run(*args, **kw):
    return subprocess.run(args, capture_output=True, text=True, timeout=240, **kw)


def main():
    build, tree, version = sys.argv[1:4]
    tree = os.path.abspath(tree)
    if not (shutil.which("dpkg-deb") and shutil.which("dpkg-shlibdeps")):
        print("dpkg-deb or dpkg-shlibdeps missing: skipped")
        return SKIP
    failures = []

    def expect(ok, what):
        if not ok:
            failures.append(what)

    with tempfile.TemporaryDirectory(prefix="zarn-package-") as scratch:
        made = run("cpack", "-B", scratch, cwd=build)
        if made.returncode != 0:
            print("cpack failed:", made.stdout, made.stderr)
            return 1
        arch = run("dpkg", "--print-architecture").stdout.strip()
        deb = os.path.join(scratch, "zarn_%s_%s.deb" % (version, arch))
        if not os.path.exists(deb):
            print("no %s among %s" % (deb, os.listdir(scratch)))
            return 1

        listed = [line.split()[-1] for line in run("dpkg-deb", "-c", deb).stdout.splitlines()]
        expect(all(f in listed for f in FILES), "the package holds %s: %s" % (FILES, listed))
        stray = [f for f in listed if not f.endswith("/") and f not in FILES]
        expect(not stray, "nothing else is packaged: %s" % stray)

        info = run("dpkg-deb", "-I", deb).stdout
        fields = dict(line.strip().split(": ", 1) for line in info.splitlines() if ": " in line and line.startswith(" "))
        expect(fields.get("Package") == "zarn" and fields.get("Version") == version, "name and version: %s" % fields)
        depends = fields.get("Depends", "")
        # From the programs' libraries (dpkg-shlibdeps), and xclip, which zarn runs.
        for package in ("libqt6gui6", "libqt6printsupport6", "libcurl4", "libqrcodegencpp1", "xclip"):
            expect(package in depends, "Depends names %s: %s" % (package, depends))

        # Debian's own checker, where it is installed: no errors.
        if shutil.which("lintian"):
            checked = run("lintian", "--no-tag-display-limit", deb)
            errors = [line for line in checked.stdout.splitlines() if line.startswith("E:")]
            expect(not errors, "lintian reports errors:\n" + "\n".join(errors))
            print(checked.stdout, end="")
        else:
            print("lintian is not installed: the package was not checked with it")

        root = os.path.join(scratch, "root")
        expect(run("dpkg", "-x", deb, root).returncode == 0, "dpkg -x extracts the package")
        with open(os.path.join(root, "usr", "share", "applications", "zarn.desktop")) as f:
            desktop = f.read()
        expect("MimeType=x-scheme-handler/zarn;" in desktop and "Exec=/usr/libexec/zarn/zarn-link %u" in desktop
               and "Icon=zarn\n" in desktop, "the system .desktop file: " + desktop)

        # The extracted programs, on this machine's libraries, with no display.
        home = os.path.join(scratch, "home")
        os.makedirs(home)
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        env.update(HOME=home, XDG_DATA_HOME=os.path.join(home, "data"), XDG_CONFIG_HOME=os.path.join(home, "config"))
        render = os.path.join(root, "usr", "bin", "zarn-render")
        out = run(render, "--version", env=env)
        expect(out.returncode == 0 and out.stdout == "zarn-render %s\n" % version, "zarn-render --version: %r" % (out,))
        pdf = os.path.join(scratch, "hello.pdf")
        rendered = run(render, os.path.join(tree, "examples", "scripts", "hello.txt"), "-o", pdf, env=env, cwd=scratch)
        expect(rendered.returncode == 0, "the extracted zarn-render renders without a display: %s" % rendered.stderr)
        text = run("pdftotext", pdf, "-").stdout if os.path.exists(pdf) else ""
        expect("Hello" in text, "the rendered page says Hello: %r" % text)
        usage = run(os.path.join(root, "usr", "bin", "zarn"), "--help", env=env)
        expect(usage.returncode == 0 and os.path.join(home, "data", "zarn") in usage.stdout,
               "the packaged zarn keeps its files in $XDG_DATA_HOME/zarn: %s" % usage.stdout)

        # The packaged handler hands the link to /usr/bin/zarn (here a stand-in) as the launcher does.
        args_file = os.path.join(scratch, "args")
        with open(os.path.join(root, "usr", "bin", "zarn"), "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$#\" \"$@\" > '%s'\n" % args_file)
        run(os.path.join(root, "usr", "libexec", "zarn", "zarn-link"), "zarn://QUJD", env=env)
        with open(args_file) if os.path.exists(args_file) else open(os.devnull) as f:
            handed = f.read().splitlines()
        expect(handed == ["1", '"zarn://QUJD/"'], "the packaged handler starts zarn with quote, link, /, quote: %r" % handed)

    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
