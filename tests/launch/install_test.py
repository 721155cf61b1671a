#!/usr/bin/env python3
"""scripts/install.sh into a scratch home: the program lands in a folder of
its own, the link handler is registered for x-scheme-handler/zarn, and the
handler passes a link on the way the Windows launcher does (quote, link, "/",
quote). usage: install_test.py <source tree> <built program>"""
import os
import shutil
import subprocess
import sys
import tempfile


def main():
    tree, program = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory(prefix="zarn-install-") as home:
        env = dict(os.environ, HOME=home, XDG_DATA_HOME=os.path.join(home, "data"),
                   XDG_CONFIG_HOME=os.path.join(home, "config"), ZARN_PROGRAM=program)
        for _ in range(2):  # a second install replaces the first
            subprocess.run(["bash", os.path.join(tree, "scripts", "install.sh")], env=env, check=True,
                           stdout=subprocess.DEVNULL)
        folder = os.path.join(home, "data", "zarn")
        failures = []
        if not os.access(os.path.join(folder, "zarn"), os.X_OK):
            failures.append("the program is installed")
        with open(os.path.join(home, "data", "applications", "zarn.desktop")) as f:
            desktop = f.read()
        if "MimeType=x-scheme-handler/zarn;" not in desktop:
            failures.append("the .desktop file claims zarn:// links")
        if 'Exec="%s/zarn-link" %%u' % folder not in desktop:
            failures.append("the .desktop file starts the link handler: " + desktop)
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
        with open(os.path.join(folder, "zarn"), "w") as f:
            f.write("#!/bin/sh\nprintf '%%s\\n' \"$#\" \"$@\" > '%s'\n" % args_file)
        subprocess.run([os.path.join(folder, "zarn-link"), "zarn://QUJD"], check=True)
        with open(args_file) as f:
            got = f.read().splitlines()
        if got != ["1", '"zarn://QUJD/"']:
            failures.append("the handler passes one argument, quote link / quote: %r" % got)
        for f in failures:
            print("FAILED:", f)
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
