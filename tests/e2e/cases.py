"""End-to-end cases: the whole program under Wine, a real nginx over real TLS, real clicks and screenshots.

Each case is one ctest test: `cases.py CASE`. The program downloads from https://localhost:PORT (its build's
download host); this file runs the TLS server there and, behind it, a scripted backend on PORT+1.
"""
import os
import shutil
import socket
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "scripts", "lib"))
import drive  # noqa: E402
from PIL import ImageChops  # noqa: E402

PROGRAM = os.environ["TARNVIK_E2E_PROGRAM"]
INSTALLER = os.environ["TARNVIK_E2E_INSTALLER"]
PORT = int(os.environ["TARNVIK_E2E_PORT"])
WORK = os.environ["TARNVIK_E2E_WORK"]
# Each case keeps Wine's output of every program it starts in a folder of its own, and prints it when it fails.
LOGS = []


def start_program(wrapper=()):
    log = os.path.join(CASE_WORK, f"wine-{len(LOGS) + 1}.log")
    LOGS.append(log)
    return drive.Program(PROGRAM, stderr_path=log, wrapper=wrapper).start()


def shows_button(capture, left_top, names):
    """True when the window shows one of the named button images at left_top, pixel for pixel."""
    for name in names:
        image = drive.bitmap(name)
        box = (left_top[0], left_top[1], left_top[0] + image.width, left_top[1] + image.height)
        if not ImageChops.difference(capture.crop(box), image).getbbox():
            return True
    return False


def expect_frame(capture, colour):
    corners = [(0, 0), (649, 0), (0, 359), (649, 359), (325, 0), (0, 180)]
    expect(all(capture.getpixel(p) == colour for p in corners), f"the window's frame is not {colour}")


def fresh_folder(name):
    path = os.path.join(WORK, name)
    shutil.rmtree(path, ignore_errors=True)
    return path


def installer_payload(size):
    """The project's test installer, padded to `size` bytes and signed by the publisher the test build pins."""
    return drive.signed_installer(INSTALLER, size, os.path.join(WORK, "installer"))


def expect(condition, message):
    if not condition:
        raise AssertionError(message)


def case_complete_download_then_install():
    folder = fresh_folder("complete")  # missing: the program creates it
    payload = installer_payload(3 * 1024 * 1024)
    with drive.TlsServer(os.path.join(WORK, "server"), PORT) as server:
        server.publish("TarnvikBrowser.exe", payload)
        program = start_program()
        try:
            program.wait_view("ready")
            ready = program.capture()
            expect_frame(ready, (7, 178, 189))
            expect(shows_button(ready, drive.ACTION_LEFT_TOP, ["download_normal.bmp"]), "no Download button")
            program.set_folder(drive.windows_path(folder))
            program.click(*drive.ACTION_BUTTON)
            program.wait_view("completed", 60)
            completed = program.capture()
            expect_frame(completed, (8, 176, 187))
            expect(shows_button(completed, drive.ACTION_LEFT_TOP, ["install_hover.bmp", "install_normal.bmp"]),
                   "no Install button")
            target = os.path.join(folder, "TarnvikBrowser.exe")
            expect(drive.sha256(target) == drive.sha256_bytes(payload), "the downloaded file differs from the served one")
            program.click(*drive.ACTION_BUTTON)  # Install
            expect(program.wait_exit(15) == 0, "the downloader did not end cleanly after starting the installer")
            drive.wait_for(lambda: os.path.exists(target + ".ran"), 15, 0.1, "the installer's marker")
        finally:
            program.kill()
            server.withdraw("TarnvikBrowser.exe")


class LateResolver:
    """A DNS server on 127.0.0.2:53 that answers each A query with 127.0.0.1 `delay` seconds late (and each other
    query at once, with no address), and the files that make it the only resolver of a program in a mount namespace
    of its own: a hosts file without localhost, and a resolv.conf that names it."""

    ADDRESS = "127.0.0.2"

    def __init__(self, delay, folder):
        self.delay = delay
        self.late_answers = 0
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((self.ADDRESS, 53))
        os.makedirs(folder, exist_ok=True)
        self.hosts, self.resolv = os.path.join(folder, "hosts"), os.path.join(folder, "resolv.conf")
        with open(self.hosts, "w") as f:
            f.write("# no names: every one is asked of the late resolver\n")
        with open(self.resolv, "w") as f:
            f.write(f"nameserver {self.ADDRESS}\n")

    def wrapper(self):
        """The command that runs a program with this resolver alone, in a mount namespace whose mounts are all private
        (made so here, or already so inside the Wine 10 root, where / is no mount point), so that the two files
        bound over this machine's are seen by the program alone."""
        script = (f"mount --make-rprivate / 2>/dev/null; ! grep -q ' shared:' /proc/self/mountinfo && "
                  f"mount --bind {self.hosts} /etc/hosts && mount --bind {self.resolv} /etc/resolv.conf && exec \"$@\"")
        return ["unshare", "--mount", "--propagation", "unchanged", "sh", "-c", script, "late-name"]

    def serve(self):
        while True:
            try:
                query, client = self.sock.recvfrom(512)
            except OSError:
                return
            end = query.index(b"\0", 12) + 5  # the question: the name, then its type and class
            is_a = query[end - 4:end - 2] == b"\0\1"
            answer = b"\xc0\x0c\0\1\0\1\0\0\0\0\0\4" + socket.inet_aton("127.0.0.1") if is_a else b""
            reply = query[:2] + b"\x81\x80\0\1" + (b"\0\1" if is_a else b"\0\0") + b"\0\0\0\0" + query[12:end] + answer
            self.late_answers += is_a
            threading.Timer(self.delay if is_a else 0, self.sock.sendto, (reply, client)).start()

    def __enter__(self):
        threading.Thread(target=self.serve, daemon=True).start()
        return self

    def __exit__(self, *exc):
        self.sock.close()


def case_name_answered_late_completes():
    # The resolver of Windows asks again after 1 and 2 s and waits up to 10 s: a name that comes 3 s late is found.
    folder = fresh_folder("late-name")
    payload = installer_payload(256 * 1024)
    with drive.TlsServer(os.path.join(WORK, "server"), PORT) as server, \
            LateResolver(3, os.path.join(CASE_WORK, "resolver")) as resolver:
        server.publish("TarnvikBrowser.exe", payload)
        program = start_program(resolver.wrapper())
        try:
            program.set_folder(drive.windows_path(folder))
            program.click(*drive.ACTION_BUTTON)
            program.wait_view("completed", 60)
            expect(resolver.late_answers > 0, "the program never asked the late resolver")
            target = os.path.join(folder, "TarnvikBrowser.exe")
            expect(drive.sha256(target) == drive.sha256_bytes(payload), "the downloaded file differs from the served one")
        finally:
            program.kill()
            server.withdraw("TarnvikBrowser.exe")


def case_server_stops_mid_body_then_redownload():
    folder = fresh_folder("cut")
    os.makedirs(folder)
    payload = installer_payload(2 * 1024 * 1024)
    with drive.TlsServer(os.path.join(WORK, "server"), PORT):
        program = start_program()
        try:
            program.set_folder(drive.windows_path(folder))
            with drive.Backend(PORT + 1, payload, cut_after=len(payload) // 2):
                program.click(*drive.ACTION_BUTTON)
                program.wait_view("download failed", 60)
            # The build pins a publisher: the unchecked part of the file is not left under the installer's name.
            target = os.path.join(folder, "TarnvikBrowser.exe")
            expect(not os.listdir(folder), "the cut download left a file")
            with drive.Backend(PORT + 1, payload):
                program.click(*drive.ACTION_BUTTON)  # Redownload
                program.wait_view("completed", 60)
            expect(drive.sha256(target) == drive.sha256_bytes(payload), "the second download is not complete")
        finally:
            program.kill()


def case_close_during_download_asks_first():
    folder = fresh_folder("close")
    os.makedirs(folder)
    payload = installer_payload(4 * 1024 * 1024)
    with drive.TlsServer(os.path.join(WORK, "server"), PORT), drive.Backend(PORT + 1, payload, rate=200 * 1024):
        program = start_program()
        try:
            program.set_folder(drive.windows_path(folder))
            program.click(*drive.ACTION_BUTTON)
            program.wait_view("downloading", 30)
            program.click(*drive.CLOSE_BUTTON)
            drive.wait_for(lambda: program.tip_is_open(), 10, 0.2, "the confirmation")
            program.click(*drive.TIP_CANCEL)
            drive.wait_for(lambda: not program.tip_is_open(), 10, 0.2, "the confirmation to close")
            program.wait_view("downloading", 5)
            expect(program.process.poll() is None, "Cancel ended the program")
            program.click(*drive.CLOSE_BUTTON)
            drive.wait_for(lambda: program.tip_is_open(), 10, 0.2, "the confirmation, again")
            program.click(*drive.TIP_OK)
            # The window goes at once; the program ends after the stop wait (3 s at most), long before the rest of
            # the body (some 15 s at this rate) would have come. How much longer Wine takes to end a process
            # varies with the machine's load, so only the order of these is asserted.
            drive.wait_for(lambda: not program.is_visible(), 3, 0.1, "the window to hide")
            expect(program.wait_exit(10) == 0, "the program did not end cleanly while the download ran on")
            # The build pins a publisher: the stopped download's unchecked file goes with it.
            drive.wait_for(lambda: not os.listdir(folder), 10, 0.1, "the stopped download's file to go")
        finally:
            program.kill()


def case_two_copies_download_on_their_own():
    payload = installer_payload(2 * 1024 * 1024)
    folders = [fresh_folder("copy1"), fresh_folder("copy2")]
    with drive.TlsServer(os.path.join(WORK, "server"), PORT) as server:
        server.publish("TarnvikBrowser.exe", payload)
        first = start_program()
        second = start_program()
        try:
            expect(first.wid != second.wid, "the second copy did not open a window of its own")
            # Both start centred; dragging the second one's background moves it up and out of the first one's way.
            before = second.origin()
            second.drag(40, 300, 0, -200)
            # The move follows the pointer step by step; under load the last step lands a moment after the release.
            moved = (before[0], before[1] - 200)
            drive.wait_for(lambda: second.origin() == moved, 5, 0.1, f"the window to move with the pointer to {moved}")
            for program, folder in zip((second, first), reversed(folders)):
                program.set_folder(drive.windows_path(folder))
                program.click(*drive.ACTION_BUTTON)
            for folder in folders:
                target = os.path.join(folder, "TarnvikBrowser.exe")
                drive.wait_for(lambda: os.path.exists(target) and os.path.getsize(target) == len(payload), 60, 0.2,
                               f"the download into {folder}")
                expect(drive.sha256(target) == drive.sha256_bytes(payload), f"{target} differs from the served file")
        finally:
            first.kill()
            second.kill()
            server.withdraw("TarnvikBrowser.exe")


def failed_download(server_untrusted=False, redirect=None):
    folder = fresh_folder("refused")
    os.makedirs(folder)
    payload = installer_payload(256 * 1024)
    with drive.TlsServer(os.path.join(WORK, "server"), PORT, untrusted=server_untrusted) as server:
        server.publish("TarnvikBrowser.exe", payload) if not redirect else None
        with drive.Backend(PORT + 1, payload, redirect=redirect):
            program = start_program()
            try:
                program.set_folder(drive.windows_path(folder))
                program.click(*drive.ACTION_BUTTON)
                program.wait_view("download failed", 30)
            finally:
                program.kill()
                server.withdraw("TarnvikBrowser.exe")


def case_untrusted_certificate_fails():
    failed_download(server_untrusted=True)


def case_redirect_to_http_fails():
    failed_download(redirect=f"http://localhost:{PORT + 1}/plain/TarnvikBrowser.exe")


def case_unusable_folder_shows_message():
    with drive.TlsServer(os.path.join(WORK, "server"), PORT):
        program = start_program()
        try:
            program.set_folder("dl\\new")  # relative: never created
            program.click(*drive.ACTION_BUTTON)
            drive.wait_for(drive.message_box, 10, 0.1, "the message box")
            drive.close_message_box()
            time.sleep(1.0)
            program.wait_view("ready", 5)
        finally:
            program.kill()


if __name__ == "__main__":
    name = sys.argv[1]
    CASE_WORK = os.path.join(WORK, "logs", name)
    shutil.rmtree(CASE_WORK, ignore_errors=True)
    os.makedirs(CASE_WORK)
    try:
        globals()["case_" + name]()
    except BaseException:
        for log in LOGS:
            with open(log, errors="replace") as f:
                print(f"--- Wine's output of the program ({log}):\n{f.read()}--- end of {log}", file=sys.stderr)
        raise
    print(f"e2e {name}: passed")
