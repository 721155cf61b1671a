#!/usr/bin/env python3
"""scripts/install.sh (cmake --install and the registration) into a scratch
home: the programs, their man pages, the icon and an example settings file
land in a folder of their own, the commands and man pages are linked where
PATH and man find them, the link handler is registered for
x-scheme-handler/zarn, and the handler passes a link on the way the Windows
launcher does (quote, link, "/", quote), from the program's folder. Then
--uninstall takes all that away and leaves the user's own files.
usage: install_test.py <source tree> <build folder>"""
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree


def main():
    tree, build = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="zarn-install-") as home:
        env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                   XDG_CONFIG_HOME=os.path.join(home, "config"), ZARN_BUILD=build)
        for _ in range(2):  # a second install replaces the first
            subprocess.run(["bash", os.path.join(tree, "scripts", "install.sh")], env=env, check=True,
                           stdout=subprocess.DEVNULL)
        folder = os.path.join(home, "data", "zarn")
        failures = []
        for name in ("zarn", "zarn-render"):
            if not os.access(os.path.join(folder, name), os.X_OK) or \
                    os.path.realpath(os.path.join(home, ".local", "bin", name)) != os.path.join(folder, name):
                failures.append("%s is installed and linked into ~/.local/bin" % name)
        for page in ("zarn.1", "zarn-render.1"):
            if not os.path.isfile(os.path.join(home, "data", "man", "man1", page)):
                failures.append("the man page %s is where man finds it" % page)
        with open(os.path.join(home, "data", "applications", "zarn.desktop")) as f:
            desktop = f.read()
        if "MimeType=x-scheme-handler/zarn;" not in desktop:
            failures.append("the .desktop file claims zarn:// links")
        if "Exec=%s/zarn-link %%u" % folder not in desktop:
            failures.append("the .desktop file starts the link handler: " + desktop)
        if "Icon=%s/zarn.svg" % folder not in desktop:
            failures.append("the .desktop file names the installed icon")
        if shutil.which("desktop-file-validate"):
            check = subprocess.run(["desktop-file-validate", os.path.join(home, "data", "applications", "zarn.desktop")],
                                   capture_output=True, text=True)
            if check.returncode != 0 or check.stdout.strip():
                failures.append("the .desktop file is valid: " + check.stdout)
        try:
            if not ElementTree.parse(os.path.join(folder, "zarn.svg")).getroot().tag.endswith("svg"):
                failures.append("the icon is an SVG picture")
        except (OSError, ElementTree.ParseError) as error:
            failures.append("the icon is an SVG picture: %s" % error)
        with open(os.path.join(folder, "zarn.ini.example"), "rb") as f:
            example = f.read()
        if example != b"1\r\n" + folder.encode() + b"/pdf\r\n" or not os.path.isdir(os.path.join(folder, "pdf")):
            failures.append("the example settings ask for PDF copies into the installed pdf folder: %r" % example)
        mimeapps = os.path.join(home, "config", "mimeapps.list")
        query = subprocess.run(["xdg-mime", "query", "default", "x-scheme-handler/zarn"], env=env,
                               capture_output=True, text=True) if shutil.which("xdg-mime") else None
        if query is not None:
            if query.stdout.strip() != "zarn.desktop":
                failures.append("xdg-mime names zarn.desktop")
        else:
            with open(mimeapps) as f:
                lines = f.read().splitlines()
            if lines.count("x-scheme-handler/zarn=zarn.desktop") != 1 or lines[0] != "[Default Applications]":
                failures.append("mimeapps.list names zarn.desktop once: %r" % lines)
        # Stand in for the program to see its arguments.
        args_file = os.path.join(home, "args")
        program = os.path.join(folder, "zarn")
        shutil.copy(program, os.path.join(home, "program"))
        with open(program, "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$(pwd)\" \"$#\" \"$@\" > '%s'\n" % args_file)
        subprocess.run([os.path.join(folder, "zarn-link"), "zarn://QUJD"], check=True, cwd=home)
        with open(args_file) as f:
            got = f.read().splitlines()
        if got != [folder, "1", '"zarn://QUJD/"']:
            failures.append("the handler passes one argument, quote link / quote, in the program's folder: %r" % got)

        shutil.move(os.path.join(home, "program"), program)

        # The user's own files stay; everything the install made goes. A list
        # planted in the program folder names nothing the uninstall removes, and
        # an installed file that changed since is kept.
        mine = [os.path.join(folder, n) for n in ("zarn.ini", "error_handler.txt", "qrcode.bmp", os.path.join("pdf", "a.pdf"),
                                                   "zarn.ini.example")] + [os.path.join(home, "victim.txt")]
        for path in mine:
            with open(path, "w") as f:
                f.write("mine")
        with open(os.path.join(folder, ".installed-files"), "w") as f:
            f.write(os.path.join(home, "victim.txt") + "\n")
        subprocess.run(["bash", os.path.join(tree, "scripts", "install.sh"), "--uninstall"], env=env, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cache = os.path.join(home, "data", "applications", "mimeinfo.cache")  # update-desktop-database's
        if os.path.exists(cache):
            with open(cache) as f:
                if "zarn" in f.read():
                    failures.append("uninstall updates the desktop's handler cache")
            os.remove(cache)
        left = sorted(os.path.relpath(os.path.join(d, f), home) for d, _, fs in os.walk(home) for f in fs)
        expected = sorted(os.path.relpath(p, home) for p in mine + [args_file, mimeapps])
        if left != expected:
            failures.append("uninstall leaves the user's files and nothing else: %s" % left)
        with open(mimeapps) as f:
            if "zarn" in f.read():
                failures.append("uninstall removes the handler registration")
        for f in failures:
            print("FAILED:", f)
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
