#!/usr/bin/env python3
"""Windows zarn under Wine: start to service request (a loopback service
records when the request arrives; it answers an empty script, so the job
prints nothing and ends), zarn started as Windows starts it for a link: the
zarn:// protocol's command run from a batch file by cmd.exe (whose own
start is counted; Wine's start.exe does not look up the user's protocols); and zarn-render.exe of the sample invoice to a PDF,
start to exit. The Wine server is kept running between runs, as on a desk
where Wine is in use. No target: Wine is not Windows.

usage: wine.py FOLDER [RUNS]   (FOLDER: build-windows/zarn)
Runs on DISPLAY (run it under xvfb-run when there is none).

Measured on the shared 2-core development machine with one other build
running (load about 1.3; Wine 8, Xvfb, 3 runs), median (fastest):
  zarn.exe, start to service request:   719 ms (639 ms), cmd.exe's start included
  zarn-render.exe of the sample invoice: 467 ms (365 ms), start to exit, its PDF
                                         reading INVOICE (a render that does not is not counted)
beside Linux's 45 ms (43 ms) to the request, measured in the same hour
(bench/startup/startup.py, 5 runs); most of the difference is Wine starting a Windows process and loading Qt's DLLs.
"""
import base64
import os
import pathlib
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

folder = pathlib.Path(sys.argv[1]).resolve()
runs = int(sys.argv[2]) if len(sys.argv) > 2 else 7
source = pathlib.Path(__file__).resolve().parents[2]
scratch = pathlib.Path(tempfile.mkdtemp(prefix="zarn-wine-bench-"))
os.environ.update(WINEPREFIX=str(scratch / "prefix"), WINEDEBUG="-all")
os.environ.pop("QT_QPA_PLATFORM", None)
app = scratch / "zarn"
shutil.copytree(folder, app)
(app / "zarn.ini").write_bytes(b"0\r\n\r\n127.0.0.1\r\n")

arrived = []
sock = socket.socket()
sock.bind(("127.0.0.1", 0))
sock.listen(8)


def serve():
    while True:
        try:
            conn, _ = sock.accept()
        except OSError:
            return
        conn.recv(4096)
        arrived.append(time.monotonic())
        conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        conn.close()


threading.Thread(target=serve, daemon=True).start()
link = "zarn://" + base64.b64encode(f"127.0.0.1:{sock.getsockname()[1]}/print?job=x".encode()).decode()
try:
    subprocess.run(["wineboot", "--init"], capture_output=True, timeout=300)
    server = subprocess.Popen(["wineserver", "-p"])  # stays until killed
    exe = "Z:" + str(app / "zarn.exe").replace("/", "\\")
    batch = scratch / "open-link.bat"
    batch.write_bytes(f'@"{exe}" "{link}/"\r\n'.encode())
    open_link = ["wine", "cmd", "/c", "Z:" + str(batch).replace("/", "\\")]
    # A first run warms the prefix and the page cache.
    subprocess.run(open_link, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
    requests, renders = [], []
    for _ in range(runs):
        before = len(arrived)
        start = time.monotonic()
        subprocess.run(open_link, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        if len(arrived) > before:
            requests.append((arrived[before] - start) * 1000)
        pdf = scratch / "invoice.pdf"
        pdf.unlink(missing_ok=True)
        start = time.monotonic()
        render = subprocess.run(["wine", str(app / "zarn-render.exe"),
                                 str(source / "examples" / "scripts" / "invoice.txt"), "-o", str(pdf)],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)
        took = (time.monotonic() - start) * 1000
        # Only a render that printed the invoice counts.
        text = subprocess.run(["pdftotext", str(pdf), "-"], capture_output=True, text=True).stdout if pdf.exists() else ""
        if render.returncode == 0 and "INVOICE" in text:
            renders.append(took)
        else:
            print(f"zarn-render.exe: exit {render.returncode}, the PDF does not read INVOICE; not counted")
    for name, values in (("zarn.exe, start to service request", requests),
                         ("zarn-render.exe of the sample invoice, start to exit", renders)):
        if values:
            print(f"{name}: median {statistics.median(values):.0f} ms, fastest {min(values):.0f} ms "
                  f"({len(values)} runs)")
        else:
            print(f"{name}: no run reached it")
finally:
    sock.close()
    subprocess.run(["wineserver", "-k"], capture_output=True)
    shutil.rmtree(scratch, ignore_errors=True)
