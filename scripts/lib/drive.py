"""Drives the real program from outside, as a user would: a TLS web server on loopback, a scripted backend behind
it, the program under Wine on an X display, clicks with xdotool and screenshots read back by pixels.

Used by the end-to-end tests and by the demo. Run with Debian's /usr/bin/python3 (it needs python3-pil).
"""
import hashlib
import http.server
import os
import subprocess
import threading
import time

from PIL import Image, ImageChops, ImageStat

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPTS = os.path.join(ROOT, "scripts")
STATE = os.environ.get("TARNVIK_STATE", os.path.join(ROOT, "build", ".state"))
BITMAPS = os.path.join(ROOT, "res", "bitmaps")
MAIN_TITLE = "Tarnvik浏览器高速下载器"
MESSAGE_TITLE = "提示"
WINDOW_SIZE = (650, 360)

# Client coordinates of what a user clicks (the layout of the main window).
ACTION_LEFT_TOP = (255, 269)  # Download, Install and Redownload share this place
ACTION_BUTTON = (325, 288)
PATH_BOX = (325, 201)
CLOSE_BUTTON = (624, 26)
TIP_OFFSET = (172, 88)  # the confirmation sits here when centred on the main window
TIP_SIZE = (307, 185)
TIP_OK = (TIP_OFFSET[0] + 58 + 46, TIP_OFFSET[1] + 115 + 13)
TIP_CANCEL = (TIP_OFFSET[0] + 156 + 46, TIP_OFFSET[1] + 115 + 13)

# The background bitmap of each view of the main window.
VIEWS = {
    "ready": "bg_ready.bmp",
    "downloading": "bg_downloading.bmp",
    "download failed": "bg_download_failed.bmp",
    "completed": "bg_completed.bmp",
    "install failed": "bg_install_failed.bmp",
}
# Areas the controls cover in some view; the rest of the window is pure background.
CONTROL_AREAS = [(150, 180, 540, 220), (250, 264, 400, 313), (20, 300, 630, 355), (585, 15, 635, 37)]
# Mean difference per pixel (0..255) below which a picture counts as showing a bitmap.
SAME_PICTURE = 2.0


def wait_for(predicate, timeout, step=0.05, what="condition"):
    """Polls predicate until it returns something truthy; raises TimeoutError after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(step)


def bitmap(name):
    return Image.open(os.path.join(BITMAPS, name)).convert("RGB")


def mean_difference(image, reference, mask):
    return ImageStat.Stat(ImageChops.difference(image, reference).convert("L"), mask).mean[0]


def view_of(capture):
    """The view whose background bitmap the window shows (outside the controls), with its mean difference."""
    mask = Image.new("L", WINDOW_SIZE, 255)
    for box in CONTROL_AREAS:
        mask.paste(0, box)
    scores = {view: mean_difference(capture, bitmap(name), mask) for view, name in VIEWS.items()}
    view = min(scores, key=scores.get)
    return view, scores[view]


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def windows_path(linux_path):
    """The path as Wine's programs see it (drive Z: is the Linux root)."""
    return "Z:" + os.path.abspath(linux_path).replace("/", "\\")


class TlsServer:
    """nginx on https://localhost:PORT (scripts/test-server): files under www/ as they are, the rest proxied to
    the scripted backend on PORT+1. With untrusted=True it presents a certificate the prefix does not trust."""

    def __init__(self, directory, port, untrusted=False):
        self.directory, self.port, self.untrusted = directory, port, untrusted
        self.www = os.path.join(directory, "www")

    def __enter__(self):
        args = [os.path.join(SCRIPTS, "test-server"), "start", self.directory, str(self.port)]
        if self.untrusted:
            args.append("untrusted")
        subprocess.run(args, check=True)
        return self

    def __exit__(self, *exc):
        subprocess.run([os.path.join(SCRIPTS, "test-server"), "stop", self.directory], check=False)

    def publish(self, name, data):
        os.makedirs(self.www, exist_ok=True)
        with open(os.path.join(self.www, name), "wb") as f:
            f.write(data)

    def withdraw(self, name):
        path = os.path.join(self.www, name)
        if os.path.exists(path):
            os.remove(path)


class Backend:
    """The scripted server behind nginx: serves `body` with a Content-Length (or, with length=False, without one,
    ending it by closing the connection), optionally slowly (bytes per second), cut off after `cut_after` bytes, or
    answers with a redirect to `redirect` (except for paths under /plain/, which it serves, so that a redirect can
    point back at it over plain http)."""

    def __init__(self, port, body=b"", rate=None, cut_after=None, redirect=None, length=True):
        self.port, self.body, self.rate, self.cut_after, self.redirect = port, body, rate, cut_after, redirect
        self.length = length
        self.requests = []
        backend = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                backend.requests.append((self.path, dict(self.headers)))
                if backend.redirect and not self.path.startswith("/plain/"):
                    self.send_response(302)
                    self.send_header("Location", backend.redirect)
                    self.send_header("Content-Length", "0")
                    self.send_header("Connection", "close")
                    self.end_headers()
                    return
                self.send_response(200)
                self.send_header("Content-Type", "application/octet-stream")
                if backend.length:
                    self.send_header("Content-Length", str(len(backend.body)))
                self.send_header("Connection", "close")
                self.end_headers()
                backend.send_body(self.wfile)

        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", port), Handler)
        self.server.daemon_threads = True

    def send_body(self, out):
        data = self.body if self.cut_after is None else self.body[: self.cut_after]
        chunk = 8192 if self.rate is None else max(1024, self.rate // 20)
        try:
            for offset in range(0, len(data), chunk):
                out.write(data[offset : offset + chunk])
                out.flush()
                if self.rate:
                    time.sleep(chunk / self.rate)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def __enter__(self):
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.server.shutdown()
        self.server.server_close()


def xdotool(*args, check=True):
    result = subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True)
    if check and result.returncode != 0:
        raise RuntimeError(f"xdotool {' '.join(map(str, args))}: {result.stderr.strip()}")
    return result.stdout.strip()


def find_windows(title):
    out = xdotool("search", "--onlyvisible", "--name", f"^{title}$", check=False)
    return [int(w) for w in out.split()] if out else []


def window_geometry(wid):
    """(x, y, width, height) of an X window on the screen."""
    values = {}
    for line in xdotool("getwindowgeometry", "--shell", wid).splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value) if value.lstrip("-").isdigit() else value
    return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]


def click_screen(x, y):
    """A real click of the left button at screen coordinates (press and release, with the pointer moved first)."""
    xdotool("mousemove", x, y)
    time.sleep(0.05)
    xdotool("click", 1)


def press_key(key):
    xdotool("key", key)


def type_text(text):
    xdotool("type", "--delay", 20, text)


def screenshot(path=None):
    """The whole X screen as a PIL image (saved to path when one is given)."""
    data = subprocess.run(["import", "-window", "root", "png:-"], capture_output=True, check=True).stdout
    from io import BytesIO

    image = Image.open(BytesIO(data)).convert("RGB")
    if path:
        image.save(path)
    return image


class Program:
    """The downloader (or any Windows program) started under the project's Wine prefix. Wine's error output goes
    to stderr_path when one is given (with Wine's notes but its fixme lines), else nowhere. A wrapper (a command
    list) runs the program, for example in a namespace of its own."""

    def __init__(self, exe, stderr_path=None, wrapper=()):
        self.exe = exe
        self.stderr_path = stderr_path
        self.wrapper = list(wrapper)
        self.process = None
        self.wid = None

    def start(self, timeout=30):
        env = None
        if self.stderr_path:
            env = dict(os.environ, TARNVIK_WINEDEBUG="fixme-all")
        # The windows of copies already running are noted before this one starts: one that comes up at once must
        # not be taken for theirs.
        others = set(find_windows(MAIN_TITLE))
        with open(self.stderr_path or os.devnull, "ab") as errors:
            self.process = subprocess.Popen(self.wrapper + [os.path.join(SCRIPTS, "wine-run"), self.exe], env=env,
                                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=errors)
        self.wid = wait_for(lambda: next((w for w in find_windows(MAIN_TITLE) if w not in others), None),
                            timeout, 0.1, "the main window")
        return self

    def drag(self, x, y, dx, dy):
        """Presses the left button at a client point, moves the pointer by (dx, dy) and releases it."""
        ox, oy = self.origin()
        xdotool("mousemove", ox + x, oy + y)
        xdotool("mousedown", 1)
        time.sleep(0.1)  # the window enters its move loop on the press, as under a hand
        for step in range(1, 5):
            xdotool("mousemove", ox + x + dx * step // 4, oy + y + dy * step // 4)
            time.sleep(0.05)
        xdotool("mouseup", 1)

    def origin(self):
        x, y, _, _ = window_geometry(self.wid)
        return x, y

    def click(self, x, y):
        """Clicks at a point given in the main window's client coordinates."""
        ox, oy = self.origin()
        click_screen(ox + x, oy + y)

    def capture(self, path=None):
        """The main window's 650 x 360 pixels as they are on screen."""
        ox, oy = self.origin()
        image = screenshot().crop((ox, oy, ox + WINDOW_SIZE[0], oy + WINDOW_SIZE[1]))
        if path:
            image.save(path)
        return image

    def set_folder(self, folder):
        """Types a folder into the path box as a user would: click, select everything, type."""
        self.click(*PATH_BOX)
        press_key("End")
        press_key("shift+Home")
        press_key("BackSpace")
        type_text(folder)

    def wait_view(self, view, timeout=30):
        """Waits until the window shows the view's background."""
        def shows():
            current, score = view_of(self.capture())
            return current == view and score < SAME_PICTURE
        wait_for(shows, timeout, 0.2, f"the {view} view")

    def tip_is_open(self):
        """True when the confirmation's picture sits over the main window at its centred place."""
        ox, oy = self.origin()
        left, top = ox + TIP_OFFSET[0], oy + TIP_OFFSET[1]
        shot = screenshot().crop((left, top, left + TIP_SIZE[0], top + TIP_SIZE[1]))
        mask = Image.new("L", TIP_SIZE, 255)
        mask.paste(0, (50, 40, 260, 150))  # the buttons
        return mean_difference(shot, bitmap("bg_tip.bmp"), mask) < SAME_PICTURE

    def is_visible(self):
        return self.wid in find_windows(MAIN_TITLE)

    def wait_exit(self, timeout):
        """The process's exit code, once it has ended; raises TimeoutError when it has not ended in time."""
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise TimeoutError(f"the program did not end within {timeout} s") from None

    def kill(self):
        if self.process and self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def message_box():
    """The X window of an open "提示" message box, or None."""
    boxes = find_windows(MESSAGE_TITLE)
    return boxes[0] if boxes else None


def close_message_box():
    """Answers an open message box with Enter (it has the focus) and waits until it is gone."""
    wait_for(message_box, 10, 0.1, "a message box")
    xdotool("key", "Return")
    wait_for(lambda: not message_box(), 10, 0.1, "the message box to close")


def padded_installer(installer, size):
    """The test installer padded to `size` bytes (a program runs with data appended to its image)."""
    with open(installer, "rb") as f:
        data = f.read()
    return data + bytes((i * 7 + 3) & 0xFF for i in range(size - len(data)))


def signed_installer(installer, size, work):
    """The padded test installer, then signed by the test publisher through the test authority: the signature
    covers the padding, and the test build, which pins that publisher, keeps and starts it."""
    data = padded_installer(installer, size)
    os.makedirs(work, exist_ok=True)
    unsigned, signed = os.path.join(work, "unsigned.exe"), os.path.join(work, "signed.exe")
    with open(unsigned, "wb") as f:
        f.write(data)
    if os.path.exists(signed):
        os.remove(signed)
    tls = os.path.join(STATE, "tls")
    subprocess.run(["osslsigncode", "sign", "-certs", os.path.join(tls, "codesign-chain.pem"),
                    "-key", os.path.join(tls, "codesign.key"), "-h", "sha256", "-in", unsigned, "-out", signed],
                   check=True, stdout=subprocess.DEVNULL)
    with open(signed, "rb") as f:
        return f.read()


def sha256_bytes(data):
    return hashlib.sha256(data).hexdigest()
