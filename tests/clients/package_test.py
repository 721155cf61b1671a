#!/usr/bin/env python3
"""The builders as packages: versioned with zarn, installed from the checkout
into a scratch folder (npm from a packed tarball, pip without the network) and
used from there as a service would use them.

usage: package_test.py <checkout> <zarn version>"""
import json
import os
import re
import subprocess
import sys
import tempfile


def run(args, **kw):
    # Bytes decoded by hand: text mode would turn the scripts' CR LF into LF.
    done = subprocess.run(args, check=True, capture_output=True, timeout=300, **kw)
    done.stdout = done.stdout.decode("utf-8")
    return done


def main():
    checkout, version = sys.argv[1], sys.argv[2]
    js, py = os.path.join(checkout, "clients", "js"), os.path.join(checkout, "clients", "python")
    with open(os.path.join(js, "package.json")) as f:
        assert json.load(f)["version"] == version, "package.json is not version " + version
    with open(os.path.join(py, "pyproject.toml")) as f:
        assert re.search(r'^version = "%s"$' % re.escape(version), f.read(), re.M), "pyproject.toml is not " + version

    want = "SD|P|A4|1\r\nPT|567|0|Hi|0|0|L|0\r\nED\r\n"
    with tempfile.TemporaryDirectory(prefix="zarn-packages-") as scratch:
        tarball = run(["npm", "pack", "--silent", "--pack-destination", scratch, js]).stdout.strip().splitlines()[-1]
        app = os.path.join(scratch, "service")
        os.mkdir(app)
        with open(os.path.join(app, "package.json"), "w") as f:
            json.dump({"name": "service", "version": "0.0.0", "type": "module"}, f)
        run(["npm", "install", "--offline", "--no-audit", "--no-fund", os.path.join(scratch, tarball)], cwd=app)
        installed = os.path.join(app, "node_modules", "zarn-script")
        assert os.path.isfile(os.path.join(installed, "zarn.d.ts")), "the declarations are not in the package"
        made = run(["node", "--input-type=module", "-e",
                    'import { Script, mm } from "zarn-script";'
                    'process.stdout.write(new Script().sd().pt({ x: mm(10), y: 0, text: "Hi" }).ed().toString());'],
                   cwd=app).stdout
        assert made == want, repr(made)

        target = os.path.join(scratch, "site")
        run([sys.executable, "-m", "pip", "install", "--quiet", "--no-index", "--no-build-isolation", "--no-deps",
             "--target", target, py], env=dict(os.environ, PIP_DISABLE_PIP_VERSION_CHECK="1"))
        made = run([sys.executable, "-c",
                    "import zarn_script as z, sys; assert z.__file__.startswith(sys.argv[1]), z.__file__;"
                    "print(str(z.Script().sd().pt(x=z.mm(10), y=0, text='Hi').ed()), end='')", target],
                   env=dict(os.environ, PYTHONPATH=target), cwd=scratch).stdout
        assert made == want, repr(made)
    print("both packages install from the checkout and build a script")


if __name__ == "__main__":
    main()
