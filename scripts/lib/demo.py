#!/usr/bin/python3
"""The demo's walk through the program: with a display of the user's own, it serves the demo installer and waits
while the user clicks; on its own Xvfb it downloads, shows each view, installs, and saves a screenshot of each step
(and, given DOCS, half-size copies of them there).

    scripts/lib/demo.py PROGRAM INSTALLER PORT WORKDIR (interactive|walk) [DOCS]
    scripts/lib/demo.py --help
"""
import sys

if sys.argv[1:2] in (["-h"], ["--help"]):  # before the imports below, which need Debian's python3 and write caches
    print(__doc__.strip())
    sys.exit(0)

import os

import drive
from PIL import Image

SIZE = 6 * 1024 * 1024
RATE = 640 * 1024  # slow enough to watch the progress bar and answer the question for a few seconds


def say(text):
    print(f"demo: {text}", flush=True)


def walk(program_exe, body, port, work):
    shots = os.path.join(work, "screenshots")
    os.makedirs(shots, exist_ok=True)
    # The folder the program proposes, left as it is: the desktop (C:\users\USER\Desktop, in Wine the private
    # HOME's Desktop), so that the screenshots show what a user sees. The files of an earlier walk go first.
    folder = os.path.join(os.environ["HOME"], "Desktop")
    for name in os.listdir(folder):
        if name.startswith("TarnvikBrowser"):
            os.remove(os.path.join(folder, name))

    def shot(program, name, what):
        program.capture(os.path.join(shots, name))
        say(f"{what}: {os.path.join(shots, name)}")

    def view_shot(program, view, name, what):
        program.wait_view(view)
        shot(program, name, what)

    with drive.TlsServer(os.path.join(work, "server"), port):
        with drive.Backend(port + 1, body, cut_after=len(body) // 3):
            program = drive.Program(program_exe).start()
            try:
                view_shot(program, "ready", "1-ready.png", "the ready view")
                program.click(*drive.ACTION_BUTTON)
                view_shot(program, "download failed", "2-download-failed.png",
                          "the server cut the download off: the download-failed view")
            except Exception:
                program.kill()
                raise
        with drive.Backend(port + 1, body, rate=RATE) as backend:
            try:
                program.click(*drive.ACTION_BUTTON)  # Redownload
                # The demo build pins a publisher: the cut download left no file, so the name is free again.
                target = os.path.join(folder, "TarnvikBrowser.exe")
                program.wait_view("downloading")
                # A quarter of the file on disk: the bar and the texts have a few seconds of progress to show.
                drive.wait_for(lambda: os.path.exists(target) and os.path.getsize(target) >= len(body) // 4, 30, 0.2,
                               "a quarter of the download")
                shot(program, "3-downloading.png", "downloading again, at about 640 KB/s")
                program.click(*drive.CLOSE_BUTTON)
                drive.wait_for(program.tip_is_open, 10, 0.2, "the confirmation")
                shot(program, "4-confirmation.png", "Close while downloading asks first")
                program.click(*drive.TIP_CANCEL)
                drive.wait_for(lambda: not program.tip_is_open(), 10, 0.2, "the confirmation to close")
                say("answered Cancel: the download goes on")
                view_shot(program, "completed", "5-completed.png",
                          "the completed view: the signed installer was accepted")
                ok = drive.sha256(target) == drive.sha256_bytes(body)
                say(f"{target}: {len(body)} bytes, {'identical to' if ok else 'DIFFERENT from'} the served file")
                os.remove(target)
                program.click(*drive.ACTION_BUTTON)  # Install, with the file gone
                view_shot(program, "install failed", "6-install-failed.png",
                          "the file was removed before Install: the install-failed view")
                backend.rate = None
                program.click(*drive.ACTION_BUTTON)  # Redownload, into the same folder and name
                program.wait_view("completed", 60)
                ok = ok and drive.sha256(target) == drive.sha256_bytes(body)
                say(f"downloaded again: {target}, {'identical to' if ok else 'DIFFERENT from'} the served file")
                program.click(*drive.ACTION_BUTTON)  # Install
                code = program.wait_exit(15)
                say(f"Install checked the publisher's signature again and started the installer; "
                    f"the downloader ended with exit code {code}")
                drive.wait_for(lambda: os.path.exists(target + ".ran"), 15, 0.1, "the installer's marker")
                say(f"the installer ran: it left {target}.ran")
                return 0 if ok and code == 0 else 1
            finally:
                program.kill()


def shrink(shots, docs):
    """Half-size copies of the screenshots, small enough to keep in the repository."""
    os.makedirs(docs, exist_ok=True)
    for name in sorted(os.listdir(shots)):
        with Image.open(os.path.join(shots, name)) as image:
            small = image.convert("RGB").resize((image.width // 2, image.height // 2), Image.LANCZOS)
            small.quantize(colors=128, method=Image.MEDIANCUT).save(os.path.join(docs, name), optimize=True)
        say(f"docs: {os.path.join(docs, name)}")


def interactive(program_exe, body, port, work):
    with drive.TlsServer(os.path.join(work, "server"), port) as server:
        server.publish("TarnvikBrowser.exe", body)
        say(f"serving the demo installer at https://localhost:{port}/TarnvikBrowser.exe; close the window to end")
        program = drive.Program(program_exe).start()
        program.process.wait()
        server.withdraw("TarnvikBrowser.exe")
    return 0


if __name__ == "__main__":
    program_exe, installer, port, work, mode = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4], sys.argv[5]
    run = walk if mode == "walk" else interactive
    # Signed by the test publisher, the one the demo build pins: the program keeps it and starts it.
    body = drive.signed_installer(installer, SIZE, os.path.join(work, "installer"))
    say("the demo installer is signed by the test publisher (through the test authority)")
    result = run(program_exe, body, port, work)
    if result == 0 and len(sys.argv) > 6:
        shrink(os.path.join(work, "screenshots"), sys.argv[6])
    sys.exit(result)
