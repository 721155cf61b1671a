#!/usr/bin/env python3
"""Windows zarn under Wine, as its user meets it: the installer run silently
for this user, its registry keys, a job started through the zarn:// protocol
against the sample service on loopback (the PDF read with pdftotext, the run
log read from the clipboard after zarn has ended), a job to a private CUPS
queue (Wine's spooler lists CUPS's queues as its printers) and the form
store's tests on it, Cancel while a slow service
is asked, the pinned certificate of an https service on loopback (another key
and plain http run nothing), an error-log line for a bad link, and the
uninstall. Run inside an X display (xvfb-run).

usage: e2e_windows.py INSTALLER SOURCE_DIR
"""
import base64
import os
import pathlib
import socket
import ssl
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "support"))
from e2e import LoopbackService, answer_box, answer_boxes, zarn_windows  # noqa: E402

installer, source = pathlib.Path(sys.argv[1]).resolve(), pathlib.Path(sys.argv[2]).resolve()
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def wine(*args, timeout=180, **kw):
    return subprocess.run(["wine", *args], capture_output=True, text=True, timeout=timeout, **kw)


def windows_path(path):
    return "Z:" + str(path).replace("/", "\\")


scratch = pathlib.Path(tempfile.mkdtemp(prefix="zarn-wine-"))
os.environ["WINEPREFIX"] = str(scratch / "prefix")
os.environ["WINEDEBUG"] = "-all"
os.environ.pop("QT_QPA_PLATFORM", None)
try:
    started = time.monotonic()
    wine("wineboot", "--init", timeout=300)
    print(f"(a new Wine prefix: {time.monotonic() - started:.0f} s)")

    # The silent install, for this user.
    wine(str(installer), "/S", timeout=300)
    user = os.environ.get("USER") or subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()
    local = scratch / "prefix" / "drive_c" / "users" / user / "AppData" / "Local"
    folder = local / "Programs" / "zarn"
    check((folder / "zarn.exe").is_file() and (folder / "platforms" / "qwindows.dll").is_file(),
          f"installed into %LOCALAPPDATA%\\Programs\\zarn ({folder})")
    command = wine("reg", "query", r"HKCU\Software\Classes\zarn\shell\open\command").stdout
    protocol = wine("reg", "query", r"HKCU\Software\Classes\zarn", "/v", "URL Protocol").stdout
    check("zarn.exe" in command and '"%1"' in command, "HKCU\\Software\\Classes\\zarn\\shell\\open\\command: "
          + " ".join(command.split()[-3:]))
    check("URL Protocol" in protocol, "HKCU\\Software\\Classes\\zarn has URL Protocol")
    registered = command.split("REG_SZ", 1)[-1].strip()

    def open_link(link, env=None):
        """Runs the registered command for the link as Windows does (Wine's
        start.exe does not look up URL protocols of the user): from a batch
        file, so the command line arrives as written."""
        batch = scratch / "open-link.bat"
        batch.write_bytes(("@" + registered.replace("%1", link) + "\r\n").encode())
        return subprocess.Popen(["wine", "cmd", "/c", windows_path(batch)], stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, env=env)

    # The sample service, and settings that ask for a PDF copy of every job.
    pdfs = scratch / "pdf"
    pdfs.mkdir()
    (folder / "zarn.ini").write_bytes(f"1\r\n{windows_path(pdfs)}\r\n127.0.0.1\r\n".encode())
    service = subprocess.Popen([sys.executable, str(source / "examples" / "sample_service.py"),
                                str(source / "examples"), "--requests", "10", "--seconds", "300"],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    port = service.stdout.readline().split()[1]
    try:
        data = base64.b64encode(f"127.0.0.1:{port}/print?job=invoice".encode()).decode()
        # As a browser hands the link to Windows: "/" after the data.
        started = time.monotonic()
        job = open_link(f"zarn://{data}/")
        boxes = answer_boxes([job], [["Return"]], 240)
        print(f"(the job through the protocol: {time.monotonic() - started:.1f} s, {boxes} boxes answered)")
        found = sorted(pdfs.rglob("*.pdf"))
        text = subprocess.run(["pdftotext", str(found[0]), "-"], capture_output=True,
                              encoding="utf-8").stdout if found else ""
        check("INVOICE" in text and "Hauptstraße 12" in text, f"the PDF copy ({found[0].name if found else 'none'}) "
              "reads INVOICE and Hauptstraße 12")
        clip = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, encoding="utf-8",
                              timeout=20).stdout
        check(clip.startswith("ZARN last run: ") and "\nZARN end: " in clip and f"127.0.0.1:{port}" in clip,
              "the run log is on the clipboard after zarn ended: " + repr(clip[:40]))
    finally:
        service.kill()
        service.wait()

    # A job on paper: Wine's spooler takes its printers from CUPS, so with a
    # private cupsd (which keeps the documents it is given) its queue is
    # Windows' printer. The loopback host is allowed by now and not yet pinned.
    cups, section = scratch / "cups", time.monotonic()
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        cups_port = s.getsockname()[1]
    cups_server = str(source / "tests" / "linux" / "cups_server.sh")
    up = subprocess.run(["bash", cups_server, "start", str(cups), str(cups_port)], capture_output=True, text=True,
                        timeout=120)
    if up.returncode != 0:
        subprocess.run(["bash", cups_server, "stop", str(cups)], capture_output=True, timeout=60)
        print("skipped the job to a CUPS queue: no private cupsd ("
              + (up.stderr.strip().splitlines() or ["exit %d" % up.returncode])[-1] + ")")
    else:
        queue_env = dict(os.environ, CUPS_SERVER=str(cups / "cups.sock"))
        try:
            class Paper(LoopbackService):
                reports = []

                def answer(self, path):
                    if path.startswith("/status"):
                        self.reports.append(path)
                        return b"ok"
                    return ("DEV|zarn-test\r\nPT|0|0|on paper|0|0|L|0\r\nED\r\n"
                            f"STATUS|http://127.0.0.1:{self.server_address[1]}/status?ticket=1\r\n").encode()

            paper = Paper()
            try:
                started = time.monotonic()
                job = open_link("zarn://" + base64.b64encode(f"127.0.0.1:{paper.server_address[1]}/print?job=p"
                                                             .encode()).decode() + "/", queue_env)
                answer_boxes([job], [["Return"]], 120)
                print(f"(the job to the CUPS queue: {time.monotonic() - started:.1f} s)")
            finally:
                paper.shutdown()
            # The PDF copy that zarn.ini asks for runs DEV too, so it goes to the
            # queue as well: two documents, the job's own first.
            kept = [f.read_bytes() for f in sorted((cups / "spool").glob("d*-001"))]
            titles = [next((line.decode(errors="replace") for line in k.splitlines() if line.startswith(b"%%Title:")),
                           "") for k in kept]
            check(len(kept) == 2 and all(b"%%Pages: 1" in k for k in kept) and titles[0].startswith("%%Title: zarn "),
                  f"the queue's cupsd kept {len(kept)} one-page PostScript documents (job, PDF copy): "
                  f"{[len(k) for k in kept]} bytes, {titles}")
            report = paper.reports[0] if paper.reports else ""
            check("status=printed" in report and "printer=zarn-test" in report, f"STATUS: {report!r}")
            if "&job=" not in report:
                print("note Wine's EnumJobsW is a stub (no jobs listed): the job in the queue is not found, "
                      "STATUS has no &job=")
            # The form store's calls on this queue (the unit tests saw no printer).
            tests = source / "build-windows" / "test_windows.exe"
            if tests.exists():
                run = wine(str(tests), "--gtest_filter=SpoolerForms.*", env=dict(queue_env,
                                                                               QT_QPA_PLATFORM="offscreen"))
                notes = [line.strip() for line in run.stdout.splitlines() if "NOTE" in line or "Failure" in line]
                check(run.returncode == 0, "the form store's tests on the CUPS queue: " + "; ".join(notes))
        finally:
            subprocess.run(["bash", cups_server, "stop", str(cups)], capture_output=True, timeout=60)
            print(f"(the CUPS queue: {time.monotonic() - section:.0f} s)")

    # Cancel while a slow service is asked (before the loopback host has a
    # pin): the transfer stops at once, the run log says so, exit status 3.
    class Slow(LoopbackService):
        def answer(self, path):
            time.sleep(60)
            return b""

    slow = Slow()
    try:
        job = open_link("zarn://" + base64.b64encode(f"127.0.0.1:{slow.server_address[1]}/print?job=x".encode())
                        .decode() + "/")
        for _ in range(300):
            if zarn_windows():
                break
            time.sleep(0.1)
        time.sleep(3)  # asking now
        pressed, window = time.monotonic(), None
        for _ in range(5):  # Alt+C, the button's access key, until the window has taken it
            # Looked up each time: Wine may give the window a new X window, and
            # gives it no role to tell it from a box by.
            window = next(iter(zarn_windows()), None)
            if window:
                answer_box(window, ["alt+c"])
            try:
                job.wait(timeout=3)
                break
            except subprocess.TimeoutExpired:
                pass
        if job.poll() is None:
            wine("taskkill", "/f", "/im", "zarn.exe", timeout=60)
            job.kill()
            job.wait()
        took = time.monotonic() - pressed
        clip = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, encoding="utf-8",
                              timeout=20).stdout
        check(window is not None and job.returncode == 3 and took < 10 and
              "\nMESSAGE :Cancelled by the user\nZARN end: " in clip.replace("\r\n", "\n"),
              f"Cancel stops the request: exit {job.returncode} after {took:.1f} s, run log ends {clip[-60:]!r}")
    finally:
        slow.shutdown()

    # Pinned certificates: the first https job pins its key in %APPDATA%\zarn; a
    # later job whose service shows another key, and plain http to the pinned
    # host, run nothing of the script (a box, a MESSAGE : line).
    class Script(LoopbackService):
        def answer(self, path):
            return b"RPTFLD|#N#|\r\n\r\nRPTDT|x|\r\n"  # runs as "MESSAGE :Repeat found"

    def certificate(name):
        key, cert = scratch / (name + ".key"), scratch / (name + ".pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", str(key), "-out",
                        str(cert), "-days", "2", "-subj", "/CN=127.0.0.1"], check=True, capture_output=True)
        return str(cert), str(key)

    def pinned_job(address):
        job = open_link("zarn://" + base64.b64encode(address.encode()).decode() + "/")
        boxes = answer_boxes([job], [["Return"]], 120)
        clip = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True, encoding="utf-8",
                              timeout=20).stdout
        return boxes, "MESSAGE :Repeat found" in clip, "did not show the certificate key zarn pinned" in clip

    tls, plain = Script(), Script()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(*certificate("first"))
    tls.socket = context.wrap_socket(tls.socket, server_side=True)
    try:
        origin = f"https://127.0.0.1:{tls.server_address[1]}"
        pins = local.parent / "Roaming" / "zarn" / "certificate-pins"
        # The window itself counts among the boxes: Wine gives it no role.
        windows, ran, refused = pinned_job(origin + "/print?job=x")
        kept = pins.read_text() if pins.exists() else ""
        check(ran and not refused and kept.startswith(origin + " sha256//"),
              f"the first https job runs and pins its key in %APPDATA%\\zarn: {kept.strip()!r}")
        context.load_cert_chain(*certificate("second"))
        got = pinned_job(origin + "/print?job=x")
        check(got == (windows + 1, False, True), f"another key runs nothing, with a box and a MESSAGE line: {got}")
        got = pinned_job(f"http://127.0.0.1:{plain.server_address[1]}/print?job=x")
        check(got == (windows + 1, False, True), f"plain http to the pinned host runs nothing: {got}")
    finally:
        tls.shutdown()
        plain.shutdown()

    # A bad link: one error-log line, the trap's box answered Abort (Alt+A; Retry is its default).
    log = folder / "error_handler.txt"
    bad = open_link("zarn://@@@@/")
    answer_boxes([bad], [["alt+a"]], 120)
    lines = log.read_bytes().decode("utf-8", "replace").splitlines() if log.exists() else []
    check(len(lines) == 1 and "Location: zarn.mBASE64.Base64Decode" in lines[0],
          "a bad link leaves one error-log line: " + (lines[0][:90] if lines else "none"))

    # The uninstall: program and registration go, the user's files stay.
    wine(str(folder / "Uninstall.exe"), "/S", timeout=120)
    for _ in range(100):  # the uninstaller runs on from a copy of itself
        if not (folder / "zarn.exe").exists():
            break
        time.sleep(0.2)
    gone = wine("reg", "query", r"HKCU\Software\Classes\zarn").returncode != 0
    check(not (folder / "zarn.exe").exists() and gone, "the uninstaller removed zarn.exe and the registration")
    check((folder / "zarn.ini").exists() and log.exists(), "zarn.ini and error_handler.txt stay")
finally:
    subprocess.run(["wineserver", "-k"], capture_output=True)
    subprocess.run(["rm", "-rf", str(scratch)])
sys.exit(1 if failures else 0)
