"""The body of scripts/check-host: asks a host for the installer as the program does and judges it by every rule of
scripts/lib/host_rules.py, one line each. Run it through scripts/check-host (Debian's /usr/bin/python3 -B)."""
import argparse
import contextlib
import http.client
import ipaddress
import os
import re
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import urllib.request
from urllib.parse import urljoin, urlsplit

import host_rules as rules

SYSTEM_ROOTS = "/etc/ssl/certs/ca-certificates.crt"
PEM = re.compile(r"-----BEGIN CERTIFICATE-----\n.*?-----END CERTIFICATE-----", re.S)
MISSING_ISSUER = re.compile(r"unable to get (local )?issuer certificate")
WORK = tempfile.TemporaryDirectory(prefix="check-host-")


class Report:
    """Prints one line per rule: verdict, rule, the figure seen and, unless it passed, what to change."""

    def __init__(self):
        self.counts = {"PASS": 0, "WARN": 0, "FAIL": 0}

    def line(self, verdict, rule, figure, where=""):
        label, change = rules.RULES[rule]
        label += f" ({where})" if where else ""
        text = f"{verdict}  {label:<24} {figure}"
        print(text + ("" if verdict == "PASS" else f"  => {change}"), flush=True)
        self.counts[verdict] += 1

    def time(self, rule, ms, bound, figure):
        """A time against its bound: WARN past half of it, FAIL past it."""
        verdict = "FAIL" if ms > bound else "WARN" if ms > bound / 2 else "PASS"
        self.line(verdict, rule, f"{figure} (bound {bound} ms)")


def is_ip(host):
    with contextlib.suppress(ValueError):
        return bool(ipaddress.ip_address(host))
    return False


def run(args, input="", **options):
    return subprocess.run(args, input=input, capture_output=True, text=True, **options)


def write(name, text):
    path = os.path.join(WORK.name, name)
    with open(path, "w") as f:
        f.write(text)
    return path


def pems(text):
    return [pem + "\n" for pem in PEM.findall(text)]


def elapsed_ms(start):
    return (time.monotonic() - start) * 1000


def certificate(pem):
    """The fields of a certificate (PEM) the rules read."""
    out = run(["openssl", "x509", "-noout", "-serial", "-enddate", "-subject", "-issuer", "-nameopt",
               "multiline,utf8,-esc_msb", "-ext", "authorityInfoAccess,extendedKeyUsage"], input=pem).stdout
    names = {kind: re.findall(r"^ +commonName += (.*)$", block, re.M)
             for kind, block in re.findall(r"^(subject|issuer)=\n((?: +.*\n)*)", out, re.M)}
    return {
        "serial": re.search(r"^serial=(\w+)", out, re.M).group(1),
        "not after": ssl.cert_time_to_seconds(re.search(r"^notAfter=(.*)$", out, re.M).group(1)),
        "subject": next(iter(names.get("subject", [])), ""),
        "issuer": next(iter(names.get("issuer", [])), ""),
        "issuer addresses": re.findall(r"CA Issuers - URI:(\S+)", out),
        "code signing": bool(re.search(r"Extended Key Usage:.*\n.*\bCode Signing\b", out)),
    }


def s_client(address, port, host, *options):
    """One handshake with openssl s_client: the protocol and suite agreed on (None when it failed), and its output."""
    target = f"[{address}]:{port}" if ":" in address else f"{address}:{port}"
    name = ["-noservername"] if is_ip(host) else ["-servername", host]
    try:
        out = run(["openssl", "s_client", "-connect", target, *name, *options],
                  timeout=rules.STEP_BOUNDS_MS["handshake"] / 1000).stdout
    except subprocess.TimeoutExpired:
        return None, None, ""
    agreed = re.search(r"^New, (\S+), Cipher is (\S+)", out, re.M)
    if not agreed or agreed.group(2) == "(NONE)":
        return None, None, out
    return agreed.group(1), agreed.group(2), out


def verify(roots, host, leaf, others):
    """openssl's verdict on a server certificate for host, with others as intermediates: None when it holds."""
    args = ["openssl", "verify", "-CAfile", roots, "-purpose", "sslserver",
            "-verify_ip" if is_ip(host) else "-verify_hostname", host]
    if others:
        args += ["-untrusted", write("intermediates.pem", "".join(others))]
    result = run(args + [write("leaf.pem", leaf)])
    if result.returncode == 0:
        return None
    reason = re.search(r"error \d+ at \d+ depth lookup: (.*)", result.stdout + result.stderr)
    return reason.group(1) if reason else (result.stdout + result.stderr).strip()


class Server:
    """What the TLS checks of one server found that the exchange needs."""

    def __init__(self):
        self.tls12 = False
        self.fetch_ms = 0.0  # spent fetching the issuers it did not send, as Windows' chain check would


def check_tls(report, roots, host, port, address, where):
    """Judges one server's TLS: the protocol, a suite for Windows 7, the certificate, its chain and OCSP staple."""
    server = Server()
    protocol, suite, _ = s_client(address, port, host, "-tls1_2")
    if protocol:
        server.tls12 = True
        report.line("PASS", "tls12", f"offered ({suite})", where)
        _, suite, _ = s_client(address, port, host, "-tls1_2", "-curves", rules.WINDOWS7_CURVES,
                               "-sigalgs", rules.WINDOWS7_SIGNATURES, "-cipher",
                               ":".join(name for _, name in rules.WINDOWS7_SUITES) + ":@SECLEVEL=0")
        iana = dict((name, iana) for iana, name in rules.WINDOWS7_SUITES).get(suite)
        if iana:
            report.line("PASS", "windows7", f"{iana} ({suite})", where)
        else:
            report.line("WARN", "windows7", f"none of its {len(rules.WINDOWS7_SUITES)} suites is accepted", where)
    elif s_client(address, port, host, "-tls1_3")[0]:
        report.line("FAIL", "tls12", "only TLS 1.3 is offered: WinINet under Wine and before Windows 11 fails", where)
    else:
        report.line("FAIL", "tls12", "no TLS handshake succeeds (no connection, or no protocol in common)", where)
        return server

    _, _, out = s_client(address, port, host, "-showcerts", "-status")
    # The chain as sent, leaf first; the OCSP answer printed before it may hold certificates of its own.
    sent = pems(out.partition("Certificate chain")[2].partition("\n---\n")[0])
    if not sent:
        report.line("FAIL", "certificate", "the server sends no certificate", where)
        return server
    leaf, fetched, tried = certificate(sent[0]), [], set()
    problem = verify(roots, host, sent[0], sent[1:])
    # What the server left out is fetched over each certificate's AIA address, as Windows does; timed, as it counts
    # within the handshake's bound.
    while problem and MISSING_ISSUER.search(problem):
        urls = [url for pem in sent + fetched for url in certificate(pem)["issuer addresses"] if url not in tried]
        if not urls:
            break
        tried.add(urls[0])
        start = time.monotonic()
        try:
            with urllib.request.urlopen(urls[0], timeout=rules.ISSUER_FETCH_MS / 1000) as answer:
                data = answer.read()
            fetched.append(data.decode() if b"-----BEGIN" in data else ssl.DER_cert_to_PEM_cert(data))
        except (OSError, ValueError):
            pass
        server.fetch_ms += elapsed_ms(start)
        problem = verify(roots, host, sent[0], sent[1:] + fetched)

    if problem:
        report.line("FAIL", "certificate", f"not trusted for {host}: {problem}", where)
    elif is_ip(host):
        report.line("WARN", "certificate", f"{host} is an IP address: Windows 7 to 8.1 accept it only as the "
                    "certificate's common name, Wine never (the README's TLS row)", where)
    else:
        report.line("PASS", "certificate", f"trusted for {host} (CN {leaf['subject']}, issued by {leaf['issuer']})",
                    where)
    days = (leaf["not after"] - time.time()) / 86400
    until = time.strftime("%Y-%m-%d", time.gmtime(leaf["not after"]))
    verdict = "FAIL" if days < 0 else "WARN" if days < rules.MIN_CERTIFICATE_DAYS else "PASS"
    report.line(verdict, "validity", f"{int(days)} days more (until {until})", where)
    if fetched:
        report.line("WARN", "chain", f"{len(sent)} sent; {len(fetched)} issuer(s) had to be fetched from "
                    f"{', '.join(sorted(tried))} ({server.fetch_ms:.0f} ms)", where)
    elif problem and MISSING_ISSUER.search(problem):
        report.line("WARN", "chain", f"{len(sent)} sent; an issuer is missing and not to be fetched", where)
    else:
        report.line("PASS", "chain", f"{len(sent)} certificate(s) sent, no issuer to fetch", where)
    status = re.search(r"^\s*Cert Status: (\w+)", out, re.M)
    if not status:
        report.line("WARN", "ocsp", "no OCSP response stapled", where)
    else:
        verdict = {"good": "PASS", "revoked": "FAIL"}.get(status.group(1), "WARN")
        report.line(verdict, "ocsp", f"stapled: the certificate is {status.group(1)}", where)
    return server


class Hop:
    """One request of the exchange, as far as it went: each step's time, the answer, the body."""

    def __init__(self, url):
        self.url, self.parts = url, urlsplit(url)
        self.host, self.port = self.parts.hostname, self.parts.port or 443
        self.steps, self.failed = {}, None  # step -> ms; (step, reason) when a step failed
        self.status = self.reason = self.location = self.headers = None
        self.received, self.longest_read_ms, self.fetch_ms = 0, 0.0, 0.0


class Stop(Exception):
    """A step of a hop failed; the hop says which and why."""


@contextlib.contextmanager
def step(hop, name):
    start = time.monotonic()
    try:
        yield
    except TimeoutError:
        bound = rules.STEP_BOUNDS_MS[name]
        hop.failed = (name, f"silent for {bound} ms: the program gives up there")
        raise Stop from None
    except (OSError, http.client.HTTPException) as error:
        hop.failed = (name, str(error) or type(error).__name__)
        raise Stop from None
    finally:
        hop.steps[name] = elapsed_ms(start)


def resolve(host, port):
    start = time.monotonic()
    found = socket.getaddrinfo(host, port, type=socket.SOCK_STREAM)
    return elapsed_ms(start), found


def exchange(hop, family, server, resolved, body):
    """One request as the program makes it, from the name to the response head, then the body of a 200."""
    with step(hop, "name"):
        ms, found = resolved or resolve(hop.host, hop.port)
    hop.steps["name"] = ms
    family, _, _, _, sockaddr = next((info for info in found if info[0] == family), found[0])
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.check_hostname, context.verify_mode = False, ssl.CERT_NONE  # the TLS checks judge the certificate
    if server.tls12:
        context.maximum_version = ssl.TLSVersion.TLSv1_2  # what WinINet speaks before Windows 11
    with socket.socket(family, socket.SOCK_STREAM) as sock:
        sock.settimeout(rules.STEP_BOUNDS_MS["connection"] / 1000)
        with step(hop, "connection"):
            sock.connect(sockaddr)
        sock.settimeout(rules.STEP_BOUNDS_MS["handshake"] / 1000)
        with step(hop, "handshake"):
            tls = context.wrap_socket(sock, server_hostname=None if is_ip(hop.host) else hop.host)
        hop.steps["handshake"] += server.fetch_ms
        hop.fetch_ms = server.fetch_ms
        with tls:
            tls.settimeout(rules.SILENCE_MS / 1000)
            connection = http.client.HTTPSConnection(hop.host, hop.port, context=context)
            connection.sock = tls
            converse(hop, connection, body)


def converse(hop, connection, body):
    target = hop.parts._replace(scheme="", netloc="").geturl()
    with step(hop, "request"):
        connection.putrequest("GET", target, skip_accept_encoding=True)
        connection.putheader("User-Agent", rules.AGENT)
        connection.endheaders()
    with step(hop, "response head"):
        response = connection.getresponse()
    hop.status, hop.reason, hop.headers = response.status, response.reason, response.headers
    if 300 <= hop.status <= 399:
        hop.location = response.getheader("Location")
    length = response.getheader("Content-Length", "")
    if hop.status != 200 or response.chunked or not length.isdigit() or not 0 < int(length) < rules.LENGTH_LIMIT:
        return
    # Each read is one wait for the server; the longest is the body's worst silence.
    while True:
        start = time.monotonic()
        with step(hop, "body read"):
            data = response.read1(1 << 16)
        hop.longest_read_ms = max(hop.longest_read_ms, elapsed_ms(start))
        if not data:
            return
        hop.received += len(data)
        if body:
            body.write(data)


def fetch(url, family, servers, resolved=None, body=None):
    """Follows the program's request through its redirects; servers(host, port) gives each server's TLS facts.
    Ends at the first http address, at the redirect past the limit, or at a failed step."""
    hops = []
    while len(hops) <= rules.MAX_REDIRECTS:
        hop = Hop(url)
        hops.append(hop)
        if hop.parts.scheme != "https":
            break
        try:
            exchange(hop, family, servers(hop.host, hop.port), resolved, body)
        except Stop:
            break
        if not hop.location:
            break
        url, resolved = urljoin(url, hop.location).split("#")[0], None
    return hops


def judge_exchange(report, hops):
    """The rules of the request: https only, redirects, status, length, body, and each step's time."""
    plain = next((n for n, hop in enumerate(hops) if hop.parts.scheme != "https"), None)
    if plain is not None:
        report.line("FAIL", "https", f"redirect {plain} leads to {hops[plain].url}: the program stops before "
                    "sending anything there")
    else:
        report.line("PASS", "https", f"every address is https ({len(hops)} requested)")
    redirects = sum(1 for hop in hops if hop.location)
    fragments = "".join(f"; the fragment of {location} is dropped, as the program drops it"
                        for location in dict.fromkeys(hop.location for hop in hops if "#" in (hop.location or "")))
    if hops[-1].location and len(hops) > rules.MAX_REDIRECTS:
        report.line("FAIL", "redirects",
                    f"more than {rules.MAX_REDIRECTS}: the program gives up at the next one{fragments}")
    else:
        report.line("PASS", "redirects", f"{redirects} (at most {rules.MAX_REDIRECTS}){fragments}")

    last = hops[-1]
    if plain is None and last.status is None:
        report.line("FAIL", "status", f"no answer: the {last.failed[0]} failed")
    elif last.status is not None and not last.location:
        verdict = "PASS" if last.status == 200 else "FAIL"
        report.line(verdict, "status", f"{last.status} {last.reason} from {last.url}")
        if last.status == 200:
            judge_length(report, last)

    # Each step of every request has its bound; the line names the slowest request's, or the one where it failed.
    for name, bound in rules.STEP_BOUNDS_MS.items():
        timed = [(n, hop) for n, hop in enumerate(hops) if name in hop.steps]
        if not timed:
            continue
        spent = {n: bound + 1 if hop.failed and hop.failed[0] == name else hop.longest_read_ms
                 if name == "body read" else hop.steps[name] for n, hop in timed}
        n, hop = max(timed, key=lambda timing: spent[timing[0]])
        if hop.failed and hop.failed[0] == name:
            figure = f"failed: {hop.failed[1]}"
        else:
            figure = f"{'longest silence ' if name == 'body read' else ''}{spent[n]:.0f} ms"
            if name == "handshake" and hop.fetch_ms:
                figure += f", {hop.fetch_ms:.0f} ms of it fetching issuers"
        if len(timed) > 1:
            figure += f", the slowest of {len(timed)} requests (number {n + 1})"
        report.time(f"time: {name}", spent[n], bound, figure)
    opening = sum(ms for hop in hops for name, ms in hop.steps.items() if name != "body read")
    report.time("time: opening", opening, rules.OPEN_CEILING_MS, f"{opening:.0f} ms, every redirect included")


def judge_length(report, hop):
    length = hop.headers.get("Content-Length", "")
    if "chunked" in hop.headers.get("Transfer-Encoding", "").lower():
        report.line("FAIL", "length", "chunked, with no Content-Length")
    elif not length.isdigit():
        report.line("FAIL", "length", "no Content-Length: the body ends where the connection closes")
    elif not 0 < int(length) < rules.LENGTH_LIMIT:
        report.line("FAIL", "length", f"Content-Length {length}")
    else:
        report.line("PASS", "length", f"Content-Length {length} ({int(length) / 2**20:.1f} MiB), not chunked")
        verdict = "PASS" if hop.received == int(length) else "FAIL"
        report.line(verdict, "body", f"{hop.received} of {length} bytes received")


def judge_ipv6(report, url, found, servers):
    """An AAAA record sends some users over IPv6: the file must come that way too."""
    v6 = [info[4][0] for info in found if info[0] == socket.AF_INET6]
    if not v6:
        report.line("PASS", "ipv6", "no AAAA record")
        return
    last = fetch(url, socket.AF_INET6, servers)[-1]
    length = (last.headers or {}).get("Content-Length", "")
    if last.status == 200 and length.isdigit() and last.received == int(length) > 0:
        report.line("PASS", "ipv6", f"AAAA {', '.join(v6)}: the whole file comes over IPv6 as well")
    else:
        failure = f"the {last.failed[0]} failed" if last.failed else f"status {last.status}, {last.received} bytes"
        report.line("WARN", "ipv6", f"AAAA {', '.join(v6)}, but over IPv6 {failure}")


def judge_signature(report, roots, path, signer, issuer):
    """The rules of the installer's Authenticode signature, as a build that pins the publisher checks it."""
    verified = run(["osslsigncode", "verify", "-CAfile", roots, "-TSA-CAfile", roots, "-in", path])
    out = verified.stdout + verified.stderr
    serial = re.search(r"Signer's certificate:\s*-+\s*Signer #0:\s*Subject: .*\n\s*Issuer : .*\n\s*Serial : (\w+)",
                       out)
    signature = os.path.join(WORK.name, "signature.pem")
    if not serial or run(["osslsigncode", "extract-signature", "-pem", "-in", path, "-out", signature]).returncode:
        report.line("FAIL", "signature", "none: the file is not signed")
        return
    certificates = pems(run(["openssl", "pkcs7", "-print_certs", "-in", signature]).stdout)
    cert = next((c for c in map(certificate, certificates) if c["serial"] == serial.group(1)), None)
    if not cert:
        report.line("FAIL", "signature", "the signature does not hold its signer's certificate")
        return
    if verified.returncode == 0:
        report.line("PASS", "signature", "verifies (osslsigncode verify)")
    else:
        reason = [line.strip() for line in out.splitlines() if re.search(r"(?i)error|fail", line)]
        report.line("FAIL", "signature", f"does not verify: {'; '.join(reason[:3])}")
    report.line("PASS" if cert["subject"] == signer else "FAIL", "signer", f"CN {cert['subject']!r}")
    if issuer:
        report.line("PASS" if cert["issuer"] == issuer else "FAIL", "signer issuer", f"CN {cert['issuer']!r}")
    report.line("PASS" if cert["code signing"] else "FAIL", "code signing",
                "made for code signing" if cert["code signing"] else "no code-signing usage")
    stamp = re.search(r"Timestamp time: (.*)", out)
    report.line("PASS" if stamp else "WARN", "time stamp", f"at {stamp.group(1)}" if stamp else "none")


def main():
    parser = argparse.ArgumentParser(prog="scripts/check-host", add_help=False, usage="%(prog)s [--signer NAME "
                                     "[--signer-issuer NAME]] [--ca FILE] HOST[:PORT] (see %(prog)s --help)")
    parser.add_argument("--signer")
    parser.add_argument("--signer-issuer")
    parser.add_argument("--ca")
    parser.add_argument("host")
    args = parser.parse_args()
    if args.signer_issuer and not args.signer:
        parser.error("--signer-issuer needs --signer (scripts/release refuses it alone as well)")
    if args.ca and not os.path.isfile(args.ca):
        parser.error(f"no such file: {args.ca}")
    host, _, port = args.host.partition(":")
    if (not re.fullmatch(r"[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?", host) or not re.fullmatch(r"\d{0,5}", port)
            or not 1 <= int(port or 443) <= 65535):
        parser.error(f"HOST[:PORT] must be a host name or IPv4 address with an optional port, not {args.host!r}")
    port = int(port or 443)
    roots = write("roots.pem", "".join(open(path).read() for path in [SYSTEM_ROOTS, args.ca] if path))

    url = f"https://{args.host}/{rules.FILE_NAME}?{int(time.time())}"
    print(f"check-host: GET {url} as the program sends it (User-Agent {rules.AGENT})")
    report = Report()
    try:
        resolved = resolve(host, port)
    except OSError as error:
        report.line("FAIL", "name", f"{host} does not resolve: {error}")
        return 1
    found = resolved[1]
    report.line("PASS", "name", f"{host}: {', '.join(dict.fromkeys(info[4][0] for info in found))}")

    known = {}

    def servers(server_host, server_port, address=None):
        """The TLS facts of a server, checked (and reported) the first time the exchange meets it."""
        if (server_host, server_port) not in known:
            try:
                address = address or resolve(server_host, server_port)[1][0][4][0]
            except OSError:
                return Server()  # the exchange's name step reports it
            where = "" if (server_host, server_port) == (host, port) else f"{server_host}:{server_port}"
            known[server_host, server_port] = check_tls(report, roots, server_host, server_port, address, where)
        return known[server_host, server_port]

    servers(host, port, next((info for info in found if info[0] == socket.AF_INET), found[0])[4][0])
    with open(os.path.join(WORK.name, rules.FILE_NAME), "wb") as body:
        hops = fetch(url, socket.AF_INET, servers, resolved, body if args.signer else None)
    judge_exchange(report, hops)
    judge_ipv6(report, url, found, servers)
    if args.signer and hops[-1].received:
        judge_signature(report, roots, body.name, args.signer, args.signer_issuer)
    elif args.signer:
        report.line("FAIL", "signature", "not checked: no file received")
    counts = report.counts
    print(f"check-host: {args.host}: {counts['FAIL']} FAIL, {counts['WARN']} WARN, {counts['PASS']} PASS; not "
          f"measured here: proxy detection on the user's machine (bound {rules.PROXY_DETECTION_BOUND_MS} ms)"
          f"{'' if args.signer else ', the signature (give --signer)'}")
    return 1 if counts["FAIL"] else 0


if __name__ == "__main__":
    sys.exit(main())
