#!/usr/bin/env python3
"""The include rules of the source tree (ARCHITECTURE.md), checked on every file.

  include_rules.py SOURCE_ROOT QT_INCLUDE_ROOT

QT_INCLUDE_ROOT holds one folder per Qt module (QtCore, QtGui, ...), so a
<QFoo> header is known by the folder it is in. Prints one line per broken
rule and exits 1 when there is any.
"""
import pathlib
import re
import sys

ROOT = pathlib.Path(sys.argv[1]).resolve()
QT = pathlib.Path(sys.argv[2])

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
SOURCES = {".h", ".cpp", ".in"}

# The folders of the shared program: they see the seam (platform/), never a
# machine's parts. qt/ holds the real parts both machines share: zarn_qt over
# Qt Core and Gui, zarn_qt_desktop over Widgets and PrintSupport too.
SHARED = ["errortrap", "decoding", "web", "engine", "forms", "pdf", "qr", "launch"]
MACHINES = ["linux", "windows"]
# Besides a machine's own folder and app/, only its tests and the benchmarks
# of the real parts include a machine's parts.
MACHINE_USERS = {m: [m, "app", f"tests/{m}", "bench"] for m in MACHINES}
# The form procedures' tests run on the Linux form store, the one spooler
# there is outside Windows.
MACHINE_USERS["linux"].append("tests/forms")
# The libraries the seam and the error trap must not carry.
HEAVY = ["Qt6::Widgets", "Qt6::PrintSupport", "Qt6::DBus", "CURL::", "Cups::", "PkgConfig::XCB",
         "PkgConfig::FONTCONFIG", "zarn_linux", "zarn_windows"]
# What no library of qt/ links: a machine's own libraries and parts.
MACHINE_LIBS = [h for h in HEAVY if h not in ("Qt6::Widgets", "Qt6::PrintSupport")] + [
    "winhttp", "winspool", "ws2_32", "shell32", "ole32", "OpenSSL::"]
# The one library of qt/ that may carry widgets and printing.
QT_DESKTOP = "zarn_qt_desktop"


def qt_module(header):
    for module in QT.iterdir():
        if (module / header).exists():
            return module.name
    return None


def system_header_ok(header, modules=("QtCore", "QtGui")):
    """Standard C++ headers and the given Qt modules only (never windows.h,
    CUPS, curl, D-Bus or xcb: they have "." or "/" in their names)."""
    if header.startswith("Q"):
        return qt_module(header) in modules
    return "/" not in header and "." not in header  # <vector>, <cstdint>


def links(cmake):
    """The libraries each target_link_libraries() of a CMakeLists.txt names, by target."""
    found = {}
    for target, args in re.findall(r"target_link_libraries\s*\(\s*(\S+)([^)]*)\)", cmake):
        found.setdefault(target, []).extend(args.split())
    return found


def under(path, folder):
    return path == folder or path.startswith(folder + "/")


def files():
    for path in sorted(ROOT.rglob("*")):
        rel = path.relative_to(ROOT).as_posix()
        if path.suffix in SOURCES and not rel.startswith((".git/", "build")) and path.is_file():
            yield rel, path.read_text(encoding="utf-8", errors="replace")


faults = []
for rel, text in files():
    for kind, name in INCLUDE.findall(text):
        where = f"{rel}: #include {kind}{name}{'>' if kind == '<' else kind}"
        top = name.split("/")[0]
        if under(rel, "platform"):
            if kind == '"' and top != "platform":
                faults.append(f"{where}: platform/ includes only platform/")
            if kind == "<" and not system_header_ok(name):
                faults.append(f"{where}: platform/ uses the standard library and Qt Core and Gui alone")
        if kind == '"' and top in MACHINES and not any(under(rel, u) for u in MACHINE_USERS[top]):
            faults.append(f"{where}: only {', '.join(MACHINE_USERS[top])} include {top}/")
        if kind == '"' and top == "qt" and any(under(rel, s) for s in SHARED):
            faults.append(f"{where}: the shared folders reach the real parts through platform/")
        if under(rel, "qt") and kind == "<" and not system_header_ok(
                name, ("QtCore", "QtGui", "QtWidgets", "QtPrintSupport")):
            faults.append(f"{where}: qt/ uses the standard library and Qt Core, Gui, Widgets and PrintSupport alone")
        if under(rel, "qt") and kind == '"' and top not in ("platform", "errortrap", "qt"):
            faults.append(f"{where}: qt/ includes platform/, errortrap/ and qt/ alone")
        if under(rel, "errortrap") and kind == '"' and top not in ("errortrap", "platform", "version.h"):
            faults.append(f"{where}: errortrap/ depends on nothing above it")

for folder in ["platform", "errortrap"]:
    cmake = (ROOT / folder / "CMakeLists.txt").read_text()
    for target in HEAVY:
        if target in cmake:
            faults.append(f"{folder}/CMakeLists.txt: links {target}")
for target, libs in links((ROOT / "qt" / "CMakeLists.txt").read_text()).items():
    banned = MACHINE_LIBS if target == QT_DESKTOP else HEAVY
    for lib in libs:
        if any(lib.startswith(b) for b in banned):
            faults.append(f"qt/CMakeLists.txt: {target} links {lib}")
for cmake in sorted(ROOT.glob("*/CMakeLists.txt")):
    if re.search(r"file\s*\(\s*GLOB", cmake.read_text()) and cmake.parent.name not in ("tests", "bench"):
        faults.append(f"{cmake.relative_to(ROOT)}: sources are listed, not globbed")

print("\n".join(faults) if faults else "include rules hold")
sys.exit(1 if faults else 0)
