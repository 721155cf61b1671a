"""What the end-to-end scripts need to run the real zarn: a scratch home, a
print service on loopback, the argument the link handler starts the program
with, and answers for its message boxes."""
import base64
import os
import subprocess
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

from service_answers import allow_loopback_service


def handler_argument(request):
    """The one argument the link handler gives zarn for a service request:
    quote, "zarn://" and the Base64 of the request, "/", quote."""
    return '"zarn://%s/"' % base64.b64encode(request.encode()).decode()


def scratch_home(folder, base=None):
    """The environment for a run under folder/home, with its XDG folders (a
    private runtime folder) inside, the loopback service allowed, and no
    printers of the machine: the run leaves nothing outside the folder."""
    home = os.path.join(folder, "home")
    runtime = os.path.join(home, "runtime")
    os.makedirs(runtime, mode=0o700)
    allow_loopback_service(home)
    return dict(os.environ if base is None else base, HOME=home, XDG_CONFIG_HOME=os.path.join(home, ".config"),
                XDG_DATA_HOME=os.path.join(home, ".local", "share"), XDG_CACHE_HOME=os.path.join(home, ".cache"),
                XDG_RUNTIME_DIR=runtime, CUPS_SERVER=os.path.join(folder, "no-cups.sock"))


class LoopbackService(ThreadingHTTPServer):
    """A service on 127.0.0.1 at a free port, serving from a thread of its
    own: counts the requests and answers each GET with 200 and answer(path),
    as content_type when one is set."""
    daemon_threads = True
    content_type = None

    def __init__(self):
        super().__init__(("127.0.0.1", 0), _Reply)
        self.count = 0
        threading.Thread(target=self.serve_forever, daemon=True).start()

    def answer(self, path):
        raise NotImplementedError


class _Reply(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        self.server.count += 1
        body = self.server.answer(self.path)
        self.send_response(200)
        if self.server.content_type:
            self.send_header("Content-Type", self.server.content_type)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


def window_role(window):
    """The window's WM_WINDOW_ROLE, empty when it has none; None when the
    window is gone (it may close between the search and this look)."""
    done = subprocess.run(["xprop", "-id", window, "WM_WINDOW_ROLE"], capture_output=True, text=True)
    if done.returncode != 0:
        return None
    return done.stdout.split("=", 1)[1].strip().strip('"') if "=" in done.stdout else ""


def zarn_windows():
    """The visible windows titled "zarn": the main window and the boxes."""
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^zarn$"],
                          capture_output=True, text=True).stdout.split()


def zarn_boxes():
    """The program's visible boxes: titled "zarn", without the main window's
    role "frmMAIN"."""
    return [w for w in zarn_windows() if window_role(w) == ""]


def zarn_main_window():
    """The program's main window, None while it is not shown."""
    return next((w for w in zarn_windows() if window_role(w) == "frmMAIN"), None)


def answer_box(window, keys):
    """Focuses the box and types the keys."""
    subprocess.run(["xdotool", "windowfocus", "--sync", window], capture_output=True, timeout=5)
    subprocess.run(["xdotool", "key", "--delay", "50"] + keys, capture_output=True, timeout=5)


def answer_boxes(procs, keys, seconds):
    """Answers each new "zarn" box with the next keys (the last repeat) until
    every process has ended, killing what still runs after seconds; returns
    how many boxes were answered."""
    done, answered, start = set(), 0, time.monotonic()
    while any(p.poll() is None for p in procs) and time.monotonic() - start < seconds:
        fresh = [w for w in zarn_boxes() if w not in done]
        if fresh:
            time.sleep(1.3)  # the box takes keys after its first second
            answer_box(fresh[-1], keys[min(answered, len(keys) - 1)])
            done.add(fresh[-1])
            answered += 1
        time.sleep(0.1)
    for p in procs:
        if p.poll() is None:
            p.kill()
        p.wait()
    return answered


def session_bus(env):
    """A private session bus (dbus-daemon): its process, and env with its address."""
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)
    return bus, dict(env, DBUS_SESSION_BUS_ADDRESS=bus.stdout.readline().strip())


def finish(failures, **seen):
    """Prints the failures and what was seen; the exit status of the test."""
    for f in failures:
        print("FAILED:", f)
    for name, value in seen.items():
        print("%s:" % name, value)
    print("%d checks failed" % len(failures))
    return 1 if failures else 0
