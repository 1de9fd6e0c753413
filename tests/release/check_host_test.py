"""The test of scripts/check-host. Its rules (scripts/lib/host_rules.py) must say what the program's constants and
the README's table say; then the README's example nginx configuration, variants of it and the tests' AIA server,
with a scripted backend behind, serve the installer in each way a host can be right or wrong, and each row names
the rules that must come out PASS, WARN or FAIL.

    check_host_test.py PORT INSTALLERS WORK   (nginx on PORT, the backend on PORT+1; the AIA server on PORT+3)
"""
import contextlib
import glob
import os
import re
import shutil
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "scripts", "lib"))
import drive  # noqa: E402
import host_rules as rules  # noqa: E402

PORT, INSTALLERS, WORK = int(sys.argv[1]), sys.argv[2], sys.argv[3]
TLS = os.path.join(drive.STATE, "tls")
SECTION = open(os.path.join(ROOT, "README.md")).read().split("\n## Host your own installer\n")[1].split("\n## ")[0]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print(f"FAILED: {what}")


def program_constants():
    """Every constexpr of the product folders by name: the values it is given, the headers' macros filled in."""
    macros = {}
    for header in ("wincrypt.h", "wininet.h"):
        text = open(f"/usr/share/mingw-w64/include/{header}", errors="replace").read()
        macros.update(re.findall(r"^#define (\w+) (\([\d *+]+\)|\d+)\s*$", text, re.M))
    found = {}
    sources = [glob.glob(f"{ROOT}/{folder}/**/*.{ext}", recursive=True)
               for folder in ("app", "engine", "framework", "util", "controls", "ui") for ext in ("h", "cpp")]
    for path in sum(sources, []):
        for name, expr in re.findall(r"constexpr\s[^=;(]*?\b(k\w+)(?:\[\])?\s*=\s*([^;]+);", open(path).read()):
            expr = re.sub(r"\b[A-Z_][A-Z0-9_]+\b", lambda m: macros.get(m.group(), m.group()), " ".join(expr.split()))
            text = re.fullmatch(r'L?"(.*)"', expr)
            number = re.fullmatch(r"[\d\s()*+]+", expr) and eval(expr)
            found.setdefault(name, set()).add(text.group(1) if text else number or expr)
    return found


def agreement():
    found = program_constants()
    for name, value in rules.PROGRAM_CONSTANTS.items():
        check(found.get(name) == {value}, f"{name} is {found.get(name)} in the sources, {value!r} in host_rules.py")
    table = dict(re.findall(r"^\| ([^|]+?) \| (.*) \|$", SECTION, re.M))
    for row, (texts, seconds) in rules.readme_figures().items():
        cell = table.get(row, "")
        check(all(text in cell for text in texts), f"the README's {row} row does not say {texts}: {cell}")
        said = {int(n) for n in re.findall(r"(\d+) s\b", cell)}
        check(not seconds or said == seconds, f"the README's {row} row names {said} s, host_rules.py {seconds} s")


def example_config(variant):
    """The README's example server with the tests' certificate, file and port, in an nginx.conf of its own."""
    block = re.search(r"```nginx\n(.*?)```", SECTION, re.S).group(1)
    os.makedirs(f"{WORK}/ssl", exist_ok=True)
    for name, ours in (("fullchain.pem", "server-chain.pem"), ("privkey.pem", "server.key"), ("chain.pem", "ca.crt")):
        shutil.copy(f"{TLS}/{ours}", f"{WORK}/ssl/{name}")
    for readme, here in (("/etc/ssl/dl.example.org", f"{WORK}/ssl"), ("/srv/dl.example.org", f"{WORK}/www"),
                         ("dl.example.org", "localhost"), ("listen 443", f"listen 127.0.0.1:{PORT}")):
        block = block.replace(readme, here)
    block = re.sub(r".*listen \[::\].*\n", "", block)  # localhost has no AAAA record here
    # Its certificate names no OCSP server: nginx staples an answer of the test authority's, from a file.
    extra = f"ssl_stapling_file {WORK}/ocsp.der;"
    if variant == "tls13":
        block = re.sub(r"ssl_protocols .*;", "ssl_protocols TLSv1.3;", block)
    if variant in ("proxied", "unframed"):
        extra += f"location / {{ proxy_pass http://127.0.0.1:{PORT + 1}; proxy_buffering off; proxy_redirect off; }}"
    if variant == "unframed":
        extra += "chunked_transfer_encoding off;"
    temp = " ".join(f"{kind}_temp_path {WORK}/temp/{kind};"
                    for kind in ("client_body", "proxy", "fastcgi", "uwsgi", "scgi"))
    return (f"{'user root;' if os.getuid() == 0 else ''} pid {WORK}/nginx.pid; error_log {WORK}/error.log;"
            f"events {{}} http {{ access_log off; {temp} types {{ application/octet-stream exe; }}"
            f"{block[:block.rindex('}')]} {extra} }} }}")


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


@contextlib.contextmanager
def serving(variant, body):
    """Serves body as the installer in the row's way; yields the port check-host asks."""
    if variant == "aia":
        with drive.TlsServer(f"{WORK}/aia", PORT) as server:
            server.publish("TarnvikBrowser.exe", body)
            with drive.Backend(PORT + 1, open(f"{server.www}/static/aia-direct.der", "rb").read()):
                yield PORT + 3
        return
    shutil.rmtree(f"{WORK}/www", ignore_errors=True)
    os.makedirs(f"{WORK}/www")
    os.makedirs(f"{WORK}/temp", exist_ok=True)
    if body:
        open(f"{WORK}/www/TarnvikBrowser.exe", "wb").write(body)
    open(f"{WORK}/nginx.conf", "w").write(example_config(variant))
    subprocess.run(["nginx", "-e", f"{WORK}/error.log", "-p", WORK, "-c", f"{WORK}/nginx.conf"], check=True)
    try:
        drive.wait_for(lambda: os.path.exists(f"{WORK}/nginx.pid"), 10, what="nginx")
        yield PORT
    finally:
        subprocess.run(["nginx", "-e", f"{WORK}/error.log", "-p", WORK, "-c", f"{WORK}/nginx.conf", "-s", "stop"])
        drive.wait_for(lambda: not os.path.exists(f"{WORK}/nginx.pid"), 10, what="nginx to stop")


PUBLISHER = ["--signer", "Tarnvik Test Publisher"]
ROWS = [  # server, its backend, installer, check-host's options: the rules that must come out so ("VERDICT figure")
    ("example", None, "stamped", PUBLISHER + ["--signer-issuer", "Tarnvik Test ca"], {"*": "PASS"}),
    ("example", None, "publisher", PUBLISHER, {"signer": "PASS", "time stamp": "WARN"}),
    ("example", None, "unsigned", PUBLISHER, {"signature": "FAIL"}),
    ("example", None, None, [], {"status": "FAIL 404"}),
    ("tls13", None, "unsigned", [], {"tls12": "FAIL only TLS 1.3"}),
    ("proxied", {"length": False}, "unsigned", [], {"length": "FAIL chunked"}),
    ("unframed", {"length": False}, "unsigned", [], {"length": "FAIL no Content-Length"}),
    ("proxied", {"redirect": f"http://localhost:{PORT + 1}/plain/x"}, "unsigned", [], {"https": "FAIL http://"}),
    ("proxied", {"redirect": f"https://localhost:{PORT}/plain/x#part"}, "unsigned", [],
     {"redirects": "PASS fragment", "body": "PASS"}),
    ("aia", None, "unsigned", [], {"chain": "WARN fetched", "certificate": "PASS"}),
    ("proxied", {"rate": 700}, "2 KiB", [], {"time: body read": "WARN longest silence", "body": "PASS"}),
]


def main():
    shutil.rmtree(WORK, ignore_errors=True)
    os.makedirs(WORK)
    agreement()
    # The good host staples the test authority's answer for the server's certificate.
    serial = subprocess.run(["openssl", "x509", "-in", f"{TLS}/server.crt", "-noout", "-serial"], capture_output=True,
                            text=True, check=True).stdout.strip().split("=")[1]
    open(f"{WORK}/index.txt", "w").write(f"V\t991231235959Z\t\t{serial}\tunknown\t/CN=localhost\n")
    openssl("ocsp", "-issuer", f"{TLS}/ca.crt", "-cert", f"{TLS}/server.crt", "-no_nonce", "-reqout", f"{WORK}/q.der")
    openssl("ocsp", "-index", f"{WORK}/index.txt", "-CA", f"{TLS}/ca.crt", "-rsigner", f"{TLS}/ca.crt", "-rkey",
            f"{TLS}/ca.key", "-reqin", f"{WORK}/q.der", "-respout", f"{WORK}/ocsp.der", "-ndays", "7")
    # And its installer is signed by the test publisher with a time stamp of the tests' own authority.
    subprocess.run([f"{ROOT}/tests/support/tsa.py", "--tls", TLS, "--signer", "tsa", "--", "osslsigncode", "sign",
                    "-certs", f"{TLS}/codesign-chain.pem", "-key", f"{TLS}/codesign.key", "-h", "sha256", "-ts",
                    "{tsa}", "-in", f"{INSTALLERS}/unsigned.exe", "-out", f"{WORK}/stamped.exe"],
                   check=True, stdout=subprocess.DEVNULL)
    for server, backend, installer, options, expected in ROWS:
        known = len(failures)
        path = f"{WORK}/stamped.exe" if installer == "stamped" else f"{INSTALLERS}/{installer}.exe"
        body = b"" if not installer else bytes(2048) if installer == "2 KiB" else open(path, "rb").read()
        with contextlib.ExitStack() as stack:
            port = stack.enter_context(serving(server, None if backend else body))
            if backend:
                stack.enter_context(drive.Backend(PORT + 1, body, **backend))
            result = subprocess.run([f"{ROOT}/scripts/check-host", "--ca", f"{TLS}/ca.crt", *options,
                                     f"localhost:{port}"], capture_output=True, text=True)
        out, row = result.stdout + result.stderr, f"{server} {backend or ''} {installer} {' '.join(options)}"
        figures = "\n".join(line.partition("  => ")[0] for line in out.splitlines())  # without what to change
        verdicts = re.findall(r"^(PASS|WARN|FAIL)  ", out, re.M)
        check(verdicts and (result.returncode == 0) == ("FAIL" not in verdicts), f"{row}: exit {result.returncode}")
        for rule, want in expected.items():
            verdict, _, figure = want.partition(" ")
            if rule == "*":
                check(set(verdicts) == {verdict}, f"{row}: not every rule {verdict}")
                continue
            label = re.escape(rules.RULES[rule][0])
            check(re.search(rf"^{verdict}  {label} .*{re.escape(figure)}", figures, re.M), f"{row}: not {rule} {want}")
        print(f"{row}: {'as expected' if len(failures) == known else out}", flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
