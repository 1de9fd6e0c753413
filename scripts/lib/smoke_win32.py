#!/usr/bin/python3
"""The shipped image's smoke run, inside the 32-bit guest (scripts/smoke-win32 starts it there).

    scripts/lib/smoke_win32.py IMAGE SHA256 INSTALLER HOST OUTDIR
    scripts/lib/smoke_win32.py --help

The release host resolves to 127.0.0.1 in the guest; nginx serves the 32-bit test installer there over TLS on
port 443, with a certificate from the test authority that only the Wine prefix trusts, at a limited rate so that
the downloading view can be seen. The image runs under 32-bit Wine: Download, the completed view, the file byte for
byte, Install, the installer's marker, exit code 0. One "smoke: PASS|FAIL step" line per step, a screenshot of each
view (and of the screen when a step fails) and the program's Wine error output in OUTDIR.
"""
import sys

if sys.argv[1:2] in (["-h"], ["--help"]):  # before the imports below, which need Debian's python3 and write caches
    print(__doc__.strip())
    sys.exit(0)

import os
import ssl
import subprocess
import time
import urllib.request

import drive
from PIL import Image, ImageChops

# Where the downloading view writes its percent and speed texts (client coordinates).
PROGRESS_TEXTS = {"percent": (260, 314, 390, 336), "speed": (450, 314, 620, 336)}
PAYLOAD_BYTES = 3 * 1024 * 1024
RATE = "384k"  # about 8 s of downloading view
NGINX_CONF = """
user root;
worker_processes 1;
pid {dir}/nginx.pid;
error_log {dir}/error.log warn;
events {{ worker_connections 16; }}
http {{
    access_log {dir}/access.log;
    types {{ application/octet-stream exe; }}
    ssl_protocols TLSv1.2 TLSv1.3;
    server {{
        listen 127.0.0.1:443 ssl;
        server_name {host};
        ssl_certificate {tls}/release-host.crt;
        ssl_certificate_key {tls}/release-host.key;
        root {dir}/www;
        limit_rate {rate};
    }}
}}
"""


class Smoke:
    def __init__(self, image, sha, installer, host, out):
        self.image, self.sha, self.installer, self.host, self.out = image, sha, installer, host, out
        self.program = None
        self.wine_log = os.path.join(out, "wine-stderr.txt")
        self.target = os.path.join(os.environ["HOME"], "Desktop", "TarnvikBrowser.exe")
        self.payload = drive.padded_installer(installer, PAYLOAD_BYTES)  # the release pins no publisher

    def serve(self):
        folder = os.path.join(self.out, "..", "server")
        os.makedirs(os.path.join(folder, "www"), exist_ok=True)
        with open(os.path.join(folder, "www", "TarnvikBrowser.exe"), "wb") as f:
            f.write(self.payload)
        conf = os.path.join(folder, "nginx.conf")
        with open(conf, "w") as f:
            f.write(NGINX_CONF.format(dir=os.path.abspath(folder), host=self.host, rate=RATE,
                                      tls=os.path.join(drive.STATE, "tls")))
        subprocess.run(["nginx", "-e", os.path.join(folder, "error.log"), "-p", folder, "-c", conf], check=True)
        context = ssl.create_default_context(cafile=os.path.join(drive.STATE, "tls", "ca.crt"))
        with urllib.request.urlopen(f"https://{self.host}/TarnvikBrowser.exe", context=context, timeout=60) as r:
            length = int(r.headers["Content-Length"])
        assert length == len(self.payload), f"the server offers {length} bytes"
        return f"https://{self.host}/TarnvikBrowser.exe, {length} bytes, trusted through the hosts file"

    def check_image(self):
        got = drive.sha256(self.image)
        assert got == self.sha, f"the image in the guest has SHA-256 {got}"
        machine = open(self.image, "rb").read(4096)
        pe = int.from_bytes(machine[0x3C:0x40], "little")
        assert machine[pe + 4:pe + 6] == b"\x4c\x01", "not an i386 image"
        return f"SHA-256 {got}, i386"

    def start(self):
        if os.path.exists(self.target):
            os.remove(self.target)
        self.program = drive.Program(self.image, stderr_path=self.wine_log).start(timeout=120)
        self.program.wait_view("ready", 60)
        self.shot("1-ready.png")
        return "the ready view"

    def download(self):
        self.program.click(*drive.ACTION_BUTTON)
        self.program.wait_view("downloading", 60)
        drive.wait_for(self.progress_texts_shown, 30, 0.2, "the percent and speed texts")
        self.shot("2-downloading.png")
        started = time.monotonic()

        def finished():
            view, score = drive.view_of(self.program.capture())
            return view if view in ("completed", "download failed") and score < 2.0 else None
        ended = drive.wait_for(finished, 300, 0.2, "the end of the download")
        assert ended == "completed", f"the download ended in the {ended} view"
        self.shot("3-completed.png")
        return f"the downloading view with its texts, then the completed view {time.monotonic() - started:.0f} s later"

    def progress_texts_shown(self):
        background = Image.open(os.path.join(drive.BITMAPS, drive.VIEWS["downloading"])).convert("RGB")
        capture = self.program.capture()
        return all(ImageChops.difference(capture.crop(box), background.crop(box)).getbbox()
                   for box in PROGRESS_TEXTS.values())

    def check_file(self):
        size = os.path.getsize(self.target)
        assert drive.sha256(self.target) == drive.sha256_bytes(self.payload), f"{self.target} differs ({size} bytes)"
        return f"{self.target}: {size} bytes, identical"

    def install(self):
        self.program.click(*drive.ACTION_BUTTON)
        code = self.program.wait_exit(120)
        drive.wait_for(lambda: os.path.exists(self.target + ".ran"), 120, 0.2, "the installer's marker")
        assert code == 0, f"the downloader ended with exit code {code}"
        return "the installer left its marker; the downloader ended with exit code 0"

    def shot(self, name):
        time.sleep(0.6)  # let the view finish painting
        self.program.capture(os.path.join(self.out, name))

    def run(self):
        steps = [("image", self.check_image), ("server", self.serve), ("start", self.start),
                 ("download", self.download), ("file", self.check_file), ("install", self.install)]
        try:
            for name, step in steps:
                started = time.monotonic()
                try:
                    detail = step()
                except Exception as error:  # a failed step ends the run: report it and the Wine errors
                    print(f"smoke: FAIL {name}: {error}", flush=True)
                    drive.screenshot(os.path.join(self.out, f"failed-{name}.png"))
                    return 1
                print(f"smoke: PASS {name} ({time.monotonic() - started:.0f} s): {detail}", flush=True)
            return 0
        finally:
            if self.program:
                self.program.kill()


if __name__ == "__main__":
    image, sha, installer, host, out = sys.argv[1:6]
    sys.exit(Smoke(image, sha, installer, host, out).run())
